#include "platform/key_codes.h"

#include <SDL_keycode.h>
#include <gtest/gtest.h>

namespace quillfane {
namespace {

TEST(VirtualKeyFromSdl, GameKeysLettersDigitsAndEditingKeys) {
  const struct {
    int sdl;
    int expected;
  } cases[] = {
      {SDLK_ESCAPE, 27}, {SDLK_SPACE, 32},    {SDLK_LEFT, 37},   {SDLK_UP, 38},
      {SDLK_RIGHT, 39},  {SDLK_DOWN, 40},     {SDLK_a, 65},      {SDLK_z, 90},
      {SDLK_0, 48},      {SDLK_9, 57},        {SDLK_RETURN, 13}, {SDLK_KP_ENTER, 13},
      {SDLK_TAB, 9},     {SDLK_BACKSPACE, 8}, {SDLK_F1, 112},    {SDLK_F12, 123},
      {SDLK_KP_0, 96},   {SDLK_KP_1, 97},     {SDLK_KP_9, 105},  {SDLK_LSHIFT, 16},
  };
  for (const auto& c : cases) EXPECT_EQ(VirtualKeyFromSdl(c.sdl), c.expected) << c.sdl;
}

// These characters' codes equal the arrows' virtual-key codes; none may steer the ship.
TEST(VirtualKeyFromSdl, PunctuationNeverBecomesAnArrow) {
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_QUOTE), 222);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_PERCENT), 0);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_AMPERSAND), 0);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_LEFTPAREN), 0);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_RIGHTPAREN), 0);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_AUDIOPLAY), 0);
}

}  // namespace
}  // namespace quillfane
