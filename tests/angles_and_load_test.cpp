#include <gtest/gtest.h>

#include "game/angles.h"
#include "game/form_load.h"

namespace quillfane {
namespace {

TEST(FormLoad, GivesTheStartValues) {
  GameState state;
  state.ShipPtX[7] = 9;  // load must leave the outline all zeros whatever was there
  Form_Load(state);
  EXPECT_EQ(state.DegToRad, 0.017453292519943278);
  EXPECT_EQ(state.ShipAngle, 3.14159265358979);
  EXPECT_EQ(state.ThrustPower, 1);
  EXPECT_TRUE(state.FireReady);
  for (int i = 0; i < kOutlinePoints; ++i) {
    EXPECT_EQ(state.ShipPtX[i], 0);
    EXPECT_EQ(state.ShipPtY[i], 0);
  }
  EXPECT_FALSE(state.KeyFire || state.KeyLeft || state.KeyRight || state.KeyThrust ||
               state.KeyShield || state.FocusLost);
  EXPECT_EQ(state.BulletCount, 0);
}

TEST(Angles, UseTheGamesOwnFactorRatherThanPi) {
  GameState state;
  Form_Load(state);
  EXPECT_EQ(Degrees(state, 0), 0);
  EXPECT_EQ(Degrees(state, 5), 0.08726646259971639);
  EXPECT_EQ(Degrees(state, 355), 6.195918844579864);
  EXPECT_EQ(Degrees(state, 360), 6.28318530717958);
  EXPECT_EQ(UnDegrees(state, Degrees(state, 180)), 180);
}

}  // namespace
}  // namespace quillfane
