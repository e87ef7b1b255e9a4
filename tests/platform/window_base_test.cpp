// The bookkeeping every backend's window shares, under a window whose operating system is a
// few variables.
#include "platform/window_base.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace quillfane {
namespace {

struct Heard final : WindowEvents {
  void Form_Load() override {}
  void Form_Resize() override { said += 'R'; }
  void Picture1_KeyDown(std::int16_t code, std::int16_t) override { Say('+', code); }
  void Picture1_KeyUp(std::int16_t code, std::int16_t) override { Say('-', code); }
  void Say(char sign, int code) { (said += sign).append(std::to_string(code)); }
  std::string said;
};

// Each present is logged in said as W (whole) or C (changes only), in lower case when it failed.
class ScriptedWindow final : public WindowBase {
 public:
  explicit ScriptedWindow(Heard& heard) : heard_(heard) { SetWindowEvents(heard); }
  void Resize(int width, int height) { outer_ = OuterSize{width, height}; }
  void Minimise() { outer_.reset(); }
  bool shows = true, hasKeys = true;
  PadState pad;
  unsigned waited = 99;

  WindowHandle Handle() const override { return 1; }
  void FocusPlayfield() override {}

 private:
  void ShowWindow() override {}
  std::optional<OuterSize> MeasureOuter() const override { return outer_; }
  bool PresentPlayfield(Raster&, bool all) override {
    heard_.said += shows ? (all ? 'W' : 'C') : (all ? 'w' : 'c');
    return shows;
  }
  bool ReadController(PadState& pad) override { return pad = this->pad, true; }
  bool HasFocus() const override { return hasKeys; }
  void DispatchEvents() override {}
  void Wait(unsigned milliseconds) override { waited = milliseconds; }
  [[noreturn]] void CloseAndExit() override { throw 0; }

  Heard& heard_;
  std::optional<OuterSize> outer_ = OuterSize{480, 430};
};

// Each phase's presents and events, in the order the game met them.
class WindowBaseTest : public ::testing::Test {
 protected:
  WindowBaseTest() { window.Show(); }
  std::string Said() { return std::exchange(heard.said, ""); }

  Heard heard;
  ScriptedWindow window{heard};
};

TEST_F(WindowBaseTest, ResizedMinimisedAndFailedPresents) {
  EXPECT_EQ(Said(), "W") << "the first present whole";
  window.Resize(600, 300);
  window.PumpEvents();
  window.PumpEvents();
  EXPECT_EQ(Said(), "RWC") << "a resize told once, then presented whole";
  window.Minimise();
  window.PumpEvents();
  EXPECT_EQ(window.WindowWidth(), 600 * kTwipsPerPixel) << "a minimised window's last width";
  window.shows = false;
  window.PumpEvents();
  window.shows = true;
  window.PumpEvents();
  EXPECT_EQ(Said(), "CcW") << "a present that showed nothing followed by a whole one";
}

TEST_F(WindowBaseTest, RefreshShowsTheClearedPlayfield) {
  window.SetPenColour(255, 255, 255);
  window.DrawBox(0, 0, 100, 100);
  window.RefreshPlayfield();
  EXPECT_EQ(window.Playfield().PixelAt(1, 1), 0U);
  EXPECT_EQ(Said(), "WW") << "shown, then refreshed whole";
}

TEST_F(WindowBaseTest, WithoutTheFocusInactiveAndTheControllerAtRest) {
  window.pad.dpadLeft = true;
  window.hasKeys = false;
  window.PumpEvents();
  EXPECT_EQ(Said(), "WC") << "the pad's Left unheard while another window has the keys";
  EXPECT_EQ(window.GetActiveWindow(), 0U) << "the window active without the focus";
  window.hasKeys = true;
  window.PumpEvents();
  EXPECT_EQ(Said(), "+37C") << "the pad's Left heard once the keys are back";
}

TEST_F(WindowBaseTest, NegativeSleepWaitsForNothing) {
  window.Sleep(-5);
  EXPECT_EQ(window.waited, 0U);
}

}  // namespace
}  // namespace quillfane
