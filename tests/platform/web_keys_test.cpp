#include "platform/web/web_keys.h"

#include <gtest/gtest.h>

#include "platform/virtual_keys.h"

// KeyboardEvent.code, .key and .keyCode as a browser reports them, to the virtual-key code.
TEST(WebKeys, VirtualKeysAsOnTheDesktop) {
  using quillfane::IsGameKey, quillfane::VirtualKeyFromDom;
  const char* const arrows[] = {"ArrowLeft", "ArrowUp", "ArrowRight", "ArrowDown"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(VirtualKeyFromDom(arrows[i], arrows[i], 37 + i), 37 + i);
  EXPECT_TRUE(VirtualKeyFromDom("Space", " ", 32) == 32 &&
              VirtualKeyFromDom("Escape", "Esc", 0) == 27);
  // The keypad with NumLock off, then on; a letter on another layout; no .code at all.
  EXPECT_TRUE(VirtualKeyFromDom("Numpad4", "ArrowLeft", 37) == 37 &&
              VirtualKeyFromDom("Numpad8", "8", 104) == 104 &&
              VirtualKeyFromDom("KeyA", "q", 81) == 65 && VirtualKeyFromDom("", "Home", 36) == 36);
  // Tab and the other keys keep their own action in the page.
  EXPECT_TRUE(IsGameKey(27) && IsGameKey(32) && IsGameKey(37) && IsGameKey(40) && !IsGameKey(9) &&
              !IsGameKey(36) && !IsGameKey(41) && !IsGameKey(100));
}
