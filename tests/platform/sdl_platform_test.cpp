#include "platform/sdl_platform.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bullets/bullet_pool.h"
#include "bullets/update_bullets.h"
#include "game/angles.h"
#include "game/form1.h"
#include "game/form_load.h"
#include "ship/clear_ship.h"
#include "ship/draw_ship.h"
#include "ship/ship_outline.h"

namespace {

bool counting = false;
int allocations = 0;

SDL_malloc_func sdlMalloc;
SDL_calloc_func sdlCalloc;
SDL_realloc_func sdlRealloc;
SDL_free_func sdlFree;

// Installed once, before main, so that SDL's allocations are seen too; frees need no count.
[[maybe_unused]] const bool kSdlCounted = [] {
  SDL_GetMemoryFunctions(&sdlMalloc, &sdlCalloc, &sdlRealloc, &sdlFree);
  SDL_SetMemoryFunctions(
      [](size_t size) { return allocations += counting, sdlMalloc(size); },
      [](size_t count, size_t size) { return allocations += counting, sdlCalloc(count, size); },
      [](void* memory, size_t size) { return allocations += counting, sdlRealloc(memory, size); },
      sdlFree);
  return true;
}();

}  // namespace

void* operator new(std::size_t size) {
  allocations += counting;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }

void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

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

// Near an edge, just across it, or anywhere in between.
double Place(std::mt19937& random, double extent) {
  std::uniform_real_distribution<double> offset(-700, 700);
  std::uniform_real_distribution<double> anywhere(0, extent);
  const auto choice = random() % 3;
  return choice == 0 ? offset(random) : choice == 1 ? extent + offset(random) : anywhere(random);
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
    Form_Load(state);
  }

  // The ship anywhere at any heading, with or without shield and flame, firing now and then.
  void PlayFrame() {
    state.ShipX = Place(random, platform->PlayfieldWidth());
    state.ShipY = Place(random, platform->PlayfieldHeight());
    state.ShipAngle = Degrees(state, 5.0 * (random() % 72));
    state.KeyShield = random() % 2 == 0;
    state.KeyThrust = random() % 2 == 0;
    ClearShip(state, *platform);
    DrawShip(state, *platform);
    if (random() % 3 == 0) {
      SpawnBullet(state, kFirstMuzzlePoint);
      SpawnBullet(state, kSecondMuzzlePoint);
    }
    if (state.BulletCount > 0) UpdateBullets(state, *platform);
    platform->PumpEvents();
  }

  // Lit pixels in the window as last presented (the dummy driver's are 32-bit).
  int LitInWindow() {
    SDL_Surface* shown = SDL_GetWindowSurface(SDL_GetWindowFromID(Uint32(platform->Handle())));
    int lit = 0;
    for (int y = 0; y < shown->h; ++y) {
      const auto* row =
          reinterpret_cast<const Uint32*>(static_cast<Uint8*>(shown->pixels) + y * shown->pitch);
      for (int x = 0; x < shown->w; ++x) lit += (row[x] & 0xFFFFFF) != 0 ? 1 : 0;
    }
    return lit;
  }

  std::unique_ptr<SdlPlatform> platform;
  RecordingEvents events;
  std::mt19937 random{1234};
  GameState state;
};

