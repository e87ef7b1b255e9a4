#pragma once

#include <cstdint>

namespace quillfane {

// The virtual-key code (Esc 27, Space 32, arrows 37 to 40, letters 65 to 90, ...) of an
// SDL keycode, or 0 for a key that has none. Punctuation whose character codes happen to
// equal arrow codes (' is 39, like Right) maps to its own key, never to an arrow.
std::int16_t VirtualKeyFromSdl(int sdlKeycode);

}  // namespace quillfane
