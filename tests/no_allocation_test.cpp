#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "game/form_load.h"
#include "game/frame.h"
#include "tests/counting_platform.h"

namespace {
long allocations = 0;
}

// Counts every allocation of this test program.
void* operator new(std::size_t size) {
  ++allocations;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace quillfane::testing {
namespace {

TEST(FrameLoop, AllocatesNothingWhileFlyingAndFiring) {
  CountingPlatform platform;
  GameState state;
  Form_Load(state);
  FitPlayfieldToWindow(state, platform);
  state.KeyThrust = state.KeyLeft = state.KeyShield = true;
  const long before = allocations;
  for (int frame = 0; frame < 2000; ++frame) {
    state.KeyFire = frame % 2 == 0;  // a volley every other frame keeps the pool busy
    state.FireReady = true;
    state.KeyShield = frame % 7 != 0;
    RunFrame(state, platform);
  }
  EXPECT_EQ(allocations, before);
  EXPECT_GT(platform.figures, 2000 * 8);
}

}  // namespace
}  // namespace quillfane::testing
