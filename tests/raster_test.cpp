// The playfield's pixels, read back exactly.
#include "platform/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace quillfane {
namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels Lit(Raster& raster) {
  Pixels lit;
  for (int y = 0; y < raster.PixelHeight(); ++y)
    for (int x = 0; x < raster.PixelWidth(); ++x)
      if (raster.PixelAt(x, y) != 0) lit.insert({x, y});
  return lit;
}

// Pixel (x, y)'s cell starts at twip 15x: draws in the middle of the cell.
float At(int pixel) { return 15.0F * static_cast<float>(pixel) + 7; }

TEST(Raster, LinesInEveryOctantAndFlooredEnds) {
  for (const auto& [dx, dy] :
       {std::pair{5, 2}, {2, 5}, {-2, 5}, {-5, 2}, {-5, -2}, {-2, -5}, {2, -5}, {5, -2}}) {
    Raster raster(300, 300);
    raster.DrawLine(At(10), At(10), At(10 + dx), At(10 + dy));
    Pixels expected;  // these slopes never fall half-way between two pixels
    const int steps = std::max(std::abs(dx), std::abs(dy));
    for (int i = 0; i <= steps; ++i)
      expected.insert({10 + static_cast<int>(std::lround(dx * i / double(steps))),
                       10 + static_cast<int>(std::lround(dy * i / double(steps)))});
    EXPECT_EQ(Lit(raster), expected) << dx << "," << dy;
  }
  // Half-way cases, settled by the walk from the first end: why erasing keeps directions.
  Raster forward(300, 300), backward(300, 300);
  forward.DrawLine(At(10), At(10), At(12), At(14));
  backward.DrawLine(At(12), At(14), At(10), At(10));
  EXPECT_EQ(Lit(forward), (Pixels{{10, 10}, {11, 11}, {11, 12}, {12, 13}, {12, 14}}));
  EXPECT_EQ(Lit(backward), (Pixels{{12, 14}, {11, 13}, {11, 12}, {10, 11}, {10, 10}}));
  Raster raster(300, 300);
  raster.DrawLine(14.9F, 15, 29.9F, 15);    // one cell, then the next
  raster.DrawLine(-0.1F, 0, -0.1F, 44.9F);  // just left of the raster
  EXPECT_EQ(Lit(raster), (Pixels{{0, 1}, {1, 1}}));
}

TEST(Raster, BoxesCirclesAndArcs) {
  Raster raster(300, 300);
  raster.DrawBox(14, 14, 19, 19);  // a 5-twip box across a corner lights four cells
  raster.DrawBox(95, 95, 100, 100);
  EXPECT_EQ(Lit(raster), (Pixels{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {6, 6}}));

  const Pixels ring = {{3, 0}, {-3, 0}, {0, 3},  {0, -3},  {3, 1}, {3, -1}, {-3, 1}, {-3, -1},
                       {1, 3}, {-1, 3}, {1, -3}, {-1, -3}, {2, 2}, {2, -2}, {-2, 2}, {-2, -2}};
  const auto around = [](const Pixels& offsets) {
    Pixels at;
    for (const auto& [x, y] : offsets) at.insert({10 + x, 10 + y});
    return at;
  };
  const float pi = 3.14159265F;
  const struct {
    float start, end;
    Pixels offsets;
  } arcs[] = {
      {0, 2 * pi + 0.1F, ring},
      {0, pi / 2, {{3, 0}, {3, -1}, {2, -2}, {1, -3}, {0, -3}}},  // up, as y grows down
      {5.2F, 0.5F, {{3, 0}, {3, -1}, {3, 1}, {2, 2}}},            // through angle 0
      {pi / 2,
       0,
       {{3, 0},
        {3, 1},
        {2, 2},
        {1, 3},
        {0, 3},
        {-1, 3},
        {-2, 2},
        {-3, 1},
        {-3, 0},
        {-3, -1},
        {-2, -2},
        {-1, -3}}},  // the float start is past 90
  };
  for (const auto& arc : arcs) {
    Raster arcRaster(300, 300);
    arcRaster.DrawArc(At(10), At(10), 45, arc.start, arc.end);
    EXPECT_EQ(Lit(arcRaster), around(arc.offsets)) << arc.start << " to " << arc.end;
  }
  Raster circle(300, 300);
  circle.DrawCircle(At(10), At(10), 44);  // rounds to 3 pixels
  EXPECT_EQ(Lit(circle), around(ring));
}

// What the game relies on to erase: every figure drawn again in black takes back exactly its
// own pixels, wherever it lies, and the changed area covers all that was drawn.
TEST(Raster, RandomFiguresErasedLeaveEveryPixelBlack) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> place(-2000, 9000), radius(0, 3000);
  Raster raster(7000, 6000);
  std::vector<std::array<float, 6>> figures(400);
  for (auto& f : figures)
    f = {float(random() % 4), place(random), place(random),
         place(random),       place(random), radius(random)};
  const auto draw = [&raster](const std::array<float, 6>& f) {
    if (f[0] == 0) raster.DrawLine(f[1], f[2], f[3], f[4]);
    if (f[0] == 1) raster.DrawBox(f[1], f[2], f[1] + 5, f[2] + 5);
    if (f[0] == 2) raster.DrawCircle(f[1], f[2], f[5]);
    if (f[0] == 3) raster.DrawArc(f[1], f[2], f[5], f[3] / 1000, f[4] / 1000);
  };
  raster.SetPenColour(255, 255, 255);
  for (const auto& f : figures) draw(f);
  const Pixels lit = Lit(raster);
  EXPECT_GT(lit.size(), 10000U);
  for (const auto& [x, y] : lit) {
    bool covered = false;
    for (const PixelRect& r : raster.Dirty())
      covered |= x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
    ASSERT_TRUE(covered) << x << "," << y;
  }
  std::shuffle(figures.begin(), figures.end(), random);
  raster.SetPenColour(0, 0, 0);
  for (const auto& f : figures) draw(f);
  EXPECT_TRUE(Lit(raster).empty());
}

TEST(Raster, ResizeKeepsWhatStillFits) {
  Raster raster(300, 300);
  raster.DrawBox(15, 15, 20, 20);
  raster.DrawBox(270, 270, 275, 275);
  raster.SetWidth(150);
  raster.SetHeight(1e9F);
  EXPECT_EQ(raster.Width(), 150);
  EXPECT_EQ(raster.PixelWidth(), 10);
  EXPECT_EQ(raster.PixelHeight(), Raster::kMaxSide);
  EXPECT_EQ(Lit(raster), (Pixels{{1, 1}}));
}

}  // namespace
}  // namespace quillfane
