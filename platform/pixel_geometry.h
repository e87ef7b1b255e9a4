#pragma once

#include <cstdlib>

namespace quillfane {

constexpr float kTwipsPerPixel = 15.0F;

// Coordinates are clamped this far out before they become ints, so absurd or non-finite
// arguments cost a bounded amount of work and never overflow. No canvas is this large.
constexpr int kPixelLimit = 1 << 15;

struct Pixel {
  int x = 0;
  int y = 0;
};

// The pixel whose 15-twip cell holds the coordinate.
int TwipsToPixel(float twips);
Pixel TwipsToPixel(float x, float y);
// Radii round to the nearest whole pixel.
int TwipsToPixelRadius(float twips);

// Calls plot(x, y) for each pixel of the line, walking from the first end to the second.
// The pixels depend only on the ends, so drawing the same call again covers exactly them.
template <typename Plot>
void ForEachLinePixel(Pixel from, Pixel to, Plot&& plot) {
  const int dx = std::abs(to.x - from.x);
  const int dy = -std::abs(to.y - from.y);
  const int stepX = from.x < to.x ? 1 : -1;
  const int stepY = from.y < to.y ? 1 : -1;
  int error = dx + dy;
  for (Pixel at = from;;) {
    plot(at.x, at.y);
    if (at.x == to.x && at.y == to.y) return;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      at.x += stepX;
    }
    if (twice <= dx) {
      error += dx;
      at.y += stepY;
    }
  }
}

// Calls plot(dx, dy) for each offset of a midpoint circle of the radius around its centre
// pixel; offsets on the octant seams may come twice.
template <typename Plot>
void ForEachCircleOffset(int radius, Plot&& plot) {
  int x = radius;
  int y = 0;
  int error = 1 - radius;
  while (x >= y) {
    plot(x, y);
    plot(y, x);
    plot(-y, x);
    plot(-x, y);
    plot(-x, -y);
    plot(-y, -x);
    plot(y, -x);
    plot(x, -y);
    ++y;
    if (error < 0) {
      error += 2 * y + 1;
    } else {
      --x;
      error += 2 * (y - x) + 1;
    }
  }
}

// The angles an arc covers, counter-clockwise on screen from start to end, passing through
// angle 0 when start is the larger. Angles are radians, 0 toward increasing x.
class ArcSpan {
 public:
  ArcSpan(float startAngle, float endAngle);
  static ArcSpan WholeCircle();
  // Whether the pixel at this offset from the centre (y growing downward) lies on the arc.
  bool Contains(int dx, int dy) const;

 private:
  ArcSpan() = default;

  double start_ = 0;
  double end_ = 0;
  bool whole_ = false;
};

}  // namespace quillfane