TEST_F(SdlPlatformOnDummy, KeysOfOurWindowReachTheHandlersAsVirtualKeys) {
  // Code 0: not delivered. The apostrophe, percent, ampersand and left parenthesis have
  // the arrows' virtual-key codes as their characters; none may steer the ship.
  const std::pair<SDL_Keycode, int> downs[] = {
      {SDLK_LEFT, 37},    {SDLK_LEFT, 37},   {SDLK_UP, 38},     {SDLK_RIGHT, 39},
      {SDLK_DOWN, 40},    {SDLK_SPACE, 32},  {SDLK_ESCAPE, 27}, {SDLK_a, 65},
      {SDLK_z, 90},       {SDLK_0, 48},      {SDLK_9, 57},      {SDLK_F1, 112},
      {SDLK_F12, 123},    {SDLK_KP_0, 96},   {SDLK_KP_9, 105},  {SDLK_KP_ENTER, 13},
      {SDLK_LSHIFT, 16},  {SDLK_QUOTE, 222}, {SDLK_PERCENT, 0}, {SDLK_AMPERSAND, 0},
      {SDLK_LEFTPAREN, 0}};
  const WindowHandle ours = platform->Handle();
  std::vector<std::pair<int, int>> expected;
  for (const auto& [key, code] : downs) {
    PushKey(SDL_KEYDOWN, key, ours);
    if (code != 0) expected.emplace_back(1, code);
  }
  PushKey(SDL_KEYUP, SDLK_LEFT, ours);
  expected.emplace_back(0, 37);
  PushKey(SDL_KEYDOWN, SDLK_SPACE, ours + 1);  // another window's
  platform->PumpEvents();
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

// The game erases by drawing again in black: that must take every pixel of the ship, its
// flame and shield and every bullet off the raster, and each change must reach the window.
TEST_F(SdlPlatformOnDummy, ShipsAndBulletsErasedTheGamesWayLeaveEveryPixelBlack) {
  bool shown = false;
  for (int frame = 0; frame < 400; ++frame) {
    PlayFrame();
    if (frame % 20 == 0) shown = shown || LitInWindow() > 0;
  }
  ASSERT_TRUE(shown);
  ClearShip(state, *platform);
  for (int pass = 0; pass < 100 && state.BulletCount > 0; ++pass) UpdateBullets(state, *platform);
  ASSERT_EQ(state.BulletCount, 0);
  platform->PumpEvents();
  EXPECT_EQ(LitInWindow(), 0) << "an erase was not presented";
  PushWindowEvent(SDL_WINDOWEVENT_EXPOSED, platform->Handle());
  platform->PumpEvents();  // presents the whole raster
  EXPECT_EQ(LitInWindow(), 0) << "left on the raster";
}

TEST_F(SdlPlatformOnDummy, FramesDrawRefreshAndPresentWithoutAllocating) {
  // SDL's command and vertex buffers grow to their working size in the first frames.
  for (int frame = 0; frame < 100; ++frame) PlayFrame();
  counting = true;
  for (int frame = 0; frame < 300; ++frame) {
    PlayFrame();
    if (frame % 50 == 0) platform->RefreshPlayfield();
  }
  counting = false;
  EXPECT_EQ(allocations, 0);
}

// The game runs in the child until the event ends it; the alarm turns a missed exit into a
// failure instead of a hang.
void PlayUntil(void (*end)(WindowHandle)) {
  alarm(20);
  auto platform = CreateOnDummyDriver();
  Form1 form(*platform);
  platform->SetWindowEvents(form);
  form.Form_Load();
  platform->Show();
  end(platform->Handle());
  form.Form_Resize();
}

TEST(SdlPlatformDeathTest, EscQuitAndWindowCloseEndTheGameWithStatusZero) {
  EXPECT_EXIT(PlayUntil([](WindowHandle ours) { PushKey(SDL_KEYDOWN, SDLK_ESCAPE, ours); }),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(PlayUntil([](WindowHandle) {
                SDL_Event quit{.type = SDL_QUIT};
                SDL_PushEvent(&quit);
              }),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(PlayUntil([](WindowHandle ours) { PushWindowEvent(SDL_WINDOWEVENT_CLOSE, ours); }),
              ::testing::ExitedWithCode(0), "");
}

// Later tests name their driver themselves, so the environment needs no restoring.
TEST(SdlPlatformStart, FailsWithTheCauseWhenNoDisplayOrDriverCanBeHad) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  std::string error;
  EXPECT_EQ(SdlPlatform::Create(error), nullptr);
  EXPECT_NE(error.find("DISPLAY is empty"), std::string::npos) << error;
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  EXPECT_EQ(SdlPlatform::Create(error), nullptr);
  EXPECT_NE(error.find("SDL_VIDEODRIVER=no-such-driver"), std::string::npos) << error;
}

}  // namespace
}  // namespace quillfane
