// Random play through the window's handlers, with the game's rules checked after every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "game/form1.h"
#include "tests/recording_platform.h"

namespace quillfane::testing {
namespace {

constexpr Integer kKeys[] = {32, 37, 38, 39, 40, 65, 13, 100, 222};
constexpr std::pair<Integer, bool GameState::*> kFlags[] = {{32, &GameState::KeyFire},
                                                            {37, &GameState::KeyLeft},
                                                            {38, &GameState::KeyThrust},
                                                            {39, &GameState::KeyRight},
                                                            {40, &GameState::KeyShield}};

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
      const Integer key = kKeys[random_() % (Chance(97) ? 5 : 9)];
      for (const bool down : {true, false}) {
        if (!Chance(down ? 60 : 50)) continue;
        down ? form_.Picture1_KeyDown(key, 0) : form_.Picture1_KeyUp(key, 0);
        for (const auto& [code, flag] : kFlags)
          EXPECT_TRUE(code != key || form_.State().*flag == down);
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
    EXPECT_TRUE(!start.KeyThrust || end.VelY == std::cos(end.ShipAngle) + start.VelY);
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

}  // namespace
}  // namespace quillfane::testing
