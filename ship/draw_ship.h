#pragma once

#include "game/game_state.h"
#include "platform/platform.h"

namespace quillfane {

// Draws the ship in white at its centre and heading, with the shield and the flame
// when their keys are held, and records what it drew for ClearShip.
void DrawShip(GameState& state, Platform& platform);

}  // namespace quillfane
