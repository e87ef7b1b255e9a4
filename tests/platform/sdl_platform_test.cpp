#include "platform/sdl_platform.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "game/form1.h"

namespace quillfane {
namespace {

std::unique_ptr<SdlPlatform> CreateOnDummyDriver() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::string error;
  auto platform = SdlPlatform::Create(error);
  if (platform == nullptr) ADD_FAILURE() << error;
  return platform;
}

void PushKey(Uint32 type, SDL_Keycode key, WindowHandle window) {
  SDL_Event event{};
  event.key.type = type;
  event.key.windowID = static_cast<Uint32>(window);
  event.key.keysym.sym = key;
  SDL_PushEvent(&event);
}

void PushWindowEvent(SDL_WindowEventID id, WindowHandle window) {
  SDL_Event event{};
  event.window.type = SDL_WINDOWEVENT;
  event.window.event = static_cast<Uint8>(id);
  event.window.windowID = static_cast<Uint32>(window);
  SDL_PushEvent(&event);
}

struct RecordingEvents final : WindowEvents {
  void Form_Load() override {}
  void Form_Resize() override { ++resizes; }
  void Picture1_KeyDown(std::int16_t code, std::int16_t) override { keys.emplace_back(1, code); }
  void Picture1_KeyUp(std::int16_t code, std::int16_t) override { keys.emplace_back(0, code); }

  int resizes = 0;
  std::vector<std::pair<int, int>> keys;  // (down, code)
};

class SdlPlatformOnDummy : public ::testing::Test {
 protected:
  void SetUp() override {
    platform = CreateOnDummyDriver();
    ASSERT_NE(platform, nullptr);
    platform->SetWindowEvents(events);
    platform->Show();
    platform->PumpEvents();
    events = RecordingEvents{};
  }

  std::unique_ptr<SdlPlatform> platform;
  RecordingEvents events;
};

TEST_F(SdlPlatformOnDummy, KeysOfOurWindowReachTheHandlersAsVirtualKeys) {
  const WindowHandle ours = platform->Handle();
  PushKey(SDL_KEYDOWN, SDLK_LEFT, ours);
  PushKey(SDL_KEYDOWN, SDLK_LEFT, ours);  // auto-repeat
  PushKey(SDL_KEYUP, SDLK_LEFT, ours);
  PushKey(SDL_KEYDOWN, SDLK_QUOTE, ours);
  PushKey(SDL_KEYDOWN, SDLK_PERCENT, ours);
  PushKey(SDL_KEYDOWN, SDLK_SPACE, ours + 1);
  PushKey(SDL_KEYDOWN, SDLK_a, ours);
  platform->PumpEvents();
  const std::vector<std::pair<int, int>> expected{{1, 37}, {1, 37}, {0, 37}, {1, 222}, {1, 65}};
  EXPECT_EQ(events.keys, expected);
}

TEST_F(SdlPlatformOnDummy, ResizesOncePerPumpWhenTheOuterSizeChangesEvenWithoutAnEvent) {
  EXPECT_EQ(platform->WindowWidth(), 7110);
  EXPECT_EQ(platform->WindowHeight(), 6015);
  PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, platform->Handle());
  PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, platform->Handle());
  platform->PumpEvents();
  platform->PumpEvents();
  EXPECT_EQ(events.resizes, 1);

  SDL_SetWindowSize(SDL_GetWindowFromID(static_cast<Uint32>(platform->Handle())), 500, 300);
  SDL_FlushEvent(SDL_WINDOWEVENT);
  platform->PumpEvents();
  EXPECT_EQ(events.resizes, 2);
  EXPECT_EQ(platform->WindowWidth(), 500 * 15);
  EXPECT_EQ(platform->WindowHeight(), 300 * 15);
}

// The death tests build everything in the child; the alarm turns a missed exit into a
// failure instead of a hang.
void RunGameUntilItEnds(SDL_Keycode key) {
  alarm(20);
  auto platform = CreateOnDummyDriver();
  Form1 form(*platform);
  platform->SetWindowEvents(form);
  form.Form_Load();
  platform->Show();
  PushKey(SDL_KEYDOWN, key, platform->Handle());
  form.Form_Resize();
}

TEST(SdlPlatformDeathTest, EscThroughTheGameEndsTheProgramWithStatusZero) {
  EXPECT_EXIT(RunGameUntilItEnds(SDLK_ESCAPE), ::testing::ExitedWithCode(0), "");
}

TEST(SdlPlatformDeathTest, QuitAndWindowCloseEndTheProgramWithStatusZero) {
  EXPECT_EXIT(
      {
        auto platform = CreateOnDummyDriver();
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
        platform->PumpEvents();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        auto platform = CreateOnDummyDriver();
        PushWindowEvent(SDL_WINDOWEVENT_CLOSE, platform->Handle());
        platform->PumpEvents();
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(SdlPlatformStart, FailsWithTheCauseWhenNoDisplayOrDriverCanBeHad) {
  const char* display = std::getenv("DISPLAY");
  const std::string savedDisplay = display != nullptr ? display : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  std::string noDisplay;
  EXPECT_EQ(SdlPlatform::Create(noDisplay), nullptr);
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  std::string noDriver;
  EXPECT_EQ(SdlPlatform::Create(noDriver), nullptr);

  setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (!savedDisplay.empty()) setenv("DISPLAY", savedDisplay.c_str(), 1);
  EXPECT_NE(noDisplay.find("DISPLAY is empty"), std::string::npos) << noDisplay;
  EXPECT_NE(noDriver.find("SDL_VIDEODRIVER=no-such-driver"), std::string::npos) << noDriver;
}

}  // namespace
}  // namespace quillfane
