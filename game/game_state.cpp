#include "game/game_state.h"

namespace quillfane {

void Form_Load(GameState& state) {
  state.DegToRad = 6.28318530717958 / 360;
  state.ShipAngle = Degrees(state, 180);
  state.ThrustPower = 1;
  state.ShipPtX.fill(0);
  state.ShipPtY.fill(0);
  state.FireReady = true;
}

double Degrees(const GameState& state, double number) { return number * state.DegToRad; }

double UnDegrees(const GameState& state, double number) { return number / state.DegToRad; }

}  // namespace quillfane
