#pragma once

#include "platform/platform.h"

namespace quillfane::bench {

// A platform that only counts what is drawn: the game's own cost, without a raster.
class CountingPlatform final : public Platform {
 public:
  long figures = 0;
  long pumps = 0;
  float playfieldWidth = 7110, playfieldHeight = 6015;

  void SetPenColour(std::uint8_t, std::uint8_t, std::uint8_t) override {}
  void DrawLine(float, float, float, float) override { ++figures; }
  void DrawBox(float, float, float, float) override { ++figures; }
  void DrawCircle(float, float, float) override { ++figures; }
  void DrawArc(float, float, float, float, float) override { ++figures; }
  float PlayfieldWidth() const override { return playfieldWidth; }
  float PlayfieldHeight() const override { return playfieldHeight; }
  void SetPlayfieldWidth(float twips) override { playfieldWidth = twips; }
  void SetPlayfieldHeight(float twips) override { playfieldHeight = twips; }
  float WindowWidth() const override { return 7110; }
  float WindowHeight() const override { return 6015; }
  WindowHandle Handle() const override { return 1; }
  WindowHandle GetActiveWindow() const override { return 1; }
  void RefreshPlayfield() override {}
  void FocusPlayfield() override {}
  void PumpEvents() override { ++pumps; }
  void Sleep(int) override {}
  [[noreturn]] void EndProgram() override { throw 0; }
};

}  // namespace quillfane::bench
