#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/platform.h"
#include "platform/raster.h"

namespace quillfane::testing {

// Thrown by EndProgram so a test can watch the program end without exiting.
struct ProgramEnded {};

enum class Call { Line, Box, Circle, Arc, Refresh, Focus, Pump, Sleep };
constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0;

struct Record {
  Call call;
  std::array<float, 5> args;  // unused trailing arguments are 0
  std::uint32_t pen;
  bool operator==(const Record&) const = default;
  bool IsFigure() const { return call <= Call::Arc; }
};

// The null backend: logs every call in order, figures with the pen they were drawn in, and
// draws them on a raster too when given one. onPump runs inside each PumpEvents, as window
// events would; onSleep ends each frame.
class RecordingPlatform final : public Platform {
 public:
  std::vector<Record> log;
  float playfieldWidth = 6855, playfieldHeight = 5655, windowWidth = 7110, windowHeight = 6015;
  WindowHandle handle = 1, activeWindow = 1;
  std::function<void()> onPump, onSleep;
  Raster* raster = nullptr;

  void SetPenColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) override {
    pen_ = std::uint32_t(r << 16 | g << 8 | b);
    if (raster) raster->SetPenColour(r, g, b);
  }
  void DrawLine(float a, float b, float c, float d) override {
    Log(Call::Line, {a, b, c, d}), raster ? raster->DrawLine(a, b, c, d) : void();
  }
  void DrawBox(float a, float b, float c, float d) override {
    Log(Call::Box, {a, b, c, d}), raster ? raster->DrawBox(a, b, c, d) : void();
  }
  void DrawCircle(float x, float y, float r) override {
    Log(Call::Circle, {x, y, r}), raster ? raster->DrawCircle(x, y, r) : void();
  }
  void DrawArc(float x, float y, float r, float from, float to) override {
    Log(Call::Arc, {x, y, r, from, to}), raster ? raster->DrawArc(x, y, r, from, to) : void();
  }
  float PlayfieldWidth() const override { return playfieldWidth; }
  float PlayfieldHeight() const override { return playfieldHeight; }
  void SetPlayfieldWidth(float twips) override {
    playfieldWidth = twips, raster ? raster->SetWidth(twips) : void();
  }
  void SetPlayfieldHeight(float twips) override {
    playfieldHeight = twips, raster ? raster->SetHeight(twips) : void();
  }
  float WindowWidth() const override { return windowWidth; }
  float WindowHeight() const override { return windowHeight; }
  WindowHandle Handle() const override { return handle; }
  WindowHandle GetActiveWindow() const override { return activeWindow; }
  void RefreshPlayfield() override { Log(Call::Refresh, {}), raster ? raster->Clear() : void(); }
  void FocusPlayfield() override { Log(Call::Focus, {}); }
  void PumpEvents() override { Log(Call::Pump, {}), onPump ? onPump() : void(); }
  void Sleep(int ms) override { Log(Call::Sleep, {float(ms)}), onSleep ? onSleep() : void(); }
  [[noreturn]] void EndProgram() override { throw ProgramEnded{}; }

 private:
  void Log(Call call, std::array<float, 5> args) { log.push_back({call, args, pen_}); }
  std::uint32_t pen_ = 0x010203;  // neither white nor black: a figure drawn before a pen shows
};

}  // namespace quillfane::testing
