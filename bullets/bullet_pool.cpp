#include "bullets/bullet_pool.h"

namespace quillfane {

Integer FindFreeBullet(const GameState& state) {
  for (Integer slot = 1; slot <= kLastBulletSlot; ++slot) {
    if (!state.Bullets[slot].Active) return slot;
  }
  return 0;
}

void SpawnBullet(GameState& state, Integer point) {
  const Integer slot = FindFreeBullet(state);
  if (slot == 0) return;
  ++state.BulletCount;
  Bullet& bullet = state.Bullets[slot];
  bullet.X = state.ShipPtX[point];
  bullet.Y = state.ShipPtY[point];
  bullet.Active = true;
  bullet.Angle = state.ShipAngle;
}

}  // namespace quillfane
