#pragma once

#include "game/game_state.h"

namespace quillfane {

// Start values, set once before the window is first shown.
void Form_Load(GameState& state);

}  // namespace quillfane
