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
  Numbers() {
    Form_Load(state);
    FitPlayfieldToWindow(state, platform);
  }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) RunFrame(state, platform);
  }

  GameState state;
  RecordingPlatform platform;
};

TEST_F(Numbers, AnglesAndStartValues) {
  EXPECT_EQ(state.ShipAngle, 3.14159265358979);
  EXPECT_EQ(state.ThrustPower, 1);
  EXPECT_TRUE(state.FireReady);
  EXPECT_EQ(Degrees(state, 0), 0);
  EXPECT_EQ(Degrees(state, 5), 0.08726646259971639);
  EXPECT_EQ(Degrees(state, 355), 6.195918844579864);
  EXPECT_EQ(Degrees(state, 360), 6.28318530717958);
  EXPECT_EQ(UnDegrees(state, Degrees(state, 180)), 180);
}

TEST_F(Numbers, HeadingCycleAndThrust) {
  state.KeyLeft = true;
  Frames(35);
  EXPECT_GT(state.ShipAngle, Degrees(state, 354));
  Frames(1);
  EXPECT_EQ(state.ShipAngle, 0);  // landed on Degrees(360) exactly
  state.KeyLeft = false;
  state.ShipAngle = Degrees(state, 180);
  state.KeyRight = true;
  Frames(36);
  EXPECT_EQ(state.ShipAngle, 4.163336342344337e-16);
  Frames(1);
  EXPECT_EQ(state.ShipAngle, Degrees(state, 355));
  state.KeyRight = false;
  state.ShipAngle = Degrees(state, 180);
  state.KeyThrust = true;
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
  const struct {
    double at, wrapped;
  } cases[] = {{7000, 7000}, {0, 0}, {justOver, justOver}, {7000.001, 0}, {-1e-9, 7000}};
  for (const auto& edge : cases) {
    state.ShipX = state.ShipY = edge.at;
    CheckWrap(state, platform);
    EXPECT_EQ(state.ShipX, edge.wrapped) << edge.at;
    EXPECT_EQ(state.ShipY, edge.wrapped) << edge.at;
  }
}

TEST_F(Numbers, OutlineAndRearArc) {
  state.ShipX = 3000;
  state.ShipY = 2000;
  state.ShipAngle = 0;
  DrawShip(state, platform);
  const struct {
    int point;
    double x, y;
  } points[] = {{1, 3000, 2300},      {2, 3192.8, 1770.2},  {3, 2807.2, 1770.2},
                {13, 3147.8, 2176.2}, {16, 2852.2, 2176.2}, {14, 3138.6, 1920.0},
                {17, 2861.4, 1920.0}, {4, 2840, 1722.9},    {10, 3006.1, 1650.1}};
  for (const auto& p : points) {
    EXPECT_NEAR(state.ShipPtX[p.point], p.x, 0.05) << p.point;
    EXPECT_NEAR(state.ShipPtY[p.point], p.y, 0.05) << p.point;
  }
  EXPECT_EQ(state.ShipPtX[12], state.ShipPtX[2]);
  EXPECT_EQ(state.ShipPtY[15], state.ShipPtY[3]);
  EXPECT_EQ(state.ShipPtX[0] + state.ShipPtX[18] + state.ShipPtY[20], 0);
  // Heading in degrees, and how many full turns each arc end lost.
  const struct {
    int heading, startTurns, endTurns;
  } arcs[] = {{0, 0, 0}, {225, 0, 0}, {230, 0, 1}, {305, 0, 1}, {310, 1, 1}, {355, 1, 1}};
  for (const auto& arc : arcs) {
    state.ShipAngle = Degrees(state, arc.heading);
    DrawShip(state, platform);
    const double turn = Degrees(state, 360);
    EXPECT_EQ(state.ArcStart, state.ShipAngle + Degrees(state, 50) - arc.startTurns * turn);
    EXPECT_EQ(state.ArcEnd, state.ShipAngle + Degrees(state, 130) - arc.endTurns * turn);
  }
}

TEST_F(Numbers, PoolLimitsAndStrictRetiring) {
  for (int slot = 1; slot <= 99; ++slot) state.Bullets[slot] = {true, 100, 100, 0};
  state.BulletCount = 99;
  SpawnBullet(state, kFirstMuzzlePoint);
  SpawnBullet(state, kSecondMuzzlePoint);
  EXPECT_EQ(state.BulletCount, 100);
  EXPECT_TRUE(state.Bullets[100].Active);
  EXPECT_EQ(FindFreeBullet(state), 0);
  state.Bullets[7].Active = false;
  state.BulletCount = 99;
  EXPECT_EQ(FindFreeBullet(state), 7);

  state.Bullets.fill({});
  const float w = platform.playfieldWidth, h = platform.playfieldHeight;
  const Bullet edges[] = {{true, w, 0, 0},     {true, 0, h, 0},        {true, w + 0.01, 0, 0},
                          {true, -1e-9, 0, 0}, {true, 0, h + 0.01, 0}, {true, 0, -1e-9, 0}};
  for (int slot = 1; slot <= 6; ++slot) state.Bullets[slot] = edges[slot - 1];
  state.BulletCount = 6;
  UpdateBullets(state, platform);
  EXPECT_EQ(state.BulletCount, 2);
  EXPECT_EQ(state.Bullets[1].X, w);  // straight down: the x stays exact
  EXPECT_EQ(state.Bullets[1].Y, 200);
  EXPECT_EQ(state.Bullets[2].Y, h + 200);
}

}  // namespace
}  // namespace quillfane::testing
