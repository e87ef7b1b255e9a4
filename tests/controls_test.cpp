#include "bullets/bullet_pool.h"
#include "controls/key_handlers.h"
#include "game/frame.h"
#include "tests/game_fixture.h"

namespace quillfane::testing {
namespace {

constexpr Integer kEsc = 27, kSpace = 32, kLeft = 37, kUp = 38, kRight = 39, kDown = 40;

// Runs frames whose event pumps deliver the given key events, one list per frame.
class Controls : public GameTest {
 protected:
  struct Key {
    bool down;
    Integer code;
  };

  void Frame(std::vector<Key> events = {}) {
    platform.pumpScripts.push_back([this, events] {
      for (const Key& key : events) {
        if (key.down) {
          Picture1_KeyDown(state, platform, key.code, 0);
        } else {
          Picture1_KeyUp(state, key.code, 0);
        }
      }
    });
    RunFrame(state, platform);
  }

  static Key Down(Integer code) { return {true, code}; }
  static Key Up(Integer code) { return {false, code}; }
};

TEST_F(Controls, ArrowsFollowTheirKeysWhateverTheModifiersAndOtherKeysDoNothing) {
  const Integer shiftCtrlAlt = 7;
  for (Integer code : {kLeft, kRight, kUp, kDown})
    Picture1_KeyDown(state, platform, code, shiftCtrlAlt);
  EXPECT_TRUE(state.KeyLeft && state.KeyRight && state.KeyThrust && state.KeyShield);
  for (Integer code : {kLeft, kRight, kUp, kDown}) Picture1_KeyUp(state, code, shiftCtrlAlt);
  EXPECT_FALSE(state.KeyLeft || state.KeyRight || state.KeyThrust || state.KeyShield);

  state.FireReady = false;
  for (Integer code : {13, 48, 65, 90, 0, 36, 41, 222, -1}) {
    Picture1_KeyDown(state, platform, code, 0);
    EXPECT_FALSE(state.KeyLeft || state.KeyRight || state.KeyThrust || state.KeyShield ||
                 state.KeyFire)
        << code;
    Picture1_KeyUp(state, code, 0);
    EXPECT_FALSE(state.FireReady) << code;
  }
}

TEST_F(Controls, EscEndsTheProgramEvenWithShift) {
  EXPECT_THROW(Picture1_KeyDown(state, platform, kEsc, 1), ProgramEnded);
  Picture1_KeyUp(state, kEsc, 0);  // its key-up does nothing
}

TEST_F(Controls, HoldingSpaceFiresOneVolleyUntilReleased) {
  Frame({Down(kSpace)});
  Frame({Down(kSpace), Down(kSpace)});  // auto-repeat
  EXPECT_EQ(state.BulletCount, 2);
  Frame();
  EXPECT_EQ(state.BulletCount, 2);
  EXPECT_FALSE(state.FireReady);
  Frame({Up(kSpace), Down(kSpace)});
  Frame();
  EXPECT_EQ(state.BulletCount, 4);
}

TEST_F(Controls, TapWithinOnePumpFiresNothing) {
  Frame({Down(kSpace), Up(kSpace)});
  Frame();
  EXPECT_EQ(state.BulletCount, 0);
  EXPECT_TRUE(state.FireReady);
}

TEST_F(Controls, ShieldBlocksFiringUntilLowered) {
  Frame({Down(kDown), Down(kSpace)});
  Frame();
  EXPECT_EQ(state.BulletCount, 0);
  EXPECT_TRUE(state.FireReady);
  Frame({Up(kDown)});
  Frame();
  EXPECT_EQ(state.BulletCount, 2);
}

TEST_F(Controls, FullPoolStillSpendsTheLatch) {
  for (int slot = 1; slot <= kLastBulletSlot; ++slot) SpawnBullet(state, 1);
  state.KeyFire = true;
  RunFrame(state, platform);
  EXPECT_FALSE(state.FireReady);
  EXPECT_EQ(state.BulletCount, kLastBulletSlot);
}

}  // namespace
}  // namespace quillfane::testing
