#include "platform/dirty_region.h"

#include <algorithm>
#include <cstdint>

namespace quillfane {

namespace {

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  const int left = std::min(a.x, b.x);
  const int top = std::min(a.y, b.y);
  const int right = std::max(a.x + a.w, b.x + b.w);
  const int bottom = std::max(a.y + a.h, b.y + b.h);
  return {left, top, right - left, bottom - top};
}

bool Touches(const PixelRect& a, const PixelRect& b) {
  return a.x <= b.x + b.w && b.x <= a.x + a.w && a.y <= b.y + b.h && b.y <= a.y + a.h;
}

std::int64_t Area(const PixelRect& rect) { return std::int64_t{rect.w} * rect.h; }

}  // namespace

void DirtyRegion::Add(PixelRect rect) {
  if (rect.w <= 0 || rect.h <= 0) return;
  AbsorbTouching(rect);
  while (count_ == kCapacity) {
    const int closest = CheapestMerge(rect);
    rect = Union(rect, rects_[closest]);
    Remove(closest);
    AbsorbTouching(rect);
  }
  rects_[count_++] = rect;
}

void DirtyRegion::Remove(int index) { rects_[index] = rects_[--count_]; }

void DirtyRegion::AbsorbTouching(PixelRect& rect) {
  for (int i = 0; i < count_;) {
    if (Touches(rect, rects_[i])) {
      rect = Union(rect, rects_[i]);
      Remove(i);
      i = 0;
    } else {
      ++i;
    }
  }
}

// The stored rectangle whose union with rect adds the least area beyond the two.
int DirtyRegion::CheapestMerge(const PixelRect& rect) const {
  int best = 0;
  std::int64_t bestGrowth = INT64_MAX;
  for (int i = 0; i < count_; ++i) {
    const std::int64_t growth = Area(Union(rect, rects_[i])) - Area(rect) - Area(rects_[i]);
    if (growth < bestGrowth) {
      bestGrowth = growth;
      best = i;
    }
  }
  return best;
}

}  // namespace quillfane
