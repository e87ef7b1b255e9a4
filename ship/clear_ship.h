#pragma once

#include "game/game_state.h"
#include "platform/platform.h"

namespace quillfane {

// Erases the ship exactly as the last DrawShip left it, by drawing the same figures
// in black: flame and shield always, whether or not they were shown.
void ClearShip(const GameState& state, Platform& platform);

}  // namespace quillfane
