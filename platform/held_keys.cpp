#include "platform/held_keys.h"

namespace quillfane {

namespace {

std::uint8_t Bit(KeySource source) { return static_cast<std::uint8_t>(source); }

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

}  // namespace quillfane
