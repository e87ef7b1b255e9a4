#pragma once

#include "game/game_state.h"
#include "platform/platform.h"

namespace quillfane {

// One pass over the pool: a bullet found beyond an edge is erased and retired,
// every other live bullet is erased, moved 200 twips along its heading and drawn.
void UpdateBullets(GameState& state, Platform& platform);

}  // namespace quillfane
