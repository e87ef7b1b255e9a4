#include "platform/gamepad.h"

#include <algorithm>

#include "platform/virtual_keys.h"

namespace quillfane {

namespace {

bool Latch(bool& pushed, float value) {
  pushed = pushed ? value >= kReleaseBelow : value >= kPressAt;
  return pushed;
}

}  // namespace

void Gamepad::Update(const PadState& pad, HeldKeys& keys) {
  const bool stickLeft = Latch(pushed_[0], -pad.stickX);
  const bool stickRight = Latch(pushed_[1], pad.stickX);
  const bool stickUp = Latch(pushed_[2], pad.stickY);
  const bool leftTrigger = Latch(pushed_[3], pad.leftTrigger);
  const bool rightTrigger = Latch(pushed_[4], pad.rightTrigger);
  const struct {
    std::int16_t code;
    bool held;
  } wanted[] = {
      {kKeyLeft, pad.dpadLeft || stickLeft},
      {kKeyRight, pad.dpadRight || stickRight},
      {kKeyUp, pad.dpadUp || stickUp || rightTrigger},
      {kKeyDown, pad.dpadDown || pad.east || leftTrigger},
      {kKeySpace, pad.south || pad.rightShoulder},
      {kKeyEscape, pad.back},
  };
  // Releases first, so that a stick swung from left to right lets go of Left before Right.
  for (const auto& [code, held] : wanted) {
    if (!held && keys.Holds(KeySource::kController, code)) {
      keys.Release(KeySource::kController, code);
    }
  }
  for (const auto& [code, held] : wanted) {
    if (held && !keys.Holds(KeySource::kController, code)) keys.Press(KeySource::kController, code);
  }
}

float AxisFromInt16(int value) {
  return std::clamp(static_cast<float>(value) / 32767.0F, -1.0F, 1.0F);
}

}  // namespace quillfane
