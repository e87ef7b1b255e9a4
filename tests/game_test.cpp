// The exact numbers behind the game's rules where its pictures can hide them: the rear arc's
// full turns, bullets retired only strictly past an edge.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "bullets/bullets.h"
#include "ship/ship.h"
#include "tests/recording_platform.h"

namespace quillfane::testing {
namespace {

TEST(Numbers, RearArcTurnsAndRetiringEdges) {
  GameState state;
  RecordingPlatform platform;
  Form_Load(state);
  platform.SetPlayfieldWidth(7000), platform.SetPlayfieldHeight(7000);
  // Heading in degrees, and the full turns taken off each end of the arc.
  const int arcs[][3] = {{0, 0, 0}, {225, 0, 0}, {230, 0, 1}, {305, 0, 1}, {310, 1, 1}};
  for (const auto& [heading, startTurns, endTurns] : arcs) {
    state.ShipAngle = Degrees(state, heading);
    DrawShip(state, platform);
    const double turn = Degrees(state, 360);
    EXPECT_EQ(state.ArcStart, state.ShipAngle + Degrees(state, 50) - startTurns * turn);
    EXPECT_EQ(state.ArcEnd, state.ShipAngle + Degrees(state, 130) - endTurns * turn);
  }

  const Bullet edges[] = {{true, 7000, 0, 0},  {true, 0, 7000, 0},    {true, 7000.01, 0, 0},
                          {true, -1e-9, 0, 0}, {true, 0, 7000.01, 0}, {true, 0, -1e-9, 0}};
  std::copy(std::begin(edges), std::end(edges), state.Bullets.begin() + 1);
  state.BulletCount = 6;
  UpdateBullets(state, platform);
  EXPECT_EQ(state.BulletCount, 2);
  EXPECT_TRUE(state.Bullets[1].X == 7000 && state.Bullets[1].Y == 200);  // straight down
  EXPECT_EQ(state.Bullets[2].Y, 7200);
}

}  // namespace
}  // namespace quillfane::testing
