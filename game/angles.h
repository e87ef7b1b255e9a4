#pragma once

#include "game/game_state.h"

namespace quillfane {

// Degrees to radians and back through the game's own DegToRad, never a library's pi:
// the heading's range checks depend on its exact value.
double Degrees(const GameState& state, double number);
double UnDegrees(const GameState& state, double number);

}  // namespace quillfane
