#pragma once

#include <cstdint>

namespace quillfane {

// The virtual-key code of an SDL keycode under the given modifier state, or 0 for a key that
// has none. With NumLock off the keypad's digits are the keys printed under them (4, 8, 6
// and 2 are the arrows), as on the keyboards virtual-key codes come from.
std::int16_t VirtualKeyFromSdl(int sdlKeycode, int sdlModifiers);

}  // namespace quillfane
