#include "platform/sdl_keys.h"

#include <SDL.h>

#include <cstddef>

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
    {SDLK_BACKSPACE, 8},      {SDLK_TAB, 9},
    {SDLK_RETURN, 13},        {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},        {SDLK_RSHIFT, 16},
    {SDLK_LCTRL, 17},         {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},          {SDLK_RALT, 18},
    {SDLK_PAUSE, 19},         {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},        {SDLK_SPACE, 32},
    {SDLK_PAGEUP, 33},        {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},           {SDLK_HOME, 36},
    {SDLK_LEFT, 37},          {SDLK_UP, 38},
    {SDLK_RIGHT, 39},         {SDLK_DOWN, 40},
    {SDLK_PRINTSCREEN, 44},   {SDLK_INSERT, 45},
    {SDLK_DELETE, 46},        {SDLK_KP_MULTIPLY, 106},
    {SDLK_KP_PLUS, 107},      {SDLK_KP_MINUS, 109},
    {SDLK_KP_DIVIDE, 111},    {SDLK_NUMLOCKCLEAR, 144},
    {SDLK_SCROLLLOCK, 145},   {SDLK_SEMICOLON, 186},
    {SDLK_EQUALS, 187},       {SDLK_COMMA, 188},
    {SDLK_MINUS, 189},        {SDLK_PERIOD, 190},
    {SDLK_SLASH, 191},        {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219},  {SDLK_BACKSLASH, 220},
    {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222},
};

// The keypad with NumLock on: the digits 96 to 105 and the decimal point.
constexpr KeyPair kKeypadDigits[] = {
    {SDLK_KP_0, 96},  {SDLK_KP_1, 97},  {SDLK_KP_2, 98},       {SDLK_KP_3, 99},
    {SDLK_KP_4, 100}, {SDLK_KP_5, 101}, {SDLK_KP_6, 102},      {SDLK_KP_7, 103},
    {SDLK_KP_8, 104}, {SDLK_KP_9, 105}, {SDLK_KP_PERIOD, 110},
};

// With NumLock off: Insert, End, the arrows, Page Down, Clear, Home, Page Up and Delete.
constexpr KeyPair kKeypadKeys[] = {
    {SDLK_KP_0, 45}, {SDLK_KP_1, 35}, {SDLK_KP_2, 40},      {SDLK_KP_3, 34},
    {SDLK_KP_4, 37}, {SDLK_KP_5, 12}, {SDLK_KP_6, 39},      {SDLK_KP_7, 36},
    {SDLK_KP_8, 38}, {SDLK_KP_9, 33}, {SDLK_KP_PERIOD, 46},
};

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
  const std::int16_t keypad = (sdlModifiers & KMOD_NUM) != 0 ? Find(kKeypadDigits, sdlKeycode)
                                                             : Find(kKeypadKeys, sdlKeycode);
  return keypad != 0 ? keypad : Find(kKeys, sdlKeycode);
}

}  // namespace quillfane
