#include "platform/pixel_geometry.h"

#include <cmath>
#include <numbers>

namespace quillfane {

namespace {

constexpr double kFullTurn = 2 * std::numbers::pi;

// NaN goes to the low limit: any fixed choice keeps drawing and erasing in step.
int ClampToPixelLimit(double pixels) {
  if (!(pixels > -kPixelLimit)) return -kPixelLimit;
  if (pixels > kPixelLimit) return kPixelLimit;
  return static_cast<int>(pixels);
}

double NormaliseAngle(double angle) {
  if (!std::isfinite(angle)) return 0;
  const double turned = std::fmod(angle, kFullTurn);
  return turned < 0 ? turned + kFullTurn : turned;
}

}  // namespace

int TwipsToPixel(float twips) {
  return ClampToPixelLimit(std::floor(static_cast<double>(twips) / kTwipsPerPixel));
}

Pixel TwipsToPixel(float x, float y) { return {TwipsToPixel(x), TwipsToPixel(y)}; }

int TwipsToPixelRadius(float twips) {
  const int radius = ClampToPixelLimit(std::round(static_cast<double>(twips) / kTwipsPerPixel));
  return radius < 0 ? 0 : radius;
}

ArcSpan::ArcSpan(float startAngle, float endAngle)
    : start_(NormaliseAngle(startAngle)),
      end_(NormaliseAngle(endAngle)),
      whole_(static_cast<double>(endAngle) - startAngle >= kFullTurn) {}

ArcSpan ArcSpan::WholeCircle() {
  ArcSpan span;
  span.whole_ = true;
  return span;
}

bool ArcSpan::Contains(int dx, int dy) const {
  if (whole_) return true;
  // Screen y grows downward while arc angles grow upward.
  const double angle = NormaliseAngle(std::atan2(-static_cast<double>(dy), dx));
  if (start_ <= end_) return angle >= start_ && angle <= end_;
  return angle >= start_ || angle <= end_;
}

}  // namespace quillfane
