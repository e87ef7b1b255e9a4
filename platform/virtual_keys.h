#pragma once

#include <cstdint>

namespace quillfane {

// The virtual-key codes the game answers to, as every backend's key table gives them.
inline constexpr std::int16_t kKeyEscape = 27;
inline constexpr std::int16_t kKeySpace = 32;
inline constexpr std::int16_t kKeyLeft = 37;
inline constexpr std::int16_t kKeyUp = 38;
inline constexpr std::int16_t kKeyRight = 39;
inline constexpr std::int16_t kKeyDown = 40;

// The keypad's digit keys 0 to 9 with NumLock off: Insert, End, the arrows, Page Down, Clear,
// Home, Page Up. With NumLock on they are the digits from kKeypadDigitZero on.
inline constexpr std::int16_t kKeypadWithoutNumLock[] = {45, 35, 40, 34, 37, 12, 39, 36, 38, 33};
inline constexpr std::int16_t kKeypadDigitZero = 96;

// The shift argument of every key event, on every backend.
inline constexpr std::int16_t kShiftBit = 1;
inline constexpr std::int16_t kCtrlBit = 2;
inline constexpr std::int16_t kAltBit = 4;

inline std::int16_t ShiftState(bool shift, bool ctrl, bool alt) {
  return static_cast<std::int16_t>((shift ? kShiftBit : 0) | (ctrl ? kCtrlBit : 0) |
                                   (alt ? kAltBit : 0));
}

// The keys the game plays with: the only ones whose own action a backend may hold back.
inline bool IsGameKey(std::int16_t code) {
  return code == kKeyEscape || code == kKeySpace || (code >= kKeyLeft && code <= kKeyDown);
}

}  // namespace quillfane
