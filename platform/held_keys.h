#pragma once

#include <array>
#include <cstdint>

#include "platform/window_events.h"

namespace quillfane {

enum class KeySource : std::uint8_t { kKeyboard = 1, kController = 2, kTouch = 4 };

// The keys as the game hears them, counted by holder: a key goes down for the game when its
// first holder presses it and up only when its last holder lets go, so the keyboard, a
// controller and a touch screen's buttons can share a key. Every backend passes its key events
// through here, and its focus losses too.
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

}  // namespace quillfane
