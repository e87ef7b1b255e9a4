#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/platform.h"

namespace quillfane::testing {

// Thrown by EndProgram so a test can watch the program end without exiting.
struct ProgramEnded {};

enum class Call { Line, Box, Circle, Arc, Refresh, Focus, Pump, Sleep };

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0;
constexpr std::uint32_t kNoPen = 0x010203;  // a figure drawn before any pen is set shows

struct Record {
  Call call;
  std::array<float, 5> args;  // unused trailing arguments are 0
  std::uint32_t pen;
  bool operator==(const Record&) const = default;
  bool IsFigure() const { return call <= Call::Arc; }
};

// The null backend: logs every call in order, figures with the pen they were drawn in.
// onPump runs inside each PumpEvents, as window events would.
class RecordingPlatform final : public Platform {
 public:
  std::vector<Record> log;
  float playfieldWidth = 6855, playfieldHeight = 5655;
  float windowWidth = 7110, windowHeight = 6015;
  WindowHandle handle = 1, activeWindow = 1;
  std::function<void()> onPump, onSleep;

  void SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override {
    pen_ = static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
  }
  void DrawLine(float x1, float y1, float x2, float y2) override {
    log.push_back({Call::Line, {x1, y1, x2, y2, 0}, pen_});
  }
  void DrawBox(float x1, float y1, float x2, float y2) override {
    log.push_back({Call::Box, {x1, y1, x2, y2, 0}, pen_});
  }
  void DrawCircle(float x, float y, float radius) override {
    log.push_back({Call::Circle, {x, y, radius, 0, 0}, pen_});
  }
  void DrawArc(float x, float y, float radius, float start, float end) override {
    log.push_back({Call::Arc, {x, y, radius, start, end}, pen_});
  }
  float PlayfieldWidth() const override { return playfieldWidth; }
  float PlayfieldHeight() const override { return playfieldHeight; }
  void SetPlayfieldWidth(float twips) override { playfieldWidth = twips; }
  void SetPlayfieldHeight(float twips) override { playfieldHeight = twips; }
  float WindowWidth() const override { return windowWidth; }
  float WindowHeight() const override { return windowHeight; }
  WindowHandle Handle() const override { return handle; }
  WindowHandle GetActiveWindow() const override { return activeWindow; }
  void RefreshPlayfield() override { log.push_back({Call::Refresh, {}, 0}); }
  void FocusPlayfield() override { log.push_back({Call::Focus, {}, 0}); }
  void PumpEvents() override {
    log.push_back({Call::Pump, {}, 0});
    if (onPump) onPump();
  }
  void Sleep(int milliseconds) override {
    log.push_back({Call::Sleep, {static_cast<float>(milliseconds)}, 0});
    if (onSleep) onSleep();
  }
  [[noreturn]] void EndProgram() override { throw ProgramEnded{}; }

 private:
  std::uint32_t pen_ = kNoPen;
};

}  // namespace quillfane::testing
