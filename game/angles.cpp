#include "game/angles.h"

namespace quillfane {

double Degrees(const GameState& state, double number) { return number * state.DegToRad; }

double UnDegrees(const GameState& state, double number) { return number / state.DegToRad; }

}  // namespace quillfane
