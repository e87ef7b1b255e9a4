#include "platform/gamepad.h"

#include <gtest/gtest.h>

#include <string>

namespace quillfane {
namespace {

struct Heard final : WindowEvents {
  void Form_Load() override {}
  void Form_Resize() override {}
  void Picture1_KeyDown(std::int16_t code, std::int16_t) override { Say('+', code); }
  void Picture1_KeyUp(std::int16_t code, std::int16_t) override { Say('-', code); }
  void Say(char sign, int code) {
    if (!said.empty()) said += ' ';
    said += sign;
    said += std::to_string(code);
  }
  std::string said;
};

PadState Stick(float x, float y = 0) { return {.stickX = x, .stickY = y}; }

// Each step is the pad's next state and what the game hears from it.
TEST(Gamepad, DeadZoneHysteresisAndTheKeys) {
  const struct {
    PadState pad;
    const char* heard;
  } steps[] = {
      {Stick(-0.29F), ""},
      {Stick(-0.49F), ""},
      {Stick(-0.5F), "+37"},
      {Stick(-0.31F), ""},
      {Stick(-0.5F), ""},
      {Stick(-0.29F), "-37"},
      {Stick(0.6F), "+39"},
      {Stick(-0.6F), "-39 +37"},
      {Stick(0, 0.5F), "-37 +38"},
      {Stick(0, -1), "-38"},  // the stick pulled down is no key
      {{.leftTrigger = 0.29F, .rightTrigger = 0.49F}, ""},
      {{.leftTrigger = 0.5F, .rightTrigger = 0.5F}, "+38 +40"},
      {{.leftTrigger = 0.3F, .rightTrigger = 0.2F}, "-38"},
      {{.dpadLeft = true, .south = true}, "-40 +37 +32"},
      {{.dpadRight = true, .south = true, .rightShoulder = true}, "-37 +39"},
      {{.dpadUp = true, .rightShoulder = true}, "-39 +38"},
      {{.dpadDown = true, .east = true}, "-38 -32 +40"},
      {{.back = true}, "-40 +27"},
  };
  Heard heard;
  HeldKeys keys;
  keys.SetEvents(&heard);
  Gamepad pad;
  for (const auto& step : steps) {
    heard.said.clear();
    pad.Update(step.pad, keys);
    EXPECT_EQ(heard.said, step.heard) << &step - steps;
  }
}

// Keyboard and controller on the same keys, and the focus lost while both hold some.
TEST(Gamepad, KeysHeldByKeyboardAndControllerTogether) {
  Heard heard;
  HeldKeys keys;
  keys.SetEvents(&heard);
  Gamepad pad;
  const auto k = KeySource::kKeyboard;
  keys.Press(k, 37), pad.Update({.dpadLeft = true}, keys), keys.Release(k, 37);
  pad.Update({.dpadLeft = true, .south = true}, keys), keys.Press(k, 32);
  pad.Update({}, keys), keys.Release(k, 38);
  EXPECT_EQ(heard.said, "+37 +32 -37 -38");
  heard.said.clear();
  pad.Update({.dpadUp = true}, keys), keys.Press(k, 39), keys.ReleaseAll();
  EXPECT_EQ(heard.said, "+38 +39 -32 -38 -39");
  heard.said.clear();
  // The window active again: what the pad still holds acts again; a stray key-up passes once.
  pad.Update({.dpadUp = true}, keys), keys.Release(k, 32), keys.Release(k, 38);
  EXPECT_EQ(heard.said, "+38 -32");
}

}  // namespace
}  // namespace quillfane
