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

// The null backend: records every figure with the pen it was drawn in, and every
// other call by name; events for each pump are scripted by the test.
class RecordingPlatform final : public Platform {
 public:
  std::vector<Figure> figures;
  std::vector<std::string> calls;
  float playfieldWidth = 6855, playfieldHeight = 5655;
  float windowWidth = 7110, windowHeight = 6015;
  WindowHandle handle = 1, activeWindow = 1;
  // Each pump runs (and removes) the front script, if any.
  std::deque<std::function<void()>> pumpScripts;

  std::vector<Figure> FiguresIn(Colour pen) const;

  void SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
  void DrawLine(float x1, float y1, float x2, float y2) override;
  void DrawBox(float x1, float y1, float x2, float y2) override;
  void DrawCircle(float centreX, float centreY, float radius) override;
  void DrawArc(float centreX, float centreY, float radius, float startAngle,
               float endAngle) override;
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
  void PumpEvents() override;
  void Sleep(int milliseconds) override;
  [[noreturn]] void EndProgram() override;

 private:
  void Record(FigureKind kind, std::array<float, 5> args);
  Colour pen_{1, 2, 3};  // neither white nor black: a figure drawn before any pen is set shows
};

}  // namespace quillfane::testing
