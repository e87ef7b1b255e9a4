#include "platform/dirty_region.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/platform/canvas_platform.h"

namespace quillfane::testing {
namespace {

bool Covers(const PixelRect& outer, const PixelRect& inner) {
  return outer.x <= inner.x && outer.y <= inner.y && inner.x + inner.w <= outer.x + outer.w &&
         inner.y + inner.h <= outer.y + outer.h;
}

bool RegionCovers(const DirtyRegion& region, const PixelRect& rect) {
  for (const PixelRect& stored : region.Rects()) {
    if (Covers(stored, rect)) return true;
  }
  return false;
}

TEST(DirtyRegion, StaysWithinItsCapacityAndStillCoversEverything) {
  std::mt19937 random(3);
  std::uniform_int_distribution<int> place(0, 2000);
  std::vector<PixelRect> added;
  DirtyRegion region;
  for (int i = 0; i < 300; ++i) {
    added.push_back({place(random), place(random), 1 + place(random) % 9, 1 + place(random) % 9});
    region.Add(added.back());
    ASSERT_LE(region.Rects().size(), static_cast<size_t>(DirtyRegion::kCapacity));
  }
  for (const PixelRect& rect : added) EXPECT_TRUE(RegionCovers(region, rect));
}

TEST(DirtyRegion, CanvasRecordsTheClippedExtentOfEachFigure) {
  CanvasPlatform platform(3000, 3000);
  Canvas& canvas = platform.canvas();
  canvas.Dirty().Clear();
  canvas.DrawLine(15 * 10, 15 * 20, 15 * 30, 15 * 25);
  canvas.DrawCircle(0, 0, 15 * 5);  // three quarters of it lie off the raster
  ASSERT_EQ(canvas.Dirty().Rects().size(), 2U);
  EXPECT_TRUE(RegionCovers(canvas.Dirty(), {10, 20, 21, 6}));
  EXPECT_TRUE(RegionCovers(canvas.Dirty(), {0, 0, 6, 6}));
  for (const PixelRect& rect : canvas.Dirty().Rects()) EXPECT_LE(rect.w * rect.h, 21 * 6);
}

}  // namespace
}  // namespace quillfane::testing
