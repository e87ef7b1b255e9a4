// The game's exact numbers, which its feel and its wrap and range rules depend on.
#include <gtest/gtest.h>

#include "bullets/bullets.h"
#include "game/frame.h"
#include "ship/ship.h"
#include "tests/recording_platform.h"

namespace quillfane::testing {
namespace {

class Numbers : public ::testing::Test {
 protected:
  Numbers() { Form_Load(state), FitPlayfieldToWindow(state, platform); }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) RunFrame(state, platform);
  }
  GameState state;
  RecordingPlatform platform;
};

TEST_F(Numbers, StartValuesHeadingCycleAndThrust) {
  EXPECT_TRUE(state.FireReady && state.ThrustPower == 1);
  EXPECT_EQ(state.ShipAngle, 3.14159265358979);
  EXPECT_EQ(Degrees(state, 5), 0.08726646259971639);
  EXPECT_EQ(UnDegrees(state, Degrees(state, 180)), 180);
  state.KeyLeft = true;
  Frames(36);
  EXPECT_EQ(state.ShipAngle, 0);  // landed on Degrees(360) exactly
  state.KeyLeft = false, state.KeyRight = true;
  state.ShipAngle = Degrees(state, 180);
  Frames(36);
  EXPECT_EQ(state.ShipAngle, 4.163336342344337e-16);
  Frames(1);
  EXPECT_EQ(state.ShipAngle, Degrees(state, 355));
  state.KeyRight = false, state.KeyThrust = true;
  state.ShipAngle = Degrees(state, 180);
  Frames(2);
  EXPECT_EQ(state.VelY, -2);
  // The sine of a heading a hair short of pi, exactly: glibc's, or MinGW's x87 sine, which
  // keeps only 17 bits of it there (4e-21 off, which no pixel can show).
  EXPECT_TRUE(state.VelX == 2 * 3.2310891488651735e-15 || state.VelX == 2 * 0x1.d1a6p-49)
      << state.VelX;
}

TEST_F(Numbers, WrapEdgesInSinglePrecision) {
  platform.playfieldWidth = platform.playfieldHeight = 7000;
  const double justOver = 7000 + 7000 * 0x1p-25;  // less than half a float step past
  const double cases[][2] = {{7000, 7000}, {justOver, justOver}, {7000.001, 0}, {-1e-9, 7000}};
  for (const auto& [at, wrapped] : cases) {
    state.ShipX = state.ShipY = at;
    CheckWrap(state, platform);
    EXPECT_TRUE(state.ShipX == wrapped && state.ShipY == wrapped) << at;
  }
}

TEST_F(Numbers, OutlineAndRearArc) {
  state.ShipX = 3000, state.ShipY = 2000, state.ShipAngle = 0;
  DrawShip(state, platform);
  const double points[][3] = {{1, 3000, 2300},      {2, 3192.8, 1770.2}, {13, 3147.8, 2176.2},
                              {16, 2852.2, 2176.2}, {17, 2861.4, 1920},  {4, 2840, 1722.9}};
  for (const auto& [point, x, y] : points) {
    EXPECT_NEAR(state.ShipPtX[int(point)], x, 0.05) << point;
    EXPECT_NEAR(state.ShipPtY[int(point)], y, 0.05) << point;
  }
  EXPECT_TRUE(state.ShipPtX[12] == state.ShipPtX[2] && state.ShipPtY[15] == state.ShipPtY[3]);
  // Heading in degrees, and the full turns taken off each end of the arc.
  const int arcs[][3] = {{0, 0, 0}, {225, 0, 0}, {230, 0, 1}, {305, 0, 1}, {310, 1, 1}};
  for (const auto& [heading, startTurns, endTurns] : arcs) {
    state.ShipAngle = Degrees(state, heading);
    DrawShip(state, platform);
    const double turn = Degrees(state, 360);
    EXPECT_EQ(state.ArcStart, state.ShipAngle + Degrees(state, 50) - startTurns * turn);
    EXPECT_EQ(state.ArcEnd, state.ShipAngle + Degrees(state, 130) - endTurns * turn);
  }
}

TEST_F(Numbers, PoolLimitsAndStrictRetiring) {
  for (int slot = 1; slot <= 99; ++slot) state.Bullets[slot] = {true, 100, 100, 0};
  state.BulletCount = 99;
  SpawnBullet(state, kFirstMuzzlePoint);
  SpawnBullet(state, kSecondMuzzlePoint);
  EXPECT_TRUE(state.BulletCount == 100 && state.Bullets[100].Active);
  EXPECT_EQ(FindFreeBullet(state), 0);

  state.Bullets.fill({});
  const float w = platform.playfieldWidth, h = platform.playfieldHeight;
  const Bullet edges[] = {{true, w, 0, 0},     {true, 0, h, 0},        {true, w + 0.01, 0, 0},
                          {true, -1e-9, 0, 0}, {true, 0, h + 0.01, 0}, {true, 0, -1e-9, 0}};
  std::copy(std::begin(edges), std::end(edges), state.Bullets.begin() + 1);
  state.BulletCount = 6;
  UpdateBullets(state, platform);
  EXPECT_EQ(state.BulletCount, 2);
  EXPECT_TRUE(state.Bullets[1].X == w && state.Bullets[1].Y == 200);  // straight down
  EXPECT_EQ(state.Bullets[2].Y, h + 200);
}

}  // namespace
}  // namespace quillfane::testing
