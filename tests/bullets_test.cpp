#include "bullets/bullet_pool.h"
#include "bullets/update_bullets.h"
#include "game/angles.h"
#include "ship/draw_ship.h"
#include "ship/ship_outline.h"
#include "tests/game_fixture.h"

namespace quillfane::testing {
namespace {

using Bullets = GameTest;

void FireVolley(GameState& state) {
  SpawnBullet(state, kFirstMuzzlePoint);
  SpawnBullet(state, kSecondMuzzlePoint);
}

TEST_F(Bullets, PoolGivesTheLowestFreeSlotsUpToAHundred) {
  DrawShip(state, platform);
  FireVolley(state);
  EXPECT_TRUE(state.Bullets[1].Active && state.Bullets[2].Active);
  EXPECT_EQ(state.Bullets[1].X, state.ShipPtX[13]);
  EXPECT_EQ(state.Bullets[2].Y, state.ShipPtY[16]);
  EXPECT_EQ(state.Bullets[2].Angle, state.ShipAngle);

  state.Bullets[1].Active = false;
  --state.BulletCount;
  FireVolley(state);
  EXPECT_TRUE(state.Bullets[1].Active && state.Bullets[3].Active);
  EXPECT_FALSE(state.Bullets[0].Active);

  while (state.BulletCount < 99) SpawnBullet(state, 1);
  EXPECT_EQ(FindFreeBullet(state), 100);
  FireVolley(state);
  EXPECT_EQ(state.BulletCount, 100);
  EXPECT_EQ(state.Bullets[100].X, state.ShipPtX[13]);
  EXPECT_EQ(FindFreeBullet(state), 0);
  FireVolley(state);
  EXPECT_EQ(state.BulletCount, 100);
  EXPECT_FALSE(state.Bullets[0].Active);
}

TEST_F(Bullets, FlyStraightAndAreErasedBeforeEachMove) {
  state.Bullets[4] = {true, 1000, 1000, Degrees(state, 90)};
  state.Bullets[5] = {true, 1000, 1000, 0};
  state.BulletCount = 2;
  UpdateBullets(state, platform);
  EXPECT_EQ(state.Bullets[4].X, 1200);
  EXPECT_NEAR(state.Bullets[4].Y, 1000, 1e-9);
  EXPECT_EQ(state.Bullets[5].X, 1000);
  EXPECT_EQ(state.Bullets[5].Y, 1200);
  // Each bullet is erased where it stood, then drawn where it went.
  const std::vector<std::array<float, 2>> corners = {
      {1000, 1000}, {1200, 1000}, {1000, 1000}, {1000, 1200}};
  ASSERT_EQ(platform.figures.size(), corners.size());
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const Figure& box = platform.figures[i];
    EXPECT_EQ(box.pen, i % 2 == 0 ? kBlack : kWhite) << i;
    EXPECT_NEAR(box.args[0], corners[i][0], 1e-3) << i;
    EXPECT_NEAR(box.args[1], corners[i][1], 1e-3) << i;
    EXPECT_NEAR(box.args[3] - box.args[1], 5, 1e-3) << i;
  }
}

TEST_F(Bullets, RetireOnlyWhenStrictlyBeyondAnEdge) {
  const float w = platform.playfieldWidth, h = platform.playfieldHeight;
  struct Case {
    double x, y;
    float width;  // the playfield may have shrunk under the bullet
    bool retired;
  } const cases[] = {
      {w, 100, w, false},    {0, 100, w, false},    {100, h, w, false},
      {100, 0, w, false},    {w + 1, 100, w, true}, {-1e-9, 100, w, true},
      {100, h + 1, w, true}, {100, -0.5, w, true},  {w - 10, 100, w - 20, true},
  };
  for (const Case& c : cases) {
    platform.figures.clear();
    platform.playfieldWidth = c.width;
    state.Bullets[7] = {true, c.x, c.y, Degrees(state, 45)};
    state.BulletCount = 1;
    UpdateBullets(state, platform);
    EXPECT_EQ(!state.Bullets[7].Active, c.retired) << c.x << ", " << c.y;
    EXPECT_EQ(state.BulletCount, c.retired ? 0 : 1);
    EXPECT_EQ(platform.FiguresIn(kWhite).empty(), c.retired) << "a retired bullet is not drawn";
  }
}

}  // namespace
}  // namespace quillfane::testing
