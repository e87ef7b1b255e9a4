#include <gtest/gtest.h>

#include <random>

#include "bullets/bullet_pool.h"
#include "bullets/update_bullets.h"
#include "game/angles.h"
#include "game/form_load.h"
#include "ship/clear_ship.h"
#include "ship/draw_ship.h"
#include "ship/ship_outline.h"
#include "tests/platform/canvas_platform.h"

namespace quillfane::testing {
namespace {

constexpr float kWidth = 6000;
constexpr float kHeight = 4500;

// Near an edge, just across it, or anywhere in between.
double RandomCoordinate(std::mt19937& random, double extent) {
  std::uniform_real_distribution<double> offset(-700, 700);
  switch (random() % 3) {
    case 0:
      return offset(random);
    case 1:
      return extent + offset(random);
    default:
      return std::uniform_real_distribution<double>(0, extent)(random);
  }
}

// The game erases by drawing again in black; on the real raster that must leave
// nothing of the ship, its flame and shield, or any bullet.
TEST(GameOnCanvas, ShipsAndBulletsErasedTheGamesWayLeaveEveryPixelBlack) {
  std::mt19937 random(1234);
  CanvasPlatform platform(kWidth, kHeight);
  GameState state;
  Form_Load(state);
  bool drewSomething = false;
  for (int frame = 0; frame < 400; ++frame) {
    state.ShipX = RandomCoordinate(random, kWidth);
    state.ShipY = RandomCoordinate(random, kHeight);
    state.ShipAngle = Degrees(state, 5.0 * (random() % 72));
    state.KeyShield = random() % 2 == 0;
    state.KeyThrust = random() % 2 == 0;
    ClearShip(state, platform);
    DrawShip(state, platform);
    if (random() % 3 == 0) {
      SpawnBullet(state, kFirstMuzzlePoint);
      SpawnBullet(state, kSecondMuzzlePoint);
    }
    if (state.BulletCount > 0) UpdateBullets(state, platform);
    if (frame % 20 == 0) drewSomething = drewSomething || CountLit(platform.canvas()) > 0;
  }
  ASSERT_TRUE(drewSomething);
  ClearShip(state, platform);
  for (int pass = 0; pass < 100 && state.BulletCount > 0; ++pass) UpdateBullets(state, platform);
  ASSERT_EQ(state.BulletCount, 0);
  EXPECT_EQ(CountLit(platform.canvas()), 0);
}

}  // namespace
}  // namespace quillfane::testing
