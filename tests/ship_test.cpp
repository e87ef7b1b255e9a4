#include <algorithm>
#include <cmath>

#include "game/angles.h"
#include "game/frame.h"
#include "ship/clear_ship.h"
#include "ship/draw_ship.h"
#include "tests/game_fixture.h"

namespace quillfane::testing {
namespace {

using Ship = GameTest;

TEST_F(Ship, OutlineAtHeadingZero) {
  state.ShipX = 3000;
  state.ShipY = 2000;
  state.ShipAngle = 0;
  DrawShip(state, platform);
  struct Expected {
    int point;
    double x, y;
  };
  const Expected points[] = {{1, 3000, 2300},       {2, 3192.84, 1770.19}, {3, 2807.16, 1770.19},
                             {13, 3147.84, 2176.2}, {16, 2852.16, 2176.2}, {14, 3138.56, 1920},
                             {17, 2861.44, 1920},   {4, 2840, 1722.87},    {10, 3006.11, 1650.05}};
  for (const Expected& p : points) {
    EXPECT_NEAR(state.ShipPtX[p.point], p.x, 0.01) << "point " << p.point;
    EXPECT_NEAR(state.ShipPtY[p.point], p.y, 0.01) << "point " << p.point;
  }
  EXPECT_EQ(state.ShipPtX[12], state.ShipPtX[2]);
  EXPECT_EQ(state.ShipPtY[15], state.ShipPtY[3]);
  for (int unused : {0, 18, 19, 20}) EXPECT_EQ(state.ShipPtX[unused] + state.ShipPtY[unused], 0);
  EXPECT_EQ(state.ArcStart, Degrees(state, 50));
  EXPECT_EQ(state.ArcEnd, Degrees(state, 130));
  EXPECT_EQ(state.LastShipX, 3000);
  EXPECT_EQ(state.LastShipY, 2000);
}

// On screen an arc point at angle t is (cx + r cos t, cy - r sin t): the rear arc must
// start at rear corner 2 and end at rear corner 3 whatever the heading.
TEST_F(Ship, RearArcJoinsTheRearCornersInAllThreeRanges) {
  state.KeyLeft = true;  // visit every heading the game can reach, with its own rounding
  for (int frame = 0; frame < 72; ++frame) {
    const int degrees = static_cast<int>(std::lround(UnDegrees(state, state.ShipAngle)));
    RunFrame(state, platform);
    ASSERT_GT(state.ArcStart, -1e-12) << degrees;
    ASSERT_LT(state.ArcStart, Degrees(state, 360)) << degrees;
    ASSERT_GE(state.ArcEnd, 0) << degrees;
    ASSERT_LT(state.ArcEnd, Degrees(state, 360)) << degrees;
    EXPECT_EQ(state.ArcStart > state.ArcEnd, degrees >= 230 && degrees < 310) << degrees;
    EXPECT_NEAR(state.ShipX + 300 * std::cos(state.ArcStart), state.ShipPtX[2], 1e-6);
    EXPECT_NEAR(state.ShipY - 300 * std::sin(state.ArcStart), state.ShipPtY[2], 1e-6);
    EXPECT_NEAR(state.ShipX + 300 * std::cos(state.ArcEnd), state.ShipPtX[3], 1e-6);
    EXPECT_NEAR(state.ShipY - 300 * std::sin(state.ArcEnd), state.ShipPtY[3], 1e-6);
  }
}

TEST_F(Ship, ShieldFirstFlameLastAllInWhite) {
  state.KeyShield = state.KeyThrust = true;
  DrawShip(state, platform);
  ASSERT_EQ(platform.figures.size(), 12u);
  EXPECT_EQ(platform.FiguresIn(kWhite).size(), 12u);
  EXPECT_EQ(platform.figures.front().kind, FigureKind::Circle);
  EXPECT_EQ(platform.figures.front().args[2], 400);
  EXPECT_EQ(platform.figures[3].kind, FigureKind::Arc);
  const Figure& lastFlame = platform.figures.back();
  EXPECT_EQ(lastFlame.args[0], static_cast<float>(state.ShipPtX[10]));
  EXPECT_EQ(lastFlame.args[2], static_cast<float>(state.ShipPtX[11]));

  platform.figures.clear();
  state.KeyShield = state.KeyThrust = false;
  DrawShip(state, platform);
  EXPECT_EQ(platform.figures.size(), 7u);
}

// Erasing must repeat every white figure of the last drawing with the same arguments
// and line directions, after the ship has moved and turned.
TEST_F(Ship, ClearShipRepeatsTheLastDrawingInBlack) {
  for (bool shieldAndFlame : {false, true}) {
    state.KeyShield = state.KeyThrust = shieldAndFlame;
    state.ShipAngle = Degrees(state, 275);
    DrawShip(state, platform);
    const std::vector<Figure> drawn = platform.FiguresIn(kWhite);
    state.ShipX += 123;
    state.ShipAngle = Degrees(state, 280);
    state.KeyShield = state.KeyThrust = false;
    platform.figures.clear();
    ClearShip(state, platform);
    const std::vector<Figure> erased = platform.FiguresIn(kBlack);
    EXPECT_EQ(erased.size(), platform.figures.size());
    EXPECT_EQ(erased.size(), 12u) << "flame and shield are erased every time";
    for (Figure figure : drawn) {
      figure.pen = kBlack;
      EXPECT_NE(std::find(erased.begin(), erased.end(), figure), erased.end())
          << "figure " << static_cast<int>(figure.kind) << " at " << figure.args[0] << ", "
          << figure.args[1] << " not erased";
    }
    platform.figures.clear();
  }
}

}  // namespace
}  // namespace quillfane::testing
