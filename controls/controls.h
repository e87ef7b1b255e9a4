#pragma once

#include "game/game_state.h"
#include "platform/platform.h"

namespace quillfane {

// Virtual-key codes of the keys the game answers to.
constexpr Integer kKeyEscape = 27;
constexpr Integer kKeySpace = 32;
constexpr Integer kKeyLeft = 37;
constexpr Integer kKeyUp = 38;
constexpr Integer kKeyRight = 39;
constexpr Integer kKeyDown = 40;

// Key events only set and clear held-key flags and the fire latch, which the frame
// loop reads once a frame; Esc alone acts at once. The modifier state is ignored.
void Picture1_KeyDown(GameState& state, Platform& platform, Integer keyCode, Integer shift);
void Picture1_KeyUp(GameState& state, Integer keyCode, Integer shift);

}  // namespace quillfane
