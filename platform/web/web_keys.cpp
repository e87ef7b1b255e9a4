#include "platform/web/web_keys.h"

#include "platform/virtual_keys.h"

namespace quillfane {

namespace {

struct KeyPair {
  std::string_view code;
  std::int16_t virtualKey;
};

// Punctuation maps to its own codes: some character codes equal arrow codes (' is 39).
constexpr KeyPair kKeys[] = {
    {"Backspace", 8},
    {"Tab", 9},
    {"Enter", 13},
    {"NumpadEnter", 13},
    {"ShiftLeft", 16},
    {"ShiftRight", 16},
    {"ControlLeft", 17},
    {"ControlRight", 17},
    {"AltLeft", 18},
    {"AltRight", 18},
    {"Pause", 19},
    {"CapsLock", 20},
    {"Escape", kKeyEscape},
    {"Space", kKeySpace},
    {"PageUp", 33},
    {"PageDown", 34},
    {"End", 35},
    {"Home", 36},
    {"ArrowLeft", kKeyLeft},
    {"ArrowUp", kKeyUp},
    {"ArrowRight", kKeyRight},
    {"ArrowDown", kKeyDown},
    {"PrintScreen", 44},
    {"Insert", 45},
    {"Delete", 46},
    {"NumpadMultiply", 106},
    {"NumpadAdd", 107},
    {"NumpadSubtract", 109},
    {"NumpadDivide", 111},
    {"NumLock", 144},
    {"ScrollLock", 145},
    {"Semicolon", 186},
    {"Equal", 187},
    {"Comma", 188},
    {"Minus", 189},
    {"Period", 190},
    {"Slash", 191},
    {"Backquote", 192},
    {"BracketLeft", 219},
    {"Backslash", 220},
    {"BracketRight", 221},
    {"Quote", 222},
};

// A digit 0 to 9 after prefix, as in "Numpad4" or "Digit4", else -1.
int DigitAfter(std::string_view code, std::string_view prefix) {
  if (code.size() != prefix.size() + 1 || code.substr(0, prefix.size()) != prefix) return -1;
  const char digit = code.back();
  return digit >= '0' && digit <= '9' ? digit - '0' : -1;
}

// With NumLock on the keypad types a character; off, its .key names a key.
bool TypesCharacter(std::string_view key) { return key.size() == 1; }

}  // namespace

std::int16_t VirtualKeyFromDom(std::string_view code, std::string_view key, int keyCode) {
  if (code.empty()) return keyCode > 0 && keyCode < 256 ? static_cast<std::int16_t>(keyCode) : 0;
  if (code.size() == 4 && code.substr(0, 3) == "Key" && code[3] >= 'A' && code[3] <= 'Z') {
    return static_cast<std::int16_t>(code[3]);
  }
  if (const int digit = DigitAfter(code, "Digit"); digit >= 0) {
    return static_cast<std::int16_t>(48 + digit);
  }
  if (const int digit = DigitAfter(code, "Numpad"); digit >= 0) {
    return TypesCharacter(key) ? static_cast<std::int16_t>(kKeypadDigitZero + digit)
                               : kKeypadWithoutNumLock[digit];
  }
  if (code == "NumpadDecimal") return TypesCharacter(key) ? 110 : 46;
  if (code.size() >= 2 && code[0] == 'F') {
    int number = 0;
    for (const char c : code.substr(1)) number = c >= '0' && c <= '9' ? number * 10 + c - '0' : 99;
    if (number >= 1 && number <= 12) return static_cast<std::int16_t>(111 + number);
  }
  for (const KeyPair& pair : kKeys) {
    if (pair.code == code) return pair.virtualKey;
  }
  return 0;
}

}  // namespace quillfane
