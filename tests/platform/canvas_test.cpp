#include "platform/canvas.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>

namespace quillfane {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// A 200 by 200 pixel raster; figures centred on pixel (100, 100) with a 20-pixel radius.
class CanvasTest : public ::testing::Test {
 protected:
  static constexpr int kCentre = 100;
  static constexpr int kRadius = 20;

  bool Lit(int dx, int dy) { return canvas.IsLit(kCentre + dx, kCentre + dy); }
  void Arc(float start, float end) {
    canvas.DrawArc(kCentre * 15 + 7, kCentre * 15 + 7, kRadius * 15, start, end);
  }
  template <typename Check>
  void ExpectEachLitNearTheCentre(Check check) {
    for (int dy = -kRadius - 1; dy <= kRadius + 1; ++dy) {
      for (int dx = -kRadius - 1; dx <= kRadius + 1; ++dx) {
        EXPECT_TRUE(!Lit(dx, dy) || check(dx, dy)) << dx << "," << dy;
      }
    }
  }
  int CountLit() {
    int lit = 0;
    for (int y = 0; y < canvas.PixelHeight(); ++y) {
      for (int x = 0; x < canvas.PixelWidth(); ++x) lit += canvas.IsLit(x, y) ? 1 : 0;
    }
    return lit;
  }

  std::string error;
  std::unique_ptr<Canvas> owned = Canvas::Create(3000, 3000, error);
  Canvas& canvas = owned != nullptr ? *owned : throw std::runtime_error("no canvas: " + error);
};

TEST_F(CanvasTest, ArcsRunCounterClockwiseOnScreenAndTogetherMakeTheClosedCircle) {
  // From the lower right, counter-clockwise on screen up through angle 0 to the top.
  Arc(7 * kPi / 4, kPi / 2 + 0.01F);
  EXPECT_TRUE(Lit(kRadius, 1) && Lit(kRadius, -1) && Lit(0, -kRadius));
  ExpectEachLitNearTheCentre([](int dx, int dy) { return dx >= 0 && dy <= dx; });
  canvas.Clear();
  canvas.DrawCircle(kCentre * 15 + 7, kCentre * 15 + 7, kRadius * 15);
  ExpectEachLitNearTheCentre([&](int dx, int dy) {
    int neighbours = 0;  // closed: each pixel has two lit neighbours
    for (int n = 0; n < 9; ++n) neighbours += n != 4 && Lit(dx + n % 3 - 1, dy + n / 3 - 1);
    return neighbours >= 2 && Lit(-dx, dy) && Lit(dx, -dy) && Lit(dy, dx);
  });
  EXPECT_GT(CountLit(), 100);
  canvas.SetPenColour(0, 0, 0);  // arcs are made of the circle's own pixels
  Arc(0, kPi);
  Arc(kPi, 2 * kPi - 0.001F);
  Arc(2 * kPi - 0.002F, 0.001F);
  EXPECT_EQ(CountLit(), 0);
}

// Absurd sizes and figures must cost bounded work and never crash.
TEST_F(CanvasTest, FiguresShowClippedAndKeptAcrossResizesAndAbsurdValuesAreHarmless) {
  canvas.DrawBox(1006, 1006, 1011, 1011);  // a third of a pixel, like a bullet: still one
  EXPECT_EQ(CountLit(), 1);
  const float huge = std::numeric_limits<float>::max();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  canvas.DrawLine(-huge, -huge, huge, huge);
  canvas.DrawLine(nan, 10, std::numeric_limits<float>::infinity(), nan);
  canvas.DrawBox(-huge, -huge, huge, huge);
  canvas.DrawCircle(huge, -huge, huge);
  canvas.DrawArc(nan, nan, nan, nan, huge);
  canvas.Clear();
  canvas.DrawLine(-4000, 150, 9000, 150);  // row 10, past both edges
  EXPECT_EQ(CountLit(), canvas.PixelWidth());
  for (int x = 0; x < canvas.PixelWidth(); ++x) ASSERT_TRUE(canvas.IsLit(x, 10)) << x;
  canvas.SetWidth(4500.5F);
  EXPECT_EQ(canvas.Width(), 4500.5F);  // as set, not rounded to pixels
  EXPECT_EQ(canvas.PixelWidth(), 301);
  EXPECT_TRUE(canvas.IsLit(199, 10));
  EXPECT_FALSE(canvas.IsLit(200, 10));
  canvas.SetHeight(15 * 11);
  canvas.SetWidth(15 * 100);
  EXPECT_EQ(CountLit(), 100);
  canvas.SetWidth(0);
  canvas.SetHeight(-5);
  EXPECT_EQ(canvas.PixelWidth() * canvas.PixelHeight(), 1);
}

}  // namespace
}  // namespace quillfane
