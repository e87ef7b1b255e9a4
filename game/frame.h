#pragma once

#include "game/game_state.h"
#include "platform/platform.h"

namespace quillfane {

// Sizes the playfield to the window's outer size and centres the ship on it.
void FitPlayfieldToWindow(GameState& state, Platform& platform);

// One pass of the frame loop: focus recovery, motion, wrap, redraw, steering,
// thrust, firing, bullets, the event pump and the frame's sleep.
void RunFrame(GameState& state, Platform& platform);

}  // namespace quillfane
