// The exact numbers the game's feel and its wrap and range rules depend on, which its pictures
// can hide.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

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

TEST_F(Numbers, StartValuesAndHeadingCycle) {
  EXPECT_TRUE(state.FireReady && state.ThrustPower == 1 && state.ShipAngle == 3.14159265358979);
  EXPECT_EQ(Degrees(state, 5), 0.08726646259971639);
  state.KeyLeft = true;
  Frames(36);
  EXPECT_EQ(state.ShipAngle, 0);  // landed on Degrees(360) exactly
  state.KeyLeft = false, state.KeyRight = true;
  state.ShipAngle = Degrees(state, 180);
  Frames(36);
  EXPECT_EQ(state.ShipAngle, 4.163336342344337e-16);
  Frames(1);
  EXPECT_EQ(state.ShipAngle, Degrees(state, 355));
}

TEST_F(Numbers, WrapEdgesInSinglePrecision) {
  platform.SetPlayfieldWidth(7000), platform.SetPlayfieldHeight(7000);
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
  const float w = platform.PlayfieldWidth(), h = platform.PlayfieldHeight();
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
