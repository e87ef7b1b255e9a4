#include <benchmark/benchmark.h>

#include "game/frame.h"
#include "tests/recording_platform.h"

namespace quillfane {
namespace {

// The game's own work per frame, without a raster: the ship turning and thrusting with a
// full pool of bullets in flight, on the recording platform the tests use.
void BM_FrameWithFullPool(benchmark::State& bench) {
  testing::RecordingPlatform platform;
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
    platform.log.clear();  // keeps its capacity: no allocation after the first frame
    RunFrame(state, platform);
  }
  benchmark::DoNotOptimize(platform.log.data());
}
BENCHMARK(BM_FrameWithFullPool);

}  // namespace
}  // namespace quillfane

BENCHMARK_MAIN();
