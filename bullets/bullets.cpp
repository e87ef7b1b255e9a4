#include "bullets/bullets.h"

#include <cmath>

namespace quillfane {

namespace {

constexpr double kBulletSize = 5;
constexpr double kBulletSpeed = 200;

void DrawBulletBox(const Bullet& bullet, Platform& platform) {
  platform.DrawBox(static_cast<float>(bullet.X), static_cast<float>(bullet.Y),
                   static_cast<float>(bullet.X + kBulletSize),
                   static_cast<float>(bullet.Y + kBulletSize));
}

// The far edges are compared in single precision, like the playfield's size.
bool IsOutside(const Bullet& bullet, const Platform& platform) {
  const float width = platform.PlayfieldWidth();
  const float height = platform.PlayfieldHeight();
  return static_cast<float>(bullet.X) > width || bullet.X < 0 ||
         static_cast<float>(bullet.Y) > height || bullet.Y < 0;
}

void Retire(GameState& state, Bullet& bullet, Platform& platform) {
  platform.SetPenColour(0, 0, 0);
  DrawBulletBox(bullet, platform);
  bullet.Active = false;
  --state.BulletCount;
}

void Advance(Bullet& bullet, Platform& platform) {
  platform.SetPenColour(0, 0, 0);
  DrawBulletBox(bullet, platform);
  bullet.X = bullet.X + std::sin(bullet.Angle) * kBulletSpeed;
  bullet.Y = bullet.Y + std::cos(bullet.Angle) * kBulletSpeed;
  platform.SetPenColour(255, 255, 255);
  DrawBulletBox(bullet, platform);
}

}  // namespace

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

void UpdateBullets(GameState& state, Platform& platform) {
  for (int slot = 1; slot <= kLastBulletSlot; ++slot) {
    Bullet& bullet = state.Bullets[slot];
    if (!bullet.Active) continue;
    if (IsOutside(bullet, platform)) {
      Retire(state, bullet, platform);
    } else {
      Advance(bullet, platform);
    }
  }
}

}  // namespace quillfane
