#include "platform/key_codes.h"

#include <SDL_keycode.h>

namespace quillfane {

namespace {

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
    {SDLK_KP_1, SDLK_KP_9, 97},
};

struct KeyPair {
  int sdl;
  std::int16_t virtualKey;
};

constexpr KeyPair kSingles[] = {
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
    {SDLK_DELETE, 46},        {SDLK_KP_0, 96},
    {SDLK_KP_MULTIPLY, 106},  {SDLK_KP_PLUS, 107},
    {SDLK_KP_MINUS, 109},     {SDLK_KP_PERIOD, 110},
    {SDLK_KP_DIVIDE, 111},    {SDLK_NUMLOCKCLEAR, 144},
    {SDLK_SCROLLLOCK, 145},   {SDLK_SEMICOLON, 186},
    {SDLK_EQUALS, 187},       {SDLK_COMMA, 188},
    {SDLK_MINUS, 189},        {SDLK_PERIOD, 190},
    {SDLK_SLASH, 191},        {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219},  {SDLK_BACKSLASH, 220},
    {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222},
};

}  // namespace

std::int16_t VirtualKeyFromSdl(int sdlKeycode) {
  for (const KeyRange& range : kRanges) {
    if (sdlKeycode >= range.firstSdl && sdlKeycode <= range.lastSdl) {
      return static_cast<std::int16_t>(range.firstVirtual + (sdlKeycode - range.firstSdl));
    }
  }
  for (const KeyPair& pair : kSingles) {
    if (pair.sdl == sdlKeycode) return pair.virtualKey;
  }
  return 0;
}

}  // namespace quillfane
