#pragma once

#include <cstdint>
#include <string_view>

namespace quillfane {

// The virtual-key code of a browser key event, from its KeyboardEvent.code, .key and .keyCode,
// or 0 for a key that has none. The keypad reads as NumLock makes it: with NumLock off its
// .key names the key printed under the digit (4, 8, 6 and 2 are the arrows). A browser that
// gives no .code gets its .keyCode, which browsers took from the virtual-key codes.
std::int16_t VirtualKeyFromDom(std::string_view code, std::string_view key, int keyCode);

}  // namespace quillfane
