#pragma once

#include "game/game_state.h"

namespace quillfane {

// The lowest free slot of 1 to 100, or 0 when all are live.
Integer FindFreeBullet(const GameState& state);

// Places a bullet at an outline point, flying along the ship's heading; does nothing
// when the pool is full. It draws nothing: the bullet pass erases, moves and draws it.
void SpawnBullet(GameState& state, Integer point);

}  // namespace quillfane
