#include <benchmark/benchmark.h>

#include <cstdlib>

#include "game/frame.h"
#include "platform/raster.h"
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

// The raster with no window: the pump only forgets what changed, as a present would.
class RasterOnly final : public RasterPlatform {
 public:
  float WindowWidth() const override { return 7110; }
  float WindowHeight() const override { return 6015; }
  WindowHandle Handle() const override { return 1; }
  WindowHandle GetActiveWindow() const override { return 1; }
  void RefreshPlayfield() override { Playfield().Clear(); }
  void FocusPlayfield() override {}
  void PumpEvents() override { Playfield().ClearDirty(); }
  void Sleep(int) override {}
  [[noreturn]] void EndProgram() override { std::abort(); }
};

// A whole frame of play drawn on the raster, as the player sees it in the side-by-side run:
// turning and thrusting, with a volley every 20 frames. The figure the window adds is the
// present, which present_bench measures.
void BM_FrameOnRaster(benchmark::State& bench) {
  RasterOnly platform;
  GameState state;
  Form_Load(state);
  FitPlayfieldToWindow(state, platform);
  state.KeyLeft = state.KeyThrust = true;
  int frame = 0;
  for (auto _ : bench) {
    state.KeyFire = ++frame % 20 < 5;
    state.FireReady = state.FireReady || frame % 20 == 10;
    RunFrame(state, platform);
  }
}
BENCHMARK(BM_FrameOnRaster);

}  // namespace
}  // namespace quillfane

BENCHMARK_MAIN();
