#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/platform.h"

namespace quillfane {

constexpr float kTwipsPerPixel = 15.0F;

// How a pixel's 32-bit word holds its colour. The desktop's surfaces read 0x00RRGGBB words; a
// browser's canvas reads bytes red, green, blue, alpha in memory order, and shows a pixel only
// where its alpha is 255, whatever the canvas was asked for.
enum class PixelLayout : std::uint8_t { kXrgb, kOpaqueRgbaBytes };

struct PixelRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

// The playfield as a persistent buffer of 32-bit pixels (in the layout asked for), one pixel per 15
// twips, that keeps whatever is drawn on it until Clear. Every figure's pixels depend only
// on its arguments, so drawing a figure again in black erases exactly what it drew. It
// needs no window system: backends present its changed area, tests read it back.
class Raster {
 public:
  // A side longer than this is no playfield anyone can use; the cap bounds the memory a
  // silly size can ask for.
  static constexpr int kMaxSide = 8192;
  static constexpr int kMaxDirtyRects = 16;

  Raster(float widthTwips, float heightTwips, PixelLayout layout = PixelLayout::kXrgb);

  void SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // Bresenham from the pixel of the first end to the pixel of the second.
  void DrawLine(float x1, float y1, float x2, float y2);
  // Fills the pixel cells the corners fall in and all between, so even a box smaller than a
  // pixel lights one.
  void DrawBox(float x1, float y1, float x2, float y2);
  // A midpoint circle of the radius rounded to whole pixels, about the centre's pixel.
  void DrawCircle(float centreX, float centreY, float radius);
  // The same circle's pixels that lie counter-clockwise on screen from startAngle to
  // endAngle (radians, 0 toward increasing x), through angle 0 when start > end.
  void DrawArc(float centreX, float centreY, float radius, float startAngle, float endAngle);
  void Clear();

  // Reads give back exactly the twips last set. The pixels follow at the next drawing or
  // pixel access, so setting the width and then the height re-sizes the buffer once; what
  // still fits is kept and the rest starts black.
  float Width() const { return width_; }
  float Height() const { return height_; }
  void SetWidth(float twips) { width_ = twips, resizePending_ = true; }
  void SetHeight(float twips) { height_ = twips, resizePending_ = true; }

  int PixelWidth();
  int PixelHeight();
  // Row after row, PixelWidth() pixels each. Moves only when the size changes.
  std::uint32_t* Pixels();
  // 0 outside the buffer.
  std::uint32_t PixelAt(int x, int y);
  // The word of red, green and blue in this raster's layout.
  std::uint32_t Word(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

  // What changed since ClearDirty, as a few rectangles inside the buffer.
  std::span<const PixelRect> Dirty();
  void ClearDirty() { dirtyCount_ = 0; }
  void MarkAllDirty();

 private:
  struct Canvas;

  void Fit();
  void MarkDirty(int left, int top, int right, int bottom);
  Canvas BeginFigure(int left, int top, int right, int bottom);
  void PlotArc(float centreX, float centreY, float radius, bool whole, double start, double end);
  void AddDirty(PixelRect rect);

  PixelLayout layout_;
  // The background, which new and cleared pixels start as.
  std::uint32_t black_;
  float width_;
  float height_;
  bool resizePending_ = true;
  int pixelWidth_ = 0;
  int pixelHeight_ = 0;
  std::vector<std::uint32_t> pixels_;
  std::uint32_t pen_ = 0;
  std::array<PixelRect, kMaxDirtyRects> dirty_{};
  int dirtyCount_ = 0;
};

// The drawing half of every window: the pen, the figures and the playfield's size go to the
// raster it owns.
class RasterPlatform : public Platform {
 public:
  // The playfield's size before the first resize replaces it.
  static constexpr float kInitialWidth = 6855;
  static constexpr float kInitialHeight = 5655;
  // The window's client area as it opens, in pixels: 7110 by 6015 twips.
  static constexpr int kClientPixelWidth = 7110 / static_cast<int>(kTwipsPerPixel);
  static constexpr int kClientPixelHeight = 6015 / static_cast<int>(kTwipsPerPixel);

  void SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override {
    playfield_.SetPenColour(red, green, blue);
  }
  void DrawLine(float x1, float y1, float x2, float y2) override {
    playfield_.DrawLine(x1, y1, x2, y2);
  }
  void DrawBox(float x1, float y1, float x2, float y2) override {
    playfield_.DrawBox(x1, y1, x2, y2);
  }
  void DrawCircle(float centreX, float centreY, float radius) override {
    playfield_.DrawCircle(centreX, centreY, radius);
  }
  void DrawArc(float centreX, float centreY, float radius, float startAngle,
               float endAngle) override {
    playfield_.DrawArc(centreX, centreY, radius, startAngle, endAngle);
  }
  float PlayfieldWidth() const override { return playfield_.Width(); }
  float PlayfieldHeight() const override { return playfield_.Height(); }
  void SetPlayfieldWidth(float twips) override { playfield_.SetWidth(twips); }
  void SetPlayfieldHeight(float twips) override { playfield_.SetHeight(twips); }
  Raster& Playfield() { return playfield_; }

 protected:
  explicit RasterPlatform(PixelLayout layout = PixelLayout::kXrgb)
      : playfield_(kInitialWidth, kInitialHeight, layout) {}

 private:
  Raster playfield_;
};

}  // namespace quillfane
