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
  const std::vector<Figure> expected = {
      {FigureKind::Box, {1000, 1000, 1005, 1000 + 5, 0}, kBlack},
      {FigureKind::Box, {1200, 1000, 1205, 1005, 0}, kWhite},
      {FigureKind::Box, {1000, 1000, 1005, 1005, 0}, kBlack},
      {FigureKind::Box, {1000, 1200, 1005, 1205, 0}, kWhite},
  };
  ASSERT_EQ(platform.figures.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(platform.figures[i].pen, expected[i].pen) << i;
    for (int a = 0; a < 4; ++a) EXPECT_NEAR(platform.figures[i].args[a], expected[i].args[a], 1e-3);
  }
}

TEST_F(Bullets, RetireOnlyWhenStrictlyBeyondAnEdge) {
  const float width = platform.playfieldWidth, height = platform.playfieldHeight;
  struct Case {
    double x, y;
    bool retired;
  } const cases[] = {
      {width, 100, false},    {0, 100, false},    {100, height, false},    {100, 0, false},
      {width + 1, 100, true}, {-1e-9, 100, true}, {100, height + 1, true}, {100, -0.5, true},
  };
  for (const Case& c : cases) {
    platform.figures.clear();
    state.Bullets[7] = {true, c.x, c.y, Degrees(state, 45)};
    state.BulletCount = 1;
    UpdateBullets(state, platform);
    EXPECT_EQ(!state.Bullets[7].Active, c.retired) << c.x << ", " << c.y;
    EXPECT_EQ(state.BulletCount, c.retired ? 0 : 1);
    EXPECT_EQ(platform.FiguresIn(kWhite).empty(), c.retired) << "a retired bullet is not drawn";
  }
}

TEST_F(Bullets, ShrinkingPlayfieldRetiresBulletsBeyondIt) {
  state.Bullets[1] = {true, 5000, 100, 0};
  state.BulletCount = 1;
  platform.playfieldWidth = 4000;
  UpdateBullets(state, platform);
  EXPECT_EQ(state.BulletCount, 0);
}

}  // namespace
}  // namespace quillfane::testing
