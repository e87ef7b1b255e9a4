#pragma once

#include "game/game_state.h"
#include "platform/platform.h"

namespace quillfane {

// Wraps the ship's centre at the playfield's edges, without carrying the overshoot over.
void CheckWrap(GameState& state, const Platform& platform);

// Sizes the playfield to the window's outer size and centres the ship on it.
void FitPlayfieldToWindow(GameState& state, Platform& platform);

// One pass of the frame loop: focus recovery, motion, wrap, redraw, steering,
// thrust, firing, bullets, the event pump and the frame's sleep.
void RunFrame(GameState& state, Platform& platform);

}  // namespace quillfane
