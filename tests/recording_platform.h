#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace quillfane::testing {

// Thrown by EndProgram so a test can watch the program end without exiting.
struct ProgramEnded {};

struct Colour {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Colour&) const = default;
};
constexpr Colour kWhite{255, 255, 255};
constexpr Colour kBlack{0, 0, 0};

enum class FigureKind { Line, Box, Circle, Arc };

struct Figure {
  FigureKind kind;
  std::array<float, 5> args;  // unused trailing arguments are 0
  Colour pen;
  bool operator==(const Figure&) const = default;
};

// The null backend: records every figure with the pen it was drawn in, and the other
// calls by name; the events of each pump are scripted by the test.
class RecordingPlatform final : public Platform {
 public:
  std::vector<Figure> figures;
  std::vector<std::string> calls;
  float playfieldWidth = 6855, playfieldHeight = 5655;
  float windowWidth = 7110, windowHeight = 6015;
  WindowHandle handle = 1, activeWindow = 1;
  std::deque<std::function<void()>> pumpScripts;  // each pump runs and drops the front one

  std::vector<Figure> FiguresIn(Colour pen) const {
    std::vector<Figure> result;
    for (const Figure& figure : figures) {
      if (figure.pen == pen) result.push_back(figure);
    }
    return result;
  }

  void SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override {
    pen_ = {red, green, blue};
  }
  void DrawLine(float x1, float y1, float x2, float y2) override {
    figures.push_back({FigureKind::Line, {x1, y1, x2, y2, 0}, pen_});
  }
  void DrawBox(float x1, float y1, float x2, float y2) override {
    figures.push_back({FigureKind::Box, {x1, y1, x2, y2, 0}, pen_});
  }
  void DrawCircle(float x, float y, float radius) override {
    figures.push_back({FigureKind::Circle, {x, y, radius, 0, 0}, pen_});
  }
  void DrawArc(float x, float y, float radius, float start, float end) override {
    figures.push_back({FigureKind::Arc, {x, y, radius, start, end}, pen_});
  }
  float PlayfieldWidth() const override { return playfieldWidth; }
  float PlayfieldHeight() const override { return playfieldHeight; }
  void SetPlayfieldWidth(float twips) override { playfieldWidth = twips; }
  void SetPlayfieldHeight(float twips) override { playfieldHeight = twips; }
  float WindowWidth() const override { return windowWidth; }
  float WindowHeight() const override { return windowHeight; }
  WindowHandle Handle() const override { return handle; }
  WindowHandle GetActiveWindow() const override { return activeWindow; }
  void RefreshPlayfield() override { calls.push_back("refresh"); }
  void FocusPlayfield() override { calls.push_back("focus"); }
  void PumpEvents() override {
    calls.push_back("pump");
    if (pumpScripts.empty()) return;
    const auto script = std::move(pumpScripts.front());
    pumpScripts.pop_front();
    script();
  }
  void Sleep(int milliseconds) override {
    calls.push_back("sleep " + std::to_string(milliseconds));
  }
  [[noreturn]] void EndProgram() override { throw ProgramEnded{}; }

 private:
  Colour pen_{1, 2, 3};  // neither white nor black: a figure drawn before any pen is set shows
};

}  // namespace quillfane::testing
