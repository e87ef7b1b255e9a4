#pragma once

#include <array>
#include <cstdint>

#include "platform/window_events.h"

namespace quillfane {

enum class KeySource : std::uint8_t { kKeyboard = 1, kController = 2, kTouch = 4 };

// The keys as the game hears them, counted by holder: a key goes down for the game when its
// first holder presses it and up only when its last holder lets go, so the keyboard, a
// controller and a touch screen's buttons can share a key. Every backend passes its key
// events through here, and its focus losses too.
class HeldKeys {
 public:
  explicit HeldKeys(WindowEvents* events = nullptr) : events_(events) {}
  void SetEvents(WindowEvents* events) { events_ = events; }
  // A holder pressing a key it already holds is auto-repeat, and goes through as such.
  void Press(KeySource source, std::int16_t code, std::int16_t shift = 0);
  // A release by a holder that never pressed the key goes through only when none holds it.
  void Release(KeySource source, std::int16_t code, std::int16_t shift = 0);
  bool Holds(KeySource source, std::int16_t code) const;
  // The focus went: every held key goes up once, whoever held it.
  void ReleaseAll(std::int16_t shift = 0);

 private:
  std::array<std::uint8_t, 256> holders_{};
  WindowEvents* events_ = nullptr;
};

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
