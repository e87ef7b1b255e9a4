#include "platform/web_keys.h"

#include <gtest/gtest.h>

// KeyboardEvent.code, .key and .keyCode as a browser reports them, to the virtual-key code.
TEST(WebKeys, VirtualKeysAsOnTheDesktop) {
  using quillfane::IsGameKey, quillfane::VirtualKeyFromDom;
  EXPECT_TRUE(VirtualKeyFromDom("ArrowLeft", "ArrowLeft", 37) == 37 &&
              VirtualKeyFromDom("ArrowUp", "ArrowUp", 38) == 38 &&
              VirtualKeyFromDom("ArrowRight", "ArrowRight", 39) == 39 &&
              VirtualKeyFromDom("ArrowDown", "ArrowDown", 40) == 40 &&
              VirtualKeyFromDom("Space", " ", 32) == 32 &&
              VirtualKeyFromDom("Escape", "Escape", 27) == 27);
  // The keypad with NumLock off, then on; a letter on another layout; no .code; no key.
  EXPECT_TRUE(
      VirtualKeyFromDom("Numpad4", "ArrowLeft", 37) == 37 &&
      VirtualKeyFromDom("Numpad2", "ArrowDown", 40) == 40 &&
      VirtualKeyFromDom("Numpad8", "8", 104) == 104 && VirtualKeyFromDom("KeyA", "q", 81) == 65 &&
      VirtualKeyFromDom("", "ArrowLeft", 37) == 37 && VirtualKeyFromDom("F13", "F13", 124) == 0);
  // Tab and the other keys keep their own action in the page.
  EXPECT_TRUE(IsGameKey(27) && IsGameKey(32) && IsGameKey(37) && IsGameKey(40) && !IsGameKey(9) &&
              !IsGameKey(36) && !IsGameKey(41) && !IsGameKey(100));
}
