#pragma once

#include "game/game_state.h"
#include "platform/platform.h"
#include "platform/virtual_keys.h"

namespace quillfane {

// Key events only set and clear held-key flags and the fire latch, which the frame
// loop reads once a frame; Esc alone acts at once. The modifier state is ignored.
void Picture1_KeyDown(GameState& state, Platform& platform, Integer keyCode, Integer shift);
void Picture1_KeyUp(GameState& state, Integer keyCode, Integer shift);

}  // namespace quillfane
