#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/dirty_region.h"

struct SDL_Surface;

namespace quillfane {

// The playfield's raster: one pixel per 15 twips, keeping whatever is drawn on it until
// Clear. Sizes and figures are in twips; figures past the edges are clipped. It needs no
// display, so it can be drawn on and read back anywhere.
class Canvas {
 public:
  // Null, with the reason in error, when the raster cannot be allocated.
  static std::unique_ptr<Canvas> Create(float widthTwips, float heightTwips, std::string& error);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  void SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  void DrawLine(float x1, float y1, float x2, float y2);
  // Fills every pixel the box's corners fall in and those between, so even a box smaller
  // than a pixel lights one.
  void DrawBox(float x1, float y1, float x2, float y2);
  void DrawCircle(float centreX, float centreY, float radius);
  // Counter-clockwise from startAngle to endAngle (radians, 0 toward increasing x), through
  // angle 0 when start > end. Its pixels are those of the same circle that lie on the arc.
  void DrawArc(float centreX, float centreY, float radius, float startAngle, float endAngle);
  void Clear();

  // Reads return exactly the value last set. Resizing keeps the overlapping pixels and
  // leaves new ones black; the raster never gets smaller than one pixel.
  float Width() const;
  float Height() const;
  void SetWidth(float twips);
  void SetHeight(float twips);
  int PixelWidth() const;
  int PixelHeight() const;

  // 0xRRGGBB, or 0 outside the raster.
  std::uint32_t PixelAt(int x, int y);
  bool IsLit(int x, int y) { return PixelAt(x, y) != 0; }

  // What changed since the region was last cleared.
  DirtyRegion& Dirty();
  // The raster with every figure drawn so far written into it.
  SDL_Surface* Flush();

 private:
  struct Impl;
  explicit Canvas(std::unique_ptr<Impl> impl);

  std::unique_ptr<Impl> impl_;
};

}  // namespace quillfane
