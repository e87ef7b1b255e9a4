#pragma once

#include "game/game_state.h"
#include "platform/platform.h"

namespace quillfane {

// The lowest free slot of 1 to 100, or 0 when all are live.
Integer FindFreeBullet(const GameState& state);

// Places a bullet at an outline point, flying along the ship's heading; does nothing
// when the pool is full. It draws nothing: the bullet pass erases, moves and draws it.
void SpawnBullet(GameState& state, Integer point);

// One pass over the pool: a bullet found beyond an edge is erased and retired,
// every other live bullet is erased, moved 200 twips along its heading and drawn.
void UpdateBullets(GameState& state, Platform& platform);

}  // namespace quillfane
