#include "platform/sdl/sdl_keys.h"

#include <SDL.h>

#include <cstddef>

#include "platform/virtual_keys.h"

namespace quillfane {

namespace {

struct KeyPair {
  int sdl;
  std::int16_t virtualKey;
};

// Ranges whose SDL keycodes run in the same order as their virtual-key codes.
struct KeyRange {
  int firstSdl;
  int lastSdl;
  std::int16_t firstVirtual;
};

constexpr KeyRange kRanges[] = {
    {SDLK_a, SDLK_z, 65},
    {SDLK_0, SDLK_9, 48},
    {SDLK_F1, SDLK_F12, 112},
};

// Punctuation maps to its own codes: some character codes equal arrow codes (' is 39).
constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, 8},
    {SDLK_TAB, 9},
    {SDLK_RETURN, 13},
    {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},
    {SDLK_RSHIFT, 16},
    {SDLK_LCTRL, 17},
    {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},
    {SDLK_RALT, 18},
    {SDLK_PAUSE, 19},
    {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, kKeyEscape},
    {SDLK_SPACE, kKeySpace},
    {SDLK_PAGEUP, 33},
    {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},
    {SDLK_HOME, 36},
    {SDLK_LEFT, kKeyLeft},
    {SDLK_UP, kKeyUp},
    {SDLK_RIGHT, kKeyRight},
    {SDLK_DOWN, kKeyDown},
    {SDLK_PRINTSCREEN, 44},
    {SDLK_INSERT, 45},
    {SDLK_DELETE, 46},
    {SDLK_KP_MULTIPLY, 106},
    {SDLK_KP_PLUS, 107},
    {SDLK_KP_MINUS, 109},
    {SDLK_KP_DIVIDE, 111},
    {SDLK_NUMLOCKCLEAR, 144},
    {SDLK_SCROLLLOCK, 145},
    {SDLK_SEMICOLON, 186},
    {SDLK_EQUALS, 187},
    {SDLK_COMMA, 188},
    {SDLK_MINUS, 189},
    {SDLK_PERIOD, 190},
    {SDLK_SLASH, 191},
    {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219},
    {SDLK_BACKSLASH, 220},
    {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
};

// The keypad's digits in order, then its decimal point: Delete with NumLock off, 110 on.
constexpr int kKeypadDigits[] = {SDLK_KP_0, SDLK_KP_1, SDLK_KP_2, SDLK_KP_3, SDLK_KP_4,
                                 SDLK_KP_5, SDLK_KP_6, SDLK_KP_7, SDLK_KP_8, SDLK_KP_9};

template <std::size_t N>
std::int16_t Find(const KeyPair (&pairs)[N], int sdlKeycode) {
  for (const KeyPair& pair : pairs) {
    if (pair.sdl == sdlKeycode) return pair.virtualKey;
  }
  return 0;
}

}  // namespace

std::int16_t VirtualKeyFromSdl(int sdlKeycode, int sdlModifiers) {
  for (const KeyRange& range : kRanges) {
    if (sdlKeycode >= range.firstSdl && sdlKeycode <= range.lastSdl) {
      return static_cast<std::int16_t>(range.firstVirtual + (sdlKeycode - range.firstSdl));
    }
  }
  const bool numLock = (sdlModifiers & KMOD_NUM) != 0;
  for (int digit = 0; digit < 10; ++digit) {
    if (kKeypadDigits[digit] != sdlKeycode) continue;
    return numLock ? static_cast<std::int16_t>(kKeypadDigitZero + digit)
                   : kKeypadWithoutNumLock[digit];
  }
  if (sdlKeycode == SDLK_KP_PERIOD) return numLock ? 110 : 46;
  return Find(kKeys, sdlKeycode);
}

}  // namespace quillfane
