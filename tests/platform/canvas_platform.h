#pragma once

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/canvas.h"
#include "platform/platform.h"

namespace quillfane::testing {

// The game's figures on the real raster, with no window: the playfield is a Canvas.
class CanvasPlatform final : public Platform {
 public:
  CanvasPlatform(float widthTwips, float heightTwips) {
    std::string error;
    canvas_ = Canvas::Create(widthTwips, heightTwips, error);
    if (canvas_ == nullptr) throw std::runtime_error("no canvas: " + error);
  }
  Canvas& canvas() { return *canvas_; }

  void SetPenColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) override {
    canvas_->SetPenColour(r, g, b);
  }
  void DrawLine(float x1, float y1, float x2, float y2) override {
    canvas_->DrawLine(x1, y1, x2, y2);
  }
  void DrawBox(float x1, float y1, float x2, float y2) override {
    canvas_->DrawBox(x1, y1, x2, y2);
  }
  void DrawCircle(float x, float y, float r) override { canvas_->DrawCircle(x, y, r); }
  void DrawArc(float x, float y, float r, float start, float end) override {
    canvas_->DrawArc(x, y, r, start, end);
  }
  float PlayfieldWidth() const override { return canvas_->Width(); }
  float PlayfieldHeight() const override { return canvas_->Height(); }
  void SetPlayfieldWidth(float twips) override { canvas_->SetWidth(twips); }
  void SetPlayfieldHeight(float twips) override { canvas_->SetHeight(twips); }
  float WindowWidth() const override { return canvas_->Width(); }
  float WindowHeight() const override { return canvas_->Height(); }
  WindowHandle Handle() const override { return 1; }
  WindowHandle GetActiveWindow() const override { return 1; }
  void RefreshPlayfield() override { canvas_->Clear(); }
  void FocusPlayfield() override {}
  void PumpEvents() override {}
  void Sleep(int) override {}
  [[noreturn]] void EndProgram() override { std::abort(); }  // no test here ends the game

 private:
  std::unique_ptr<Canvas> canvas_;
};

inline int CountLit(Canvas& canvas) {
  int lit = 0;
  for (int y = 0; y < canvas.PixelHeight(); ++y) {
    for (int x = 0; x < canvas.PixelWidth(); ++x) lit += canvas.IsLit(x, y) ? 1 : 0;
  }
  return lit;
}

}  // namespace quillfane::testing
