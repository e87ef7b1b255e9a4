#pragma once

#include "game/game_state.h"
#include "platform/platform.h"

namespace quillfane {

// Wraps the ship's centre at the playfield's edges, without carrying the overshoot over.
void CheckWrap(GameState& state, const Platform& platform);

}  // namespace quillfane
