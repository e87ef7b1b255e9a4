// The game's rules: random play through the window's handlers, checked after every frame,
// and the exact numbers its feel and its wrap and range rules depend on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "bullets/bullets.h"
#include "game/form1.h"
#include "game/frame.h"
#include "ship/ship.h"
#include "tests/recording_platform.h"

namespace quillfane::testing {
namespace {

// The game's five keys first, each with the flag it holds, then others it ignores.
constexpr Integer kKeys[] = {32, 37, 38, 39, 40, 65, 13, 100, 222};
constexpr bool GameState::*kFlags[] = {&GameState::KeyFire, &GameState::KeyLeft,
                                       &GameState::KeyThrust, &GameState::KeyRight,
                                       &GameState::KeyShield};

class RandomPlay {
 public:
  RandomPlay(unsigned seed, int frames) : random_(seed), frames_(frames) {
    platform_.onPump = [this] { Pump(); };
    platform_.onSleep = [this] { EndFrame(); };
    form_.Form_Load();
    start_ = form_.State();
    start_.ShipX = platform_.windowWidth / 2;  // where the first resize puts it
    start_.ShipY = platform_.windowHeight / 2;
    EXPECT_THROW(form_.Form_Resize(), ProgramEnded);
    EXPECT_EQ(frame_, frames_);
  }

 private:
  bool Chance(int percent) { return int(random_() % 100) < percent; }

  // The window's events: keys held, released, repeated or tapped, resizes, focus changes.
  void Pump() {
    const bool drawn = std::any_of(platform_.log.begin(), platform_.log.end(),
                                   [](const Record& r) { return r.IsFigure(); });
    if (drawn) end_ = form_.State(), size_ = {platform_.playfieldWidth, platform_.playfieldHeight};
    if (drawn && ++frame_ >= frames_) form_.Picture1_KeyDown(27, 1);
    if (frame_ > frames_) throw ProgramEnded{};  // Esc did not end it
    for (int i = 0; Chance(40) && i < 3; ++i) {
      const unsigned index = random_() % (Chance(97) ? 5 : 9);
      const Integer key = kKeys[index];
      for (const bool down : {true, false}) {
        if (!Chance(down ? 60 : 50)) continue;
        down ? form_.Picture1_KeyDown(key, 0) : form_.Picture1_KeyUp(key, 0);
        EXPECT_TRUE(index >= 5 || form_.State().*kFlags[index] == down) << key;
        EXPECT_TRUE(key != 32 || down || form_.State().FireReady);
      }
    }
    if (Chance(3)) {
      std::uniform_real_distribution<float> size(15, Chance(10) ? 2e6F : 2e4F);
      platform_.windowWidth = size(random_), platform_.windowHeight = size(random_);
      form_.Form_Resize();
      EXPECT_TRUE(form_.State().ShipX == platform_.windowWidth / 2 &&
                  form_.State().ShipY == platform_.windowHeight / 2);  // the outer size's centre
    }
    if (Chance(3)) platform_.activeWindow = Chance(50) ? 0 : platform_.handle;
    (drawn ? next_ : start_) = form_.State();
  }

  void EndFrame() {
    SCOPED_TRACE(::testing::Message() << "frame " << frame_);
    const GameState &start = start_, &end = end_;
    EXPECT_EQ(end.BulletCount, std::count_if(end.Bullets.begin() + 1, end.Bullets.end(),
                                             [](const Bullet& b) { return b.Active; }));
    EXPECT_TRUE(end.ShipAngle >= 0 && end.ShipAngle <= Degrees(end, 355)) << end.ShipAngle;
    EXPECT_TRUE(end.ShipX >= 0 && float(end.ShipX) <= size_.first) << end.ShipX;
    EXPECT_TRUE(end.ShipY >= 0 && float(end.ShipY) <= size_.second) << end.ShipY;
    // Drawn before steering, at the moved centre; thrust along the steered heading.
    EXPECT_NEAR(
        std::remainder(end.ArcStart - start.ShipAngle - Degrees(end, 50), Degrees(end, 360)), 0,
        1e-9);
    const double movedX = start.ShipX + start.VelX;
    EXPECT_TRUE(movedX < 0 || movedX >= size_.first || end.LastShipX == movedX);
    EXPECT_TRUE(!start.KeyThrust || (end.VelX == std::sin(end.ShipAngle) + start.VelX &&
                                     end.VelY == std::cos(end.ShipAngle) + start.VelY));
    const bool mayFire = start.KeyFire && start.FireReady && !start.KeyShield;
    EXPECT_EQ(end.FireReady, !mayFire && start.FireReady);
    int fired = 0;
    for (int slot = 1; slot <= kLastBulletSlot; ++slot)
      fired += end.Bullets[slot].Active && !start.Bullets[slot].Active;
    EXPECT_LE(fired, mayFire ? 2 : 0);
    CheckDrawing();
    start_ = next_;
    platform_.log.clear();
  }

