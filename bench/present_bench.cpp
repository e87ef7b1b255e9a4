#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/angles.h"
#include "game/form_load.h"
#include "platform/sdl_platform.h"
#include "ship/clear_ship.h"
#include "ship/draw_ship.h"

namespace quillfane {
namespace {

std::unique_ptr<SdlPlatform> OpenWindow(benchmark::State& bench, PresentPath path) {
  std::string error;
  auto platform = SdlPlatform::Create(error, path);
  if (platform == nullptr) {
    bench.SkipWithError(error.c_str());
    return nullptr;
  }
  platform->Show();
  for (int settle = 0; settle < 10; ++settle) platform->PumpEvents();
  return platform;
}

void TurnAndRedrawShip(GameState& state, Platform& platform) {
  state.ShipAngle = state.ShipAngle + Degrees(state, 5);
  ClearShip(state, platform);
  DrawShip(state, platform);
}

GameState ShipInTheMiddle(const Platform& platform) {
  GameState state;
  Form_Load(state);
  state.ShipX = platform.PlayfieldWidth() / 2;
  state.ShipY = platform.PlayfieldHeight() / 2;
  state.KeyThrust = true;
  return state;
}

// The drawing alone, for telling it apart from the present in the frame below.
void BM_ShipDrawing(benchmark::State& bench) {
  auto platform = OpenWindow(bench, PresentPath::kSharedMemory);
  if (platform == nullptr) return;
  GameState state = ShipInTheMiddle(*platform);
  for (auto _ : bench) TurnAndRedrawShip(state, *platform);
}

// One frame's worth of presenting: the ship erased, turned and drawn again, then the pump,
// which copies only the changed area to the window.
void BM_ShipFrame(benchmark::State& bench, PresentPath path) {
  auto platform = OpenWindow(bench, path);
  if (platform == nullptr) return;
  GameState state = ShipInTheMiddle(*platform);
  for (auto _ : bench) {
    TurnAndRedrawShip(state, *platform);
    platform->PumpEvents();
  }
}

// The whole client area at once, as after a refresh, a resize or an expose.
void BM_WholeWindow(benchmark::State& bench, PresentPath path) {
  auto platform = OpenWindow(bench, path);
  if (platform == nullptr) return;
  for (auto _ : bench) platform->RefreshPlayfield();
}

BENCHMARK(BM_ShipDrawing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ShipFrame, shared_memory, PresentPath::kSharedMemory)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ShipFrame, texture, PresentPath::kTexture)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WholeWindow, shared_memory, PresentPath::kSharedMemory)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WholeWindow, texture, PresentPath::kTexture)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillfane

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::printf(
        "present_bench: skipped: no X display (DISPLAY is empty); run it on a desktop or "
        "under Xvfb, e.g. Xvfb :57 & DISPLAY=:57 present_bench\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
