#include "platform/raster.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace quillfane {

namespace {

constexpr double kFullTurn = 2 * std::numbers::pi;

// Coordinates are clamped this far out before they become ints, so absurd or non-finite
// arguments cost a bounded amount of work and never overflow.
constexpr int kPixelLimit = 1 << 15;

// NaN goes to the low limit: any fixed choice keeps drawing and erasing in step.
int ClampToPixelLimit(double pixels) {
  if (!(pixels > -kPixelLimit)) return -kPixelLimit;
  return pixels > kPixelLimit ? kPixelLimit : static_cast<int>(pixels);
}

// The pixel whose 15-twip cell holds the coordinate.
int ToPixel(float twips) {
  return ClampToPixelLimit(std::floor(static_cast<double>(twips) / kTwipsPerPixel));
}

int ToPixelRadius(float twips) {
  return std::max(ClampToPixelLimit(std::round(static_cast<double>(twips) / kTwipsPerPixel)), 0);
}

int ToBufferSide(float twips) {
  const double pixels = std::ceil(static_cast<double>(twips) / kTwipsPerPixel);
  if (!(pixels > 1)) return 1;
  return pixels < Raster::kMaxSide ? static_cast<int>(pixels) : Raster::kMaxSide;
}

double NormaliseAngle(double angle) {
  if (!std::isfinite(angle)) return 0;
  const double turned = std::fmod(angle, kFullTurn);
  return turned < 0 ? turned + kFullTurn : turned;
}

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  const int left = std::min(a.x, b.x);
  const int top = std::min(a.y, b.y);
  return {left, top, std::max(a.x + a.w, b.x + b.w) - left, std::max(a.y + a.h, b.y + b.h) - top};
}

bool Touch(const PixelRect& a, const PixelRect& b) {
  return a.x <= b.x + b.w && b.x <= a.x + a.w && a.y <= b.y + b.h && b.y <= a.y + a.h;
}

long long Area(const PixelRect& rect) { return static_cast<long long>(rect.w) * rect.h; }

}  // namespace

Raster::Raster(float widthTwips, float heightTwips, PixelLayout layout)
    : layout_(layout), black_(Word(0, 0, 0)), width_(widthTwips), height_(heightTwips) {
  pen_ = Word(255, 255, 255);
  Fit();
}

// The byte stored first is the word's lowest.
static_assert(std::endian::native == std::endian::little, "pixel words are laid out little-endian");

std::uint32_t Raster::Word(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
  const auto r = static_cast<std::uint32_t>(red);
  const auto g = static_cast<std::uint32_t>(green);
  const auto b = static_cast<std::uint32_t>(blue);
  if (layout_ == PixelLayout::kOpaqueRgbaBytes) return 0xFF000000U | b << 16 | g << 8 | r;
  return r << 16 | g << 8 | b;
}

void Raster::Fit() {
  if (!resizePending_) return;
  resizePending_ = false;
  const int width = ToBufferSide(width_);
  const int height = ToBufferSide(height_);
  if (width == pixelWidth_ && height == pixelHeight_) return;
  std::vector<std::uint32_t> next(static_cast<std::size_t>(width) * height, black_);
  const int keptWidth = std::min(width, pixelWidth_);
  for (int y = 0; y < std::min(height, pixelHeight_); ++y) {
    const auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y) * pixelWidth_;
    std::copy(row, row + keptWidth, next.begin() + static_cast<std::ptrdiff_t>(y) * width);
  }
  pixels_.swap(next);
  pixelWidth_ = width;
  pixelHeight_ = height;
  MarkAllDirty();
}

void Raster::SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  pen_ = Word(red, green, blue);
}

// The buffer and pen held in locals while a figure is drawn: a pixel store could otherwise
// alias the members, and they would be read again for every pixel. Pixels of a figure that
// lies wholly inside need no check of their own.
struct Raster::Canvas {
  std::uint32_t* pixels;
  int width;
  int height;
  std::uint32_t pen;
  bool inside;
  void Plot(int x, int y) const {
    if (inside || (x >= 0 && y >= 0 && x < width && y < height)) {
      pixels[static_cast<std::size_t>(y) * width + x] = pen;
    }
  }
};

// A figure marks as changed the part of its bounding box inside the buffer: all it can have
// lit, at the cost of a few pixels more than it did.
void Raster::MarkDirty(int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, pixelWidth_ - 1);
  bottom = std::min(bottom, pixelHeight_ - 1);
  if (left <= right && top <= bottom) AddDirty({left, top, right - left + 1, bottom - top + 1});
}

Raster::Canvas Raster::BeginFigure(int left, int top, int right, int bottom) {
  MarkDirty(left, top, right, bottom);
  const bool inside = left >= 0 && top >= 0 && right < pixelWidth_ && bottom < pixelHeight_;
  return {pixels_.data(), pixelWidth_, pixelHeight_, pen_, inside};
}

void Raster::DrawLine(float x1, float y1, float x2, float y2) {
  Fit();
  int x = ToPixel(x1);
  int y = ToPixel(y1);
  const int toX = ToPixel(x2);
  const int toY = ToPixel(y2);
  if (std::max(x, toX) < 0 || std::max(y, toY) < 0 || std::min(x, toX) >= pixelWidth_ ||
      std::min(y, toY) >= pixelHeight_) {
    return;
  }
  const int dx = std::abs(toX - x);
  const int dy = -std::abs(toY - y);
  const int stepX = x < toX ? 1 : -1;
  const int stepY = y < toY ? 1 : -1;
  int error = dx + dy;
  const Canvas canvas =
      BeginFigure(std::min(x, toX), std::min(y, toY), std::max(x, toX), std::max(y, toY));
  for (int remaining = std::max(dx, -dy); remaining >= 0; --remaining) {
    canvas.Plot(x, y);
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += stepX;
    }
    if (twice <= dx) {
      error += dx;
      y += stepY;
    }
  }
}

