#include "platform/gamepad.h"

#include <algorithm>

namespace quillfane {

namespace {

constexpr std::int16_t kEsc = 27;
constexpr std::int16_t kSpace = 32;
constexpr std::int16_t kLeft = 37;
constexpr std::int16_t kUp = 38;
constexpr std::int16_t kRight = 39;
constexpr std::int16_t kDown = 40;

std::uint8_t Bit(KeySource source) { return static_cast<std::uint8_t>(source); }

bool Latch(bool& pushed, float value) {
  pushed = pushed ? value >= kReleaseBelow : value >= kPressAt;
  return pushed;
}

}  // namespace

void HeldKeys::Press(KeySource source, std::int16_t code, std::int16_t shift) {
  if (code <= 0 || code >= static_cast<int>(holders_.size())) return;
  std::uint8_t& holders = holders_[static_cast<std::size_t>(code)];
  const bool others = (holders & ~Bit(source)) != 0;
  holders |= Bit(source);
  if (!others && events_ != nullptr) events_->Picture1_KeyDown(code, shift);
}

void HeldKeys::Release(KeySource source, std::int16_t code, std::int16_t shift) {
  if (code <= 0 || code >= static_cast<int>(holders_.size())) return;
  std::uint8_t& holders = holders_[static_cast<std::size_t>(code)];
  holders &= static_cast<std::uint8_t>(~Bit(source));
  if (holders == 0 && events_ != nullptr) events_->Picture1_KeyUp(code, shift);
}

bool HeldKeys::Holds(KeySource source, std::int16_t code) const {
  return (holders_[static_cast<std::uint8_t>(code)] & Bit(source)) != 0;
}

void HeldKeys::ReleaseAll(std::int16_t shift) {
  for (std::size_t code = 0; code < holders_.size(); ++code) {
    if (holders_[code] == 0) continue;
    holders_[code] = 0;
    if (events_ != nullptr) events_->Picture1_KeyUp(static_cast<std::int16_t>(code), shift);
  }
}

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
      {kLeft, pad.dpadLeft || stickLeft},
      {kRight, pad.dpadRight || stickRight},
      {kUp, pad.dpadUp || stickUp || rightTrigger},
      {kDown, pad.dpadDown || pad.east || leftTrigger},
      {kSpace, pad.south || pad.rightShoulder},
      {kEsc, pad.back},
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
