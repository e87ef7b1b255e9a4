#include "platform/gamepad.h"

#include <gtest/gtest.h>

#include <string>

namespace quillfane {

struct Heard final : WindowEvents {
  void Form_Load() override {}
  void Form_Resize() override {}
  void Picture1_KeyDown(std::int16_t code, std::int16_t) override { Say("+", code); }
  void Picture1_KeyUp(std::int16_t code, std::int16_t) override { Say("-", code); }
  void Say(const char* sign, int code) { said.append(sign).append(std::to_string(code)) += ' '; }
  std::string said;
};

// The pad's states one after another, each followed by a bar in what the game hears (the stick
// pulled down is no key). Then the keyboard shares the keys, and the focus goes while both
// hold some.
TEST(Gamepad, DeadZoneHysteresisAndKeysSharedWithTheKeyboard) {
  // clang-format off
  const PadState pads[] = {
      {.stickX = -0.29F}, {.stickX = -0.49F}, {.stickX = -0.5F}, {.stickX = -0.31F},
      {.stickX = -0.29F}, {.stickX = 0.6F}, {.stickX = -0.6F}, {.stickY = 0.5F}, {.stickY = -1},
      {.leftTrigger = 0.29F, .rightTrigger = 0.49F}, {.leftTrigger = 0.5F, .rightTrigger = 0.5F},
      {.leftTrigger = 0.3F, .rightTrigger = 0.2F}, {.dpadLeft = true, .south = true},
      {.dpadRight = true, .south = true, .rightShoulder = true},
      {.dpadUp = true, .rightShoulder = true}, {.dpadDown = true, .east = true}, {.back = true}};
  // clang-format on
  Heard heard;
  HeldKeys keys(&heard);
  Gamepad pad;
  for (const PadState& state : pads) {
    pad.Update(state, keys);
    heard.said += '|';
  }
  const auto keyboard = KeySource::kKeyboard;
  pad.Update({.dpadLeft = true, .south = true}, keys);
  keys.Press(keyboard, 37);
  keys.Press(keyboard, 32);
  pad.Update(PadState{}, keys);
  keys.Release(keyboard, 37);
  keys.Press(keyboard, 38);
  keys.Press(keyboard, 38);
  pad.Update({.dpadUp = true}, keys);
  keys.ReleaseAll();  // the focus gone
  pad.Update({.dpadUp = true}, keys);
  keys.Release(keyboard, 32);
  keys.Release(keyboard, 38);
  EXPECT_EQ(heard.said,
            "||+37 ||-37 |+39 |-39 +37 |-37 +38 |-38 ||+38 +40 |-38 |-40 +37 +32 |-37 +39 |"
            "-39 +38 |-38 -32 +40 |-40 +27 |-27 +37 +32 -37 +38 +38 -32 -38 +38 -32 ");
}

}  // namespace quillfane
