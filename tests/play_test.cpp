// Random play through the window's handlers, with the game's rules checked after every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

constexpr Integer kKeys[] = {27, 32, 37, 38, 39, 40, 65, 13, 100, 222};
constexpr std::pair<Integer, bool GameState::*> kFlags[] = {{32, &GameState::KeyFire},
                                                            {37, &GameState::KeyLeft},
                                                            {38, &GameState::KeyThrust},
                                                            {39, &GameState::KeyRight},
                                                            {40, &GameState::KeyShield}};

int LiveSlots(const GameState& state) {
  return static_cast<int>(std::count_if(state.Bullets.begin() + 1, state.Bullets.end(),
                                        [](const Bullet& bullet) { return bullet.Active; }));
}

class RandomPlay {
 public:
  RandomPlay(unsigned seed, int frames) : random_(seed), frames_(frames) {
    platform_.onPump = [this] { Pump(); };
    platform_.onSleep = [this] { EndFrame(); };
  }

  void Run() {
    form_.Form_Load();
    start_ = form_.State();
    start_.ShipX = platform_.windowWidth / 2;  // where the first resize puts it
    start_.ShipY = platform_.windowHeight / 2;
    EXPECT_THROW(form_.Form_Resize(), ProgramEnded);
    EXPECT_EQ(frame_, frames_);
  }

 private:
  bool Chance(int percent) { return static_cast<int>(random_() % 100) < percent; }
  Integer AnyKey() { return kKeys[random_() % (Chance(97) ? 5 : 9) + 1]; }

  // The window's events: keys held, released, repeated or tapped, resizes, focus changes.
  void Pump() {
    const bool drawn = std::any_of(platform_.log.begin(), platform_.log.end(),
                                   [](const Record& r) { return r.IsFigure(); });
    if (drawn) end_ = form_.State(), endWidth_ = platform_.playfieldWidth;
    if (drawn) endHeight_ = platform_.playfieldHeight;
    if (drawn && ++frame_ >= frames_) form_.Picture1_KeyDown(27, 1);
    if (frame_ > frames_) throw ProgramEnded{};  // Esc did not end it
    for (int i = 0; Chance(40) && i < 3; ++i) {
      const Integer key = AnyKey();
      if (Chance(60)) Press(key, true);
      if (Chance(50)) Press(key, false);
    }
    if (Chance(3)) {
      std::uniform_real_distribution<float> size(15, Chance(10) ? 2e6F : 2e4F);
      platform_.windowWidth = size(random_);
      platform_.windowHeight = size(random_);
      form_.Form_Resize();
      EXPECT_EQ(form_.State().ShipX, platform_.windowWidth / 2);  // the outer size's centre
      EXPECT_EQ(form_.State().ShipY, platform_.windowHeight / 2);
    }
    if (Chance(3)) platform_.activeWindow = Chance(50) ? 0 : platform_.handle;
    if (!drawn) start_ = form_.State();
    next_ = form_.State();
  }

  void Press(Integer key, bool down) {
    down ? form_.Picture1_KeyDown(key, 0) : form_.Picture1_KeyUp(key, 0);
    for (const auto& [code, flag] : kFlags) EXPECT_TRUE(code != key || form_.State().*flag == down);
    EXPECT_TRUE(key != 32 || down || form_.State().FireReady);
  }

  void EndFrame() {
    SCOPED_TRACE(::testing::Message() << "frame " << frame_);
    CheckFrame(start_, end_);
    start_ = next_;
    platform_.log.clear();
  }

  void CheckFrame(const GameState& start, const GameState& end) {
    EXPECT_EQ(end.BulletCount, LiveSlots(end));
    EXPECT_FALSE(end.Bullets[0].Active);
    EXPECT_TRUE(end.ShipAngle >= 0 && end.ShipAngle <= Degrees(end, 355)) << end.ShipAngle;
    EXPECT_TRUE(end.ShipX >= 0 && static_cast<float>(end.ShipX) <= endWidth_) << end.ShipX;
    EXPECT_TRUE(end.ShipY >= 0 && static_cast<float>(end.ShipY) <= endHeight_) << end.ShipY;
    // Drawn before steering, at the moved centre; thrust along the steered heading.
    EXPECT_NEAR(
        std::remainder(end.ArcStart - start.ShipAngle - Degrees(end, 50), Degrees(end, 360)), 0,
        1e-9);
    if (start.ShipX + start.VelX >= 0 && start.ShipX + start.VelX < endWidth_) {
      EXPECT_EQ(end.LastShipX, start.ShipX + start.VelX);
    }
    if (start.KeyThrust) {
      EXPECT_EQ(end.VelY, std::cos(end.ShipAngle) + start.VelY);
    }
    const bool mayFire = start.KeyFire && start.FireReady && !start.KeyShield;
    EXPECT_EQ(end.FireReady, !mayFire && start.FireReady);
    int fired = 0;
    for (int slot = 1; slot <= kLastBulletSlot; ++slot)
      fired += end.Bullets[slot].Active && !start.Bullets[slot].Active;
    EXPECT_LE(fired, mayFire ? 2 : 0);
    CheckPicture();
  }

  // Each white figure must be drawn again, identical and in black, before the next frame
  // ends: then what is on screen is exactly this frame's drawing.
  void CheckPicture() {
    std::vector<Record> thisFrame;
    for (const Record& record : platform_.log) {
      if (record.call == Call::Refresh) shown_.clear();
      if (!record.IsFigure()) continue;
      ASSERT_TRUE(record.pen == kWhite || record.pen == kBlack) << record.pen;
      const auto same =
          std::find(shown_.begin(), shown_.end(), Record{record.call, record.args, kWhite});
      if (record.pen == kBlack && same != shown_.end()) shown_.erase(same);
      if (record.pen == kWhite) shown_.push_back(record), thisFrame.push_back(record);
    }
    EXPECT_EQ(shown_, thisFrame);
    CheckOrder();
  }

  // Focus recovery, the ship erased then drawn, the bullets, the pump, the sleep.
  void CheckOrder() {
    std::string steps;
    for (const Record& r : platform_.log) {
      const char* names = "LBCARFPS";
      steps += r.IsFigure() && r.pen == kBlack ? static_cast<char>(std::tolower(names[int(r.call)]))
                                               : names[int(r.call)];
    }
    static const std::regex order("(PRFP)?llllllllllacC?LLALLLL(LLLL)?[bB]*PS");
    EXPECT_TRUE(std::regex_match(steps, order)) << steps;
    EXPECT_EQ(platform_.log.back().args[0], 10);  // milliseconds of sleep
  }

  std::mt19937 random_;
  int frames_;
  int frame_ = 0;
  RecordingPlatform platform_;
  Form1 form_{platform_};
  GameState start_, end_, next_;
  float endWidth_ = 0, endHeight_ = 0;
  std::vector<Record> shown_;
};

TEST(RandomPlay, EveryFrameKeepsTheRules) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    RandomPlay(seed, 400).Run();
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace quillfane::testing
