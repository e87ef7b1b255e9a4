#include <benchmark/benchmark.h>

#include "bench/counting_platform.h"
#include "game/form_load.h"
#include "game/frame.h"

namespace quillfane {
namespace {

// The game's own work per frame, without drawing: the ship turning and thrusting
// with a full pool of bullets in flight.
void BM_FrameWithFullPool(benchmark::State& bench) {
  bench::CountingPlatform platform;
  GameState state;
  Form_Load(state);
  FitPlayfieldToWindow(state, platform);
  state.KeyLeft = state.KeyThrust = state.KeyShield = true;
  for (int slot = 1; slot <= kLastBulletSlot; ++slot) {
    state.Bullets[slot] = {true, 3000, 3000, 0.01 * slot};
  }
  state.BulletCount = kLastBulletSlot;
  for (auto _ : bench) {
    for (int slot = 1; slot <= kLastBulletSlot; ++slot) {
      state.Bullets[slot].X = 3000;  // keep every bullet in flight
      state.Bullets[slot].Y = 3000;
    }
    RunFrame(state, platform);
  }
  benchmark::DoNotOptimize(platform.figures);
}
BENCHMARK(BM_FrameWithFullPool);

}  // namespace
}  // namespace quillfane

BENCHMARK_MAIN();
