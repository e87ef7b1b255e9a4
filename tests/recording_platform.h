#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/raster.h"

namespace quillfane::testing {

// Thrown by EndProgram so a test can watch the program end without exiting.
struct ProgramEnded {};

// The null backend: figures go to a raster, and every call is logged in order as a letter of
// LBCARFPS (line, box, circle, arc, refresh, focus, pump, sleep), a figure's in lower case when
// drawn in black and a sleep's when it is not 10 ms. onSleep ends each frame.
class RecordingPlatform final : public Platform {
 public:
  Raster raster{RasterPlatform::kInitialWidth, RasterPlatform::kInitialHeight};
  std::string log;
  float windowWidth = 4500, windowHeight = 3600;
  WindowHandle handle = 1, activeWindow = 1;
  std::function<void()> onSleep;

  void SetPenColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) override {
    black_ = (r | g | b) == 0;
    raster.SetPenColour(r, g, b);
  }
  void DrawLine(float a, float b, float c, float d) override { Logged('L').DrawLine(a, b, c, d); }
  void DrawBox(float a, float b, float c, float d) override { Logged('B').DrawBox(a, b, c, d); }
  void DrawCircle(float x, float y, float r) override { Logged('C').DrawCircle(x, y, r); }
  void DrawArc(float x, float y, float r, float from, float to) override {
    Logged('A').DrawArc(x, y, r, from, to);
  }
  float PlayfieldWidth() const override { return raster.Width(); }
  float PlayfieldHeight() const override { return raster.Height(); }
  void SetPlayfieldWidth(float twips) override { raster.SetWidth(twips); }
  void SetPlayfieldHeight(float twips) override { raster.SetHeight(twips); }
  float WindowWidth() const override { return windowWidth; }
  float WindowHeight() const override { return windowHeight; }
  WindowHandle Handle() const override { return handle; }
  WindowHandle GetActiveWindow() const override { return activeWindow; }
  void RefreshPlayfield() override {
    log += 'R';
    raster.Clear();
  }
  void FocusPlayfield() override { log += 'F'; }
  void PumpEvents() override { log += 'P'; }
  void Sleep(int ms) override {
    log += ms == 10 ? 'S' : 's';
    if (onSleep) onSleep();
  }
  [[noreturn]] void EndProgram() override { throw ProgramEnded{}; }

 private:
  // The raster to draw the figure on, once the log has it.
  Raster& Logged(char figure) {
    log += black_ ? char(figure - 'A' + 'a') : figure;
    return raster;
  }
  bool black_ = false;
};

// As a backend presents: copies only the raster's changed areas into the window, whose pixels
// start as garbage when its size changes; true when it then shows what the raster holds.
inline bool ShowChanges(Raster& raster, std::vector<std::uint32_t>& window) {
  const int width = raster.PixelWidth();
  const std::uint32_t* pixels = raster.Pixels();
  const std::size_t size = std::size_t(width) * raster.PixelHeight();
  if (window.size() != size) window.assign(size, 0xFF00);
  for (const PixelRect& r : raster.Dirty())
    for (int y = r.y; y < r.y + r.h; ++y)
      std::copy_n(pixels + y * width + r.x, r.w, window.begin() + y * width + r.x);
  raster.ClearDirty();
  return std::equal(window.begin(), window.end(), pixels);
}

}  // namespace quillfane::testing
