#include "platform/web/web_keys.h"

#include <gtest/gtest.h>

#include "platform/virtual_keys.h"

namespace quillfane {
namespace {

// KeyboardEvent.code, .key and .keyCode as a browser reports them, to the virtual-key code: the
// arrows, Space and Esc; the keypad with NumLock off, then on; a letter on another layout; no
// .code at all.
TEST(WebKeys, VirtualKeysAsOnTheDesktop) {
  const struct {
    const char *code, *key;
    int keyCode, virtualKey;
  } cases[] = {{"ArrowLeft", "ArrowLeft", 37, 37},
               {"ArrowUp", "ArrowUp", 38, 38},
               {"ArrowRight", "ArrowRight", 39, 39},
               {"ArrowDown", "ArrowDown", 40, 40},
               {"Space", " ", 32, 32},
               {"Escape", "Esc", 0, 27},
               {"Numpad4", "ArrowLeft", 37, 37},
               {"Numpad8", "8", 104, 104},
               {"KeyA", "q", 81, 65},
               {"", "Home", 36, 36}};
  for (const auto& c : cases)
    EXPECT_EQ(VirtualKeyFromDom(c.code, c.key, c.keyCode), c.virtualKey) << c.code << " " << c.key;
}

// Tab and the other keys keep their own action in the page.
TEST(WebKeys, OnlyTheGameKeysAreTaken) {
  for (const int taken : {27, 32, 37, 40}) EXPECT_TRUE(IsGameKey(taken)) << taken;
  for (const int left : {9, 36, 41, 100}) EXPECT_FALSE(IsGameKey(left)) << left;
}

}  // namespace
}  // namespace quillfane
