#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <numbers>
#include <random>

#include "tests/platform/canvas_platform.h"

namespace quillfane::testing {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// A 200 by 200 pixel raster; figures centred on pixel (100, 100) with a 20-pixel radius.
class CanvasFigures : public ::testing::Test {
 protected:
  static constexpr int kCentre = 100;
  static constexpr int kRadius = 20;

  bool Lit(int dx, int dy) { return canvas.IsLit(kCentre + dx, kCentre + dy); }
  void Arc(float start, float end) {
    canvas.DrawArc(kCentre * 15 + 7, kCentre * 15 + 7, kRadius * 15, start, end);
  }

  CanvasPlatform platform{3000, 3000};
  Canvas& canvas = platform.canvas();
};

TEST_F(CanvasFigures, ArcsRunCounterClockwiseOnScreenAndWrapThroughAngleZero) {
  Arc(0, kPi / 2);  // from the right, up to the top
  EXPECT_TRUE(Lit(kRadius, 0) && Lit(0, -kRadius));
  for (int dy = -kRadius; dy <= kRadius; ++dy) {
    for (int dx = -kRadius; dx <= kRadius; ++dx) {
      EXPECT_TRUE(!Lit(dx, dy) || (dx >= 0 && dy <= 0)) << dx << "," << dy;
    }
  }
  canvas.Clear();
  Arc(3 * kPi / 2 - 0.01F, kPi / 2 + 0.01F);  // the right half, through angle 0
  EXPECT_TRUE(Lit(kRadius, 0) && Lit(0, kRadius) && Lit(0, -kRadius));
  EXPECT_FALSE(Lit(-kRadius, 0));
}

TEST_F(CanvasFigures, CircleIsClosedSymmetricAndTheUnionOfItsArcs) {
  canvas.DrawCircle(kCentre * 15 + 7, kCentre * 15 + 7, kRadius * 15);
  for (int dy = -kRadius - 1; dy <= kRadius + 1; ++dy) {
    for (int dx = -kRadius - 1; dx <= kRadius + 1; ++dx) {
      if (!Lit(dx, dy)) continue;
      EXPECT_TRUE(Lit(-dx, dy) && Lit(dx, -dy) && Lit(dy, dx)) << dx << "," << dy;
      int neighbours = 0;
      for (int ny = -1; ny <= 1; ++ny) {
        for (int nx = -1; nx <= 1; ++nx) neighbours += (nx || ny) && Lit(dx + nx, dy + ny);
      }
      EXPECT_GE(neighbours, 2) << "gap next to " << dx << "," << dy;
    }
  }
  EXPECT_GT(CountLit(canvas), 100);
  canvas.SetPenColour(0, 0, 0);
  Arc(0, kPi);
  Arc(kPi, 2 * kPi - 0.001F);
  Arc(2 * kPi - 0.002F, 0.001F);
  EXPECT_EQ(CountLit(canvas), 0);
}

TEST_F(CanvasFigures, FiguresPastTheEdgesAreClippedAndHugeValuesAreHarmless) {
  const float huge = std::numeric_limits<float>::max();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  canvas.DrawLine(-huge, -huge, huge, huge);
  canvas.DrawLine(nan, 10, std::numeric_limits<float>::infinity(), nan);
  canvas.DrawBox(-huge, -huge, huge, huge);
  canvas.DrawCircle(huge, -huge, huge);
  canvas.DrawArc(nan, nan, nan, nan, huge);
  canvas.Clear();
  canvas.DrawLine(-4000, 150, 9000, 150);
  EXPECT_EQ(CountLit(canvas), canvas.PixelWidth());
  for (int x = 0; x < canvas.PixelWidth(); ++x) ASSERT_TRUE(canvas.IsLit(x, 10)) << x;
}

// With nothing else on the raster to hide a stray pixel, each figure drawn again in black
// must remove all it drew in white. The game's boxes are a third of a pixel: they must
// still show.
TEST_F(CanvasFigures, EachRandomFigureRedrawnInBlackLeavesNothing) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> place(-300, 3300);
  std::uniform_real_distribution<float> angle(0, 2 * kPi);
  std::uniform_real_distribution<float> radius(0, 600);
  for (int i = 0; i < 400; ++i) {
    const float x1 = place(random), y1 = place(random), x2 = place(random), y2 = place(random);
    const float r = radius(random), start = angle(random), end = angle(random);
    auto draw = [&](std::uint8_t level) {
      canvas.SetPenColour(level, level, level);
      if (i % 4 == 0) canvas.DrawLine(x1, y1, x2, y2);
      if (i % 4 == 1) canvas.DrawBox(x1, y1, x1 + 5, y1 + 5);
      if (i % 4 == 2) canvas.DrawCircle(x1, y1, r);
      if (i % 4 == 3) canvas.DrawArc(x1, y1, r, start, end);
    };
    draw(255);
    const bool boxInside = i % 4 == 1 && x1 >= 0 && y1 >= 0 && x1 < 3000 && y1 < 3000;
    if (boxInside) {
      EXPECT_GT(CountLit(canvas), 0) << x1 << "," << y1;
    }
    draw(0);
    ASSERT_EQ(CountLit(canvas), 0) << "figure " << i;
  }
}

TEST_F(CanvasFigures, ResizingKeepsTheOverlapAndReadsBackWhatWasSet) {
  canvas.DrawLine(0, 15 * 50, 15 * 199, 15 * 50);  // row 50, every column
  canvas.SetWidth(4500.5F);
  EXPECT_EQ(canvas.Width(), 4500.5F);
  EXPECT_EQ(canvas.PixelWidth(), 301);
  EXPECT_TRUE(canvas.IsLit(199, 50));
  EXPECT_FALSE(canvas.IsLit(200, 50));
  canvas.SetHeight(15 * 51);
  canvas.SetWidth(15 * 100);
  EXPECT_EQ(CountLit(canvas), 100);
  canvas.SetWidth(0);
  canvas.SetHeight(-5);
  EXPECT_EQ(canvas.Height(), -5);
  EXPECT_EQ(canvas.PixelWidth() * canvas.PixelHeight(), 1);
}

}  // namespace
}  // namespace quillfane::testing