  // Each white figure is drawn again, identical and in black, before the next frame ends, so
  // what is on screen is exactly this frame's drawing; and the steps come in their order:
  // focus recovery, the ship erased then drawn, the bullets, the pump, 10 ms of sleep.
  void CheckDrawing() {
    std::vector<Record> thisFrame;
    std::string steps;
    for (const Record& r : platform_.log) {
      steps += char("LBCARFPS"[int(r.call)] + (r.IsFigure() && r.pen == kBlack ? 'a' - 'A' : 0));
      if (r.call == Call::Refresh) shown_.clear();
      if (!r.IsFigure()) continue;
      ASSERT_TRUE(r.pen == kWhite || r.pen == kBlack) << r.pen;
      const auto same = std::find(shown_.begin(), shown_.end(), Record{r.call, r.args, kWhite});
      if (r.pen == kBlack && same != shown_.end()) shown_.erase(same);
      if (r.pen == kWhite) shown_.push_back(r), thisFrame.push_back(r);
    }
    EXPECT_EQ(shown_, thisFrame);
    static const std::regex order("(PRFP)?llllllllllacC?LLALLLL(LLLL)?[bB]*PS");
    EXPECT_TRUE(std::regex_match(steps, order)) << steps;
    EXPECT_EQ(platform_.log.back().args[0], 10);
  }

  std::mt19937 random_;
  int frames_, frame_ = 0;
  RecordingPlatform platform_;
  Form1 form_{platform_};
  GameState start_, end_, next_;
  std::pair<float, float> size_;
  std::vector<Record> shown_;
};

TEST(RandomPlay, EveryFrameKeepsTheRules) {
  for (unsigned seed = 1; seed <= 40 && !HasFailure(); ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    RandomPlay(seed, 400);
  }
}

class Numbers : public ::testing::Test {
 protected:
  Numbers() { Form_Load(state), FitPlayfieldToWindow(state, platform); }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) RunFrame(state, platform);
  }
  GameState state;
  RecordingPlatform platform;
};

TEST_F(Numbers, StartValuesAndHeadingCycle) {
  EXPECT_TRUE(state.FireReady && state.ThrustPower == 1 && state.ShipAngle == 3.14159265358979);
  EXPECT_EQ(Degrees(state, 5), 0.08726646259971639);
  state.KeyLeft = true;
  Frames(36);
  EXPECT_EQ(state.ShipAngle, 0);  // landed on Degrees(360) exactly
  state.KeyLeft = false, state.KeyRight = true;
  state.ShipAngle = Degrees(state, 180);
  Frames(36);
  EXPECT_EQ(state.ShipAngle, 4.163336342344337e-16);
  Frames(1);
  EXPECT_EQ(state.ShipAngle, Degrees(state, 355));
}

TEST_F(Numbers, WrapEdgesInSinglePrecision) {
  platform.playfieldWidth = platform.playfieldHeight = 7000;
  const double justOver = 7000 + 7000 * 0x1p-25;  // less than half a float step past
  const double cases[][2] = {{7000, 7000}, {justOver, justOver}, {7000.001, 0}, {-1e-9, 7000}};
  for (const auto& [at, wrapped] : cases) {
    state.ShipX = state.ShipY = at;
    CheckWrap(state, platform);
    EXPECT_TRUE(state.ShipX == wrapped && state.ShipY == wrapped) << at;
  }
}

TEST_F(Numbers, OutlineAndRearArc) {
  state.ShipX = 3000, state.ShipY = 2000, state.ShipAngle = 0;
  DrawShip(state, platform);
  const double points[][3] = {{1, 3000, 2300},      {2, 3192.8, 1770.2}, {13, 3147.8, 2176.2},
                              {16, 2852.2, 2176.2}, {17, 2861.4, 1920},  {4, 2840, 1722.9}};
  for (const auto& [point, x, y] : points) {
    EXPECT_NEAR(state.ShipPtX[int(point)], x, 0.05) << point;
    EXPECT_NEAR(state.ShipPtY[int(point)], y, 0.05) << point;
  }
  EXPECT_TRUE(state.ShipPtX[12] == state.ShipPtX[2] && state.ShipPtY[15] == state.ShipPtY[3]);
  // Heading in degrees, and the full turns taken off each end of the arc.
  const int arcs[][3] = {{0, 0, 0}, {225, 0, 0}, {230, 0, 1}, {305, 0, 1}, {310, 1, 1}};
  for (const auto& [heading, startTurns, endTurns] : arcs) {
    state.ShipAngle = Degrees(state, heading);
    DrawShip(state, platform);
    const double turn = Degrees(state, 360);
    EXPECT_EQ(state.ArcStart, state.ShipAngle + Degrees(state, 50) - startTurns * turn);
    EXPECT_EQ(state.ArcEnd, state.ShipAngle + Degrees(state, 130) - endTurns * turn);
  }
}

TEST_F(Numbers, PoolLimitsAndStrictRetiring) {
  for (int slot = 1; slot <= 99; ++slot) state.Bullets[slot] = {true, 100, 100, 0};
  state.BulletCount = 99;
  SpawnBullet(state, kFirstMuzzlePoint);
  SpawnBullet(state, kSecondMuzzlePoint);
  EXPECT_TRUE(state.BulletCount == 100 && state.Bullets[100].Active);
  EXPECT_EQ(FindFreeBullet(state), 0);

  state.Bullets.fill({});
  const float w = platform.playfieldWidth, h = platform.playfieldHeight;
  const Bullet edges[] = {{true, w, 0, 0},     {true, 0, h, 0},        {true, w + 0.01, 0, 0},
                          {true, -1e-9, 0, 0}, {true, 0, h + 0.01, 0}, {true, 0, -1e-9, 0}};
  std::copy(std::begin(edges), std::end(edges), state.Bullets.begin() + 1);
  state.BulletCount = 6;
  UpdateBullets(state, platform);
  EXPECT_EQ(state.BulletCount, 2);
  EXPECT_TRUE(state.Bullets[1].X == w && state.Bullets[1].Y == 200);  // straight down
  EXPECT_EQ(state.Bullets[2].Y, h + 200);
}

}  // namespace
}  // namespace quillfane::testing