void Raster::DrawBox(float x1, float y1, float x2, float y2) {
  Fit();
  const int left = std::max(std::min(ToPixel(x1), ToPixel(x2)), 0);
  const int top = std::max(std::min(ToPixel(y1), ToPixel(y2)), 0);
  const int right = std::min(std::max(ToPixel(x1), ToPixel(x2)), pixelWidth_ - 1);
  const int bottom = std::min(std::max(ToPixel(y1), ToPixel(y2)), pixelHeight_ - 1);
  if (left > right || top > bottom) return;
  for (int y = top; y <= bottom; ++y) {
    const auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y) * pixelWidth_;
    std::fill(row + left, row + right + 1, pen_);
  }
  MarkDirty(left, top, right, bottom);
}

void Raster::DrawCircle(float centreX, float centreY, float radius) {
  PlotArc(centreX, centreY, radius, true, 0, 0);
}

void Raster::DrawArc(float centreX, float centreY, float radius, float startAngle, float endAngle) {
  const bool whole = static_cast<double>(endAngle) - startAngle >= kFullTurn;
  PlotArc(centreX, centreY, radius, whole, NormaliseAngle(startAngle), NormaliseAngle(endAngle));
}

// Midpoint circle; offsets on the octant seams may be plotted twice, which changes nothing.
void Raster::PlotArc(float centreX, float centreY, float radius, bool whole, double start,
                     double end) {
  Fit();
  const int cx = ToPixel(centreX);
  const int cy = ToPixel(centreY);
  const int r = ToPixelRadius(radius);
  if (cx + r < 0 || cy + r < 0 || cx - r >= pixelWidth_ || cy - r >= pixelHeight_) return;
  const Canvas canvas = BeginFigure(cx - r, cy - r, cx + r, cy + r);
  // Angle is that of the offset on screen, where y grows downward while arc angles grow
  // upward; it is worked out once for the eight offsets of each step, by symmetry, and lies
  // in (-pi, pi], so one full turn added to a negative one normalises it.
  const auto plot = [&](int dx, int dy, double angle) {
    if (angle < 0) angle += kFullTurn;
    if (whole || (start <= end ? angle >= start && angle <= end : angle >= start || angle <= end))
      canvas.Plot(cx + dx, cy + dy);
  };
  constexpr double kQuarter = std::numbers::pi / 2;
  int x = r;
  int y = 0;
  int error = 1 - r;
  while (x >= y) {
    const double a = whole ? 0 : std::atan2(static_cast<double>(y), x);  // 0 to 45 degrees
    plot(x, y, -a);
    plot(y, x, a - kQuarter);
    plot(-y, x, -kQuarter - a);
    plot(-x, y, a - 2 * kQuarter);
    plot(-x, -y, 2 * kQuarter - a);
    plot(-y, -x, kQuarter + a);
    plot(y, -x, kQuarter - a);
    plot(x, -y, a);
    ++y;
    if (error < 0) {
      error += 2 * y + 1;
    } else {
      --x;
      error += 2 * (y - x) + 1;
    }
  }
}

void Raster::Clear() {
  Fit();
  std::fill(pixels_.begin(), pixels_.end(), black_);
  MarkAllDirty();
}

int Raster::PixelWidth() {
  Fit();
  return pixelWidth_;
}

int Raster::PixelHeight() {
  Fit();
  return pixelHeight_;
}

std::uint32_t* Raster::Pixels() {
  Fit();
  return pixels_.data();
}

std::uint32_t Raster::PixelAt(int x, int y) {
  Fit();
  if (x < 0 || y < 0 || x >= pixelWidth_ || y >= pixelHeight_) return 0;
  return pixels_[static_cast<std::size_t>(y) * pixelWidth_ + x];
}

std::span<const PixelRect> Raster::Dirty() {
  Fit();
  return {dirty_.data(), static_cast<std::size_t>(dirtyCount_)};
}

void Raster::MarkAllDirty() {
  dirtyCount_ = 0;
  AddDirty({0, 0, pixelWidth_, pixelHeight_});
}

// Touching rectangles merge; when all slots are taken the new one joins the stored one
// whose union grows least, so the list never needs more room.
void Raster::AddDirty(PixelRect rect) {
  // Most figures lie on or beside the one drawn just before (the parts of the ship): that one
  // grows. It may come to overlap another, whose pixels are then copied twice, harmlessly.
  if (dirtyCount_ > 0 && Touch(rect, dirty_[dirtyCount_ - 1])) {
    dirty_[dirtyCount_ - 1] = Union(rect, dirty_[dirtyCount_ - 1]);
    return;
  }
  for (int i = 0; i < dirtyCount_;) {
    if (Touch(rect, dirty_[i])) {
      rect = Union(rect, dirty_[i]);
      dirty_[i] = dirty_[--dirtyCount_];
      i = 0;
    } else {
      ++i;
    }
  }
  if (dirtyCount_ == kMaxDirtyRects) {
    int best = 0;
    long long bestGrowth = LLONG_MAX;
    for (int i = 0; i < dirtyCount_; ++i) {
      const long long growth = Area(Union(rect, dirty_[i])) - Area(rect) - Area(dirty_[i]);
      if (growth < bestGrowth) {
        bestGrowth = growth;
        best = i;
      }
    }
    rect = Union(rect, dirty_[best]);
    dirty_[best] = dirty_[--dirtyCount_];
    AddDirty(rect);
    return;
  }
  dirty_[dirtyCount_++] = rect;
}

}  // namespace quillfane
