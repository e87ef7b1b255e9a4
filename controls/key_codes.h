#pragma once

#include "game/game_state.h"

namespace quillfane {

// Virtual-key codes of the keys the game answers to.
constexpr Integer kKeyEscape = 27;
constexpr Integer kKeySpace = 32;
constexpr Integer kKeyLeft = 37;
constexpr Integer kKeyUp = 38;
constexpr Integer kKeyRight = 39;
constexpr Integer kKeyDown = 40;

}  // namespace quillfane
