// The playfield's pixels, read back exactly.
#include "platform/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "tests/recording_platform.h"

namespace quillfane {
namespace {

using Pixels = std::set<std::pair<int, int>>;
constexpr double kPi = 3.14159265358979323846;

// Offsets from pixel (30, 30) of the pixels lit.
Pixels Lit(Raster& raster) {
  Pixels lit;
  for (int y = 0; y < raster.PixelHeight(); ++y)
    for (int x = 0; x < raster.PixelWidth(); ++x)
      if (raster.PixelAt(x, y) != 0) lit.insert({x - 30, y - 30});
  return lit;
}

// Twips in the middle of pixel (30, 30).
constexpr float kCentre = 15 * 30 + 7;

// Circles at the game's radii and smaller ones: closed, symmetric, every pixel within half a
// pixel of the radius. An arc from any octant to any other, through 0 when it starts past its
// end, lights exactly the circle's pixels whose angle lies between its ends. The golden frames
// catch a change in these pixels, but only this says that the pixels they keep are right.
TEST(Raster, CirclesAndArcs) {
  Raster raster(900, 900);
  for (const float radius : {300.0F, 400.0F, 44.0F}) {
    raster.Clear();
    raster.DrawCircle(kCentre, kCentre, radius);
    const Pixels ring = Lit(raster);
    const long r = std::lround(radius / 15);
    Pixels mirrored;
    int open = 0, offRadius = 0;
    for (const auto& [x, y] : ring) {
      mirrored.insert({{y, x}, {-x, y}, {x, -y}});
      int neighbours = 0;
      for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) neighbours += (dx || dy) && ring.count({x + dx, y + dy});
      open += neighbours < 2;
      offRadius += std::abs(std::hypot(x, y) - double(r)) > 0.5;
    }
    EXPECT_EQ(open, 0) << radius << ": pixels with fewer than two lit neighbours";
    EXPECT_EQ(offRadius, 0) << radius << ": pixels farther than half a pixel from the radius";
    EXPECT_EQ(mirrored, ring) << radius << ": the ring mirrored about both axes and the diagonal";
    for (int from = 0; from < 8; ++from)
      for (int to = 0; to < 8; ++to) {
        const float start = float(from * kPi / 4 + 0.3), end = float(to * kPi / 4 + 0.1);
        Pixels between;
        for (const auto& [x, y] : ring) {
          const double a = std::atan2(-y, x) + (y > 0 ? 2 * kPi : 0);  // y grows downward
          if (start <= end ? a >= start && a <= end : a >= start || a <= end)
            between.insert({x, y});
        }
        raster.Clear();
        raster.DrawArc(kCentre, kCentre, radius, start, end);
        EXPECT_EQ(Lit(raster), between) << radius << " from octant " << from << " to " << to;
      }
  }
}

void Draw(Raster& raster, const std::array<float, 5>& f) {
  if (f[0] == 0) raster.DrawLine(f[1], f[2], f[3], f[4]);
  if (f[0] == 1) raster.DrawBox(f[1], f[2], f[1] + 5, f[2] + 5);
  if (f[0] == 2) raster.DrawCircle(f[1], f[2], f[3] / 3);
  if (f[0] == 3) raster.DrawArc(f[1], f[2], f[3] / 3, f[4] / 1000, f[3] / 1000);
}

// Figures anywhere, at absurd and non-finite coordinates too (clamped, so each costs bounded
// work): a window fed only the changed areas, after a hundred boxes that change more areas than
// the raster keeps and then after each figure, shows what the raster holds. Narrowed and widened,
// the raster keeps what still fits; drawn again in black, in another order, the figures leave it
// black.
TEST(Raster, FiguresAnywhereShownResizedAndErased) {
  std::mt19937 random(7);
  const float odd[] = {-1e30F, 1e30F, NAN, INFINITY, -INFINITY, 4e4F, -4e4F};
  const auto at = [&] {
    return random() % 25 == 0 ? odd[random() % 7] : float(random() % 11000) - 2000;
  };
  std::vector<std::array<float, 5>> figures(400);
  for (std::size_t i = 0; i < figures.size(); ++i)
    figures[i] = {float(i < 100 ? 1 : random() % 4), at(), at(), at(), at()};
  Raster raster(7000, 6000);
  std::vector<std::uint32_t> window;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    Draw(raster, figures[i]);
    const bool changesPiledUp = i > 0 && i < 100;
    if (!changesPiledUp) {
      EXPECT_TRUE(testing::ShowChanges(raster, window)) << "after figure " << i;
    }
  }
  const Pixels all = Lit(raster);
  EXPECT_GT(all.size(), 10000U) << "pixels lit by the figures";
  const auto within = [&](int width, int height) {
    Pixels kept;
    for (const auto& [x, y] : all)
      if (x + 30 < width && y + 30 < height) kept.insert({x, y});
    return kept;
  };
  raster.SetWidth(3000);
  raster.SetHeight(1e9F);
  EXPECT_EQ(raster.Width(), 3000);
  EXPECT_EQ(raster.PixelHeight(), Raster::kMaxSide) << "a height past the bound";
  EXPECT_TRUE(Lit(raster) == within(200, 400)) << "narrowed: the pixels that still fit";
  raster.SetWidth(7000);
  raster.SetHeight(3000);
  EXPECT_TRUE(Lit(raster) == within(200, 200)) << "widened again: no pixel came back";
  EXPECT_TRUE(testing::ShowChanges(raster, window)) << "the window after the resizes";
  for (const auto& f : figures) Draw(raster, f);
  std::shuffle(figures.begin(), figures.end(), random);
  raster.SetPenColour(0, 0, 0);
  for (const auto& f : figures) Draw(raster, f);
  EXPECT_EQ(Lit(raster).size(), 0U) << "pixels left lit after drawing again in black";
  EXPECT_TRUE(testing::ShowChanges(raster, window)) << "the window after the erasing";
}

// A canvas shows a pixel only where its fourth byte is 255: every pixel of the web's layout
// is opaque, as started, drawn, erased, grown and cleared, and its bytes run red, green, blue.
TEST(Raster, OpaqueRgbaBytes) {
  Raster raster(150, 150, PixelLayout::kOpaqueRgbaBytes);
  const auto bytesAt = [&](int x, int y) {
    const std::uint32_t word = raster.PixelAt(x, y);
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &word, sizeof word);
    return bytes;
  };
  const auto allOpaque = [&] {
    for (int y = 0; y < raster.PixelHeight(); ++y)
      for (int x = 0; x < raster.PixelWidth(); ++x)
        if (bytesAt(x, y)[3] != 255) return false;
    return true;
  };
  using Bytes = std::array<std::uint8_t, 4>;
  EXPECT_TRUE(allOpaque()) << "as started";
  raster.SetPenColour(255, 128, 0);
  raster.DrawBox(0, 0, 1, 1);
  EXPECT_EQ(bytesAt(0, 0), (Bytes{255, 128, 0, 255}));
  raster.SetPenColour(0, 0, 0);
  raster.DrawBox(0, 0, 1, 1);
  EXPECT_EQ(bytesAt(0, 0), (Bytes{0, 0, 0, 255})) << "erased";
  raster.SetWidth(300);
  raster.SetHeight(300);
  EXPECT_EQ(raster.PixelWidth(), 20);
  EXPECT_TRUE(allOpaque()) << "grown";
  raster.SetPenColour(255, 255, 255);
  raster.DrawCircle(150, 150, 100);
  raster.Clear();
  EXPECT_TRUE(allOpaque()) << "cleared";
}

}  // namespace
}  // namespace quillfane
