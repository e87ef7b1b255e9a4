#pragma once

#include <cstdint>

namespace quillfane {

// The window's events, as the game handles them. main delivers the load before the window
// is shown and the first resize once it is; every later event arrives from inside
// Platform::PumpEvents.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void Form_Load() = 0;
  virtual void Form_Resize() = 0;
  // keyCode is a virtual-key code (Esc 27, Space 32, arrows 37 to 40); shift is ignored.
  virtual void Picture1_KeyDown(std::int16_t keyCode, std::int16_t shift) = 0;
  virtual void Picture1_KeyUp(std::int16_t keyCode, std::int16_t shift) = 0;
};

}  // namespace quillfane
