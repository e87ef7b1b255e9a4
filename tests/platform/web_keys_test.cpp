#include "platform/web_keys.h"

#include <gtest/gtest.h>

namespace quillfane {
namespace {

TEST(WebKeys, VirtualKeysAsOnTheDesktop) {
  const struct {
    const char* code;
    const char* key;
    int keyCode, virtualKey;
  } cases[] = {{"ArrowLeft", "ArrowLeft", 37, 37},
               {"ArrowUp", "ArrowUp", 38, 38},
               {"ArrowRight", "ArrowRight", 39, 39},
               {"ArrowDown", "ArrowDown", 40, 40},
               {"Space", " ", 32, 32},
               {"Escape", "Escape", 27, 27},
               {"Numpad4", "ArrowLeft", 37, 37},
               {"Numpad8", "ArrowUp", 38, 38},
               {"Numpad6", "ArrowRight", 39, 39},
               {"Numpad2", "ArrowDown", 40, 40},
               {"Numpad4", "4", 100, 100},
               {"NumpadDecimal", "Delete", 46, 46},
               {"KeyA", "q", 81, 65},
               {"Digit7", "7", 55, 55},
               {"Quote", "'", 222, 222},
               {"F12", "F12", 123, 123},
               {"F13", "F13", 124, 0},
               {"", "ArrowLeft", 37, 37}};
  for (const auto& c : cases) {
    EXPECT_EQ(VirtualKeyFromDom(c.code, c.key, c.keyCode), c.virtualKey) << c.code << c.key;
  }
  // Tab and the other keys keep their own action in the page.
  EXPECT_TRUE(IsGameKey(27) && IsGameKey(32) && IsGameKey(37) && IsGameKey(40));
  EXPECT_FALSE(IsGameKey(9) || IsGameKey(36) || IsGameKey(41) || IsGameKey(100));
}

}  // namespace
}  // namespace quillfane
