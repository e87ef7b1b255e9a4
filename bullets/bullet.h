#pragma once

namespace quillfane {

// One slot of the bullet pool. X and Y are the top-left corner of the bullet's box.
struct Bullet {
  bool Active = false;
  double X = 0;
  double Y = 0;
  double Angle = 0;
};

// Slots 1 to 100 hold bullets; slot 0 is never given out, so 0 can mean "pool full".
constexpr int kLastBulletSlot = 100;

}  // namespace quillfane
