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

// Offsets from pixel (10, 10) of the pixels lit.
Pixels Lit(Raster& raster) {
  Pixels lit;
  for (int y = 0; y < raster.PixelHeight(); ++y)
    for (int x = 0; x < raster.PixelWidth(); ++x)
      if (raster.PixelAt(x, y) != 0) lit.insert({x - 10, y - 10});
  return lit;
}

// Twips in the middle of the pixel at this offset from pixel (10, 10).
float At(int offset) { return 15.0F * float(10 + offset) + 7; }

template <typename Draw>
Pixels Drawn(Draw draw) {
  Raster raster(300, 300);
  draw(raster);
  return Lit(raster);
}

TEST(Raster, LinesInEveryOctantAndFlooredEnds) {
  // These slopes never fall half-way between two pixels.
  for (const auto& d : {std::pair{5, 2}, {2, 5}, {-2, 5}, {-5, 2}, {-5, -2}, {2, -5}}) {
    const int dx = d.first, dy = d.second;  // not bound: clang 14 cannot capture bindings
    Pixels expected;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    for (int i = 0; i <= steps; ++i)
      expected.insert(
          {int(std::lround(dx * i / double(steps))), int(std::lround(dy * i / double(steps)))});
    EXPECT_EQ(Drawn([&](Raster& r) { r.DrawLine(At(0), At(0), At(dx), At(dy)); }), expected);
  }
  // Half-way cases are settled by the walk from the first end: why erasing keeps directions.
  EXPECT_EQ(Drawn([](Raster& r) { r.DrawLine(At(0), At(0), At(2), At(4)); }),
            (Pixels{{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}));
  EXPECT_EQ(Drawn([](Raster& r) { r.DrawLine(At(2), At(4), At(0), At(0)); }),
            (Pixels{{2, 4}, {1, 3}, {1, 2}, {0, 1}, {0, 0}}));
  EXPECT_EQ(Drawn([](Raster& r) {
              r.DrawLine(164.9F, 165, 179.9F, 165);  // one cell, then the next
              r.DrawLine(-0.1F, 0, -0.1F, 44.9F);    // just left of the raster
              r.DrawBox(134, 134, 139, 139);         // 5 twips across a corner: four cells
            }),
            (Pixels{{0, 1}, {1, 1}, {-2, -2}, {-1, -2}, {-2, -1}, {-1, -1}}));
}

TEST(Raster, CirclesAndArcs) {
  const Pixels ring = {{3, 0}, {-3, 0}, {0, 3},  {0, -3},  {3, 1}, {3, -1}, {-3, 1}, {-3, -1},
                       {1, 3}, {-1, 3}, {1, -3}, {-1, -3}, {2, 2}, {2, -2}, {-2, 2}, {-2, -2}};
  Pixels past90 = ring;  // counter-clockwise from a float a hair past 90 degrees round to 0
  for (const auto& p : Pixels{{0, -3}, {1, -3}, {2, -2}, {3, -1}}) past90.erase(p);
  const float pi = 3.14159265F;
  const struct {
    float start, end;
    Pixels lit;
  } arcs[] = {{0, 2 * pi + 0.1F, ring},
              {0, pi / 2, {{3, 0}, {3, -1}, {2, -2}, {1, -3}, {0, -3}}},  // up: y grows down
              {5.2F, 0.5F, {{3, 0}, {3, -1}, {3, 1}, {2, 2}}},            // through angle 0
              {pi / 2, 0, past90}};
  for (const auto& arc : arcs)
    EXPECT_EQ(Drawn([&](Raster& r) { r.DrawArc(At(0), At(0), 45, arc.start, arc.end); }), arc.lit);
  EXPECT_EQ(Drawn([](Raster& r) { r.DrawCircle(At(0), At(0), 44); }), ring);  // 44/15 rounds to 3
}

// What the game relies on to erase: every figure, wherever it lies, lights only pixels inside
// the area it marks changed, and drawn again in black takes back exactly its own pixels.
TEST(Raster, RandomFiguresMarkTheirPixelsAndErasedLeaveEveryPixelBlack) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> at(-2000, 9000);
  std::vector<std::array<float, 5>> figures(400);
  for (auto& f : figures) f = {float(random() % 4), at(random), at(random), at(random), at(random)};
  const auto draw = [](Raster& raster, const std::array<float, 5>& f) {
    if (f[0] == 0) raster.DrawLine(f[1], f[2], f[3], f[4]);
    if (f[0] == 1) raster.DrawBox(f[1], f[2], f[1] + 5, f[2] + 5);
    if (f[0] == 2) raster.DrawCircle(f[1], f[2], f[3] / 3);
    if (f[0] == 3) raster.DrawArc(f[1], f[2], f[3] / 3, f[4] / 1000, f[3] / 1000);
  };
  Raster all(7000, 6000), one(7000, 6000);
  for (const auto& f : figures) {
    draw(all, f);
    one.Clear(), one.ClearDirty();
    draw(one, f);
    const auto dirty = one.Dirty();
    for (const auto& [x, y] : Lit(one))
      ASSERT_TRUE(std::any_of(dirty.begin(), dirty.end(),
                              [x = x + 10, y = y + 10](auto r) {
                                return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
                              }))
          << x << "," << y;
  }
  EXPECT_GT(Lit(all).size(), 10000U);
  std::shuffle(figures.begin(), figures.end(), random);
  all.SetPenColour(0, 0, 0);
  for (const auto& f : figures) draw(all, f);
  EXPECT_TRUE(Lit(all).empty());
}

TEST(Raster, ResizeKeepsWhatStillFits) {
  Raster raster(300, 300);
  raster.DrawBox(15, 15, 20, 20);
  raster.DrawBox(270, 270, 275, 275);
  raster.SetWidth(150);
  raster.SetHeight(1e9F);
  EXPECT_EQ(raster.Width(), 150);
  EXPECT_TRUE(raster.PixelWidth() == 10 && raster.PixelHeight() == Raster::kMaxSide);
  EXPECT_EQ(Lit(raster), (Pixels{{-9, -9}}));
}

}  // namespace
}  // namespace quillfane
