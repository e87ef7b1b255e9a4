#pragma once

#include <array>
#include <cstdint>

#include "platform/held_keys.h"

namespace quillfane {

// One controller's state, as every backend reads it: sticks and triggers from 0 at rest to 1
// pushed all the way.
struct PadState {
  bool dpadLeft = false;
  bool dpadRight = false;
  bool dpadUp = false;
  bool dpadDown = false;
  bool south = false;  // A, Cross
  bool east = false;   // B, Circle
  bool rightShoulder = false;
  bool back = false;  // Back, Select, View
  float stickX = 0;   // left stick: negative left, positive right
  float stickY = 0;   // left stick: positive up
  float leftTrigger = 0;
  float rightTrigger = 0;
};

// A stick or trigger counts as pushed from kPressAt on, and as let go again only below
// kReleaseBelow: the gap keeps a hand resting near the threshold from chattering, and the
// release level stays above a worn stick's drift at rest.
inline constexpr float kPressAt = 0.5F;
inline constexpr float kReleaseBelow = 0.3F;

// The controller's keys: its state, read once per event pump, to the keys the keyboard would
// hold. A controller unplugged, or a window without the focus, reads as a PadState at rest.
class Gamepad {
 public:
  void Update(const PadState& state, HeldKeys& keys);

 private:
  // Whether each analog direction counts as pushed: left, right, up, left and right trigger.
  std::array<bool, 5> pushed_{};
};

// Axis positions as the platforms report them, to the 0-to-1 (or -1-to-1) range.
float AxisFromInt16(int value);

}  // namespace quillfane
