// Drawing on the playfield and presenting it on a real window. Needs an X display (under
// Xvfb give it a screen of at least 3840x2160); without one it says so and exits 0.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/window_base.h"
#include "ship/ship.h"

namespace quillfane {
namespace {

bool windowFailed = false;  // ends the program with status 1, so a script sees it

std::unique_ptr<WindowBase> OpenGameWindow(benchmark::State& bench, int width, int height) {
  std::string error;
  auto platform = OpenWindow(error);
  if (platform == nullptr) {
    bench.SkipWithError(error.c_str());
    windowFailed = true;
    return nullptr;
  }
  platform->Show();
  // Under QUILLFANE_SCALE the same playfield on a window that many times larger.
  const int scale =
      SDL_getenv("QUILLFANE_SCALE") != nullptr ? SDL_atoi(SDL_getenv("QUILLFANE_SCALE")) : 1;
  SDL_SetWindowSize(SDL_GetWindowFromID(Uint32(platform->Handle())), width * scale, height * scale);
  for (int settle = 0; settle < 10; ++settle) platform->PumpEvents();
  platform->SetPlayfieldWidth(platform->WindowWidth());
  platform->SetPlayfieldHeight(platform->WindowHeight());
  return platform;
}

GameState ShipInTheMiddle(const Platform& platform) {
  GameState state;
  Form_Load(state);
  state.ShipX = platform.PlayfieldWidth() / 2;
  state.ShipY = platform.PlayfieldHeight() / 2;
  state.KeyThrust = true;
  return state;
}

void TurnAndRedrawShip(GameState& state, Platform& platform) {
  state.ShipAngle = state.ShipAngle < Degrees(state, 350) ? state.ShipAngle + Degrees(state, 5) : 0;
  ClearShip(state, platform);
  DrawShip(state, platform);
}

// The drawing alone, into the raster.
void BM_ShipDrawing(benchmark::State& bench) {
  auto platform = OpenGameWindow(bench, 474, 401);
  if (platform == nullptr) return;
  GameState state = ShipInTheMiddle(*platform);
  for (auto _ : bench) TurnAndRedrawShip(state, *platform);
}

// One frame's worth: the ship erased, turned and drawn again, then the pump, which copies
// only the changed area to the window.
void BM_ShipFrame(benchmark::State& bench) {
  auto platform = OpenGameWindow(bench, 474, 401);
  if (platform == nullptr) return;
  GameState state = ShipInTheMiddle(*platform);
  for (auto _ : bench) {
    TurnAndRedrawShip(state, *platform);
    platform->PumpEvents();
  }
}

// A refresh: the whole playfield cleared and copied to the window at once.
void BM_WholeWindowPresent(benchmark::State& bench) {
  auto platform = OpenGameWindow(bench, int(bench.range(0)), int(bench.range(1)));
  if (platform == nullptr) return;
  for (auto _ : bench) platform->RefreshPlayfield();
  bench.counters["pixels"] = double(bench.range(0) * bench.range(1));
}

BENCHMARK(BM_ShipDrawing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShipFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeWindowPresent)
    ->Unit(benchmark::kMicrosecond)
    ->Args({474, 401})
    ->Args({1920, 1080})
    ->Args({3840, 2160});

}  // namespace
}  // namespace quillfane

int main(int argc, char** argv) {
  if (SDL_getenv("DISPLAY") == nullptr) {
    std::puts("present_bench: no X display (DISPLAY is unset); nothing to measure");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return quillfane::windowFailed ? 1 : 0;
}
