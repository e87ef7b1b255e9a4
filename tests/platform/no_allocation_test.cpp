#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "bullets/bullet_pool.h"
#include "bullets/update_bullets.h"
#include "game/angles.h"
#include "game/form_load.h"
#include "platform/sdl_platform.h"
#include "ship/clear_ship.h"
#include "ship/draw_ship.h"
#include "ship/ship_outline.h"

namespace {

bool counting = false;
int allocations = 0;

SDL_malloc_func sdlMalloc;
SDL_calloc_func sdlCalloc;
SDL_realloc_func sdlRealloc;
SDL_free_func sdlFree;

// SDL allocates through these; frees need no counting.
void CountSdlAllocations() {
  SDL_GetMemoryFunctions(&sdlMalloc, &sdlCalloc, &sdlRealloc, &sdlFree);
  SDL_SetMemoryFunctions(
      [](size_t size) {
        allocations += counting;
        return sdlMalloc(size);
      },
      [](size_t count, size_t size) {
        allocations += counting;
        return sdlCalloc(count, size);
      },
      [](void* memory, size_t size) {
        allocations += counting;
        return sdlRealloc(memory, size);
      },
      sdlFree);
}

}  // namespace

void* operator new(std::size_t size) {
  allocations += counting;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }

void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace quillfane {
namespace {

void Frame(GameState& state, SdlPlatform& platform, int frame) {
  state.ShipAngle = Degrees(state, 5.0 * (frame % 72));
  state.ShipX = 400 + 20 * frame % 6000;
  state.KeyShield = frame % 3 == 0;
  ClearShip(state, platform);
  DrawShip(state, platform);
  if (frame % 4 == 0) SpawnBullet(state, kFirstMuzzlePoint);
  if (state.BulletCount > 0) UpdateBullets(state, platform);
  if (frame % 50 == 0) platform.RefreshPlayfield();
  platform.PumpEvents();
}

// Runs on the dummy driver by default; with SDL_VIDEODRIVER=x11 and a display it checks
// the real present path too.
TEST(PlatformAllocation, FramesDrawAndPresentWithoutAllocating) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  CountSdlAllocations();
  std::string error;
  auto platform = SdlPlatform::Create(error);
  ASSERT_NE(platform, nullptr) << error;
  platform->Show();
  GameState state;
  Form_Load(state);
  state.ShipY = 3000;
  // SDL's command and vertex buffers grow to their working size in the first frames.
  for (int frame = 0; frame < 100; ++frame) Frame(state, *platform, frame);
  counting = true;
  for (int frame = 100; frame < 400; ++frame) Frame(state, *platform, frame);
  counting = false;
  EXPECT_EQ(allocations, 0);
}

}  // namespace
}  // namespace quillfane
