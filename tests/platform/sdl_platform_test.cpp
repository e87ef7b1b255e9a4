// The SDL backend under SDL's dummy video driver: no display needed.
#include "platform/sdl_platform.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "game/form1.h"
#include "game/frame.h"

namespace {

int allocations = 0;
bool counting = false;
SDL_malloc_func sdlMalloc;
SDL_calloc_func sdlCalloc;
SDL_realloc_func sdlRealloc;
SDL_free_func sdlFree;

// Installed before main so that SDL's own allocations are counted too.
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

struct KeyLog final : WindowEvents {
  void Form_Load() override {}
  void Form_Resize() override { onResize(); }
  void Picture1_KeyDown(std::int16_t code, std::int16_t) override { keys.emplace_back(1, code); }
  void Picture1_KeyUp(std::int16_t code, std::int16_t) override { keys.emplace_back(0, code); }
  std::vector<std::pair<int, int>> keys;  // (down, code)
  std::function<void()> onResize = [] {};
};

// Pixels where the window's surface differs from the raster, or from green when it should be
// untouched.
int Mismatches(SdlPlatform& platform, bool green = false) {
  SDL_Surface* shown = SDL_GetWindowSurface(SDL_GetWindowFromID(Uint32(platform.Handle())));
  int wrong = 0;
  for (int y = 0; y < shown->h; ++y)
    for (int x = 0; x < shown->w; ++x)
      wrong += (static_cast<Uint32*>(shown->pixels)[y * shown->pitch / 4 + x] & 0xFFFFFF) !=
               (green ? 0x00FF00 : platform.Playfield().PixelAt(x, y));
  return wrong;
}

void Push(Uint32 type, Uint8 windowEvent = 0, SDL_Keycode key = 0, Uint16 mod = 0) {
  SDL_Event event{};
  event.type = type;
  if (type == SDL_WINDOWEVENT) event.window.event = windowEvent;
  event.key.keysym.sym = key;
  event.key.keysym.mod = mod;
  SDL_PushEvent(&event);
}

TEST(SdlPlatform, VirtualKeysAndStartFailures) {
  const int keys[][3] = {
      {SDLK_LEFT, 0, 37},         {SDLK_UP, KMOD_NUM, 38},    {SDLK_RIGHT, 0, 39},
      {SDLK_DOWN, 0, 40},         {SDLK_SPACE, 0, 32},        {SDLK_ESCAPE, 1, 27},
      {SDLK_KP_4, 0, 37},         {SDLK_KP_8, 0, 38},         {SDLK_KP_6, 0, 39},
      {SDLK_KP_2, 0, 40},         {SDLK_KP_4, KMOD_NUM, 100}, {SDLK_KP_8, KMOD_NUM, 104},
      {SDLK_KP_6, KMOD_NUM, 102}, {SDLK_KP_2, KMOD_NUM, 98},  {SDLK_a, 0, 65},
      {SDLK_QUOTE, 0, 222},       {SDLK_LEFTPAREN, 0, 0},     {SDLK_F12, 0, 123}};
  for (const auto& [key, mod, code] : keys) EXPECT_EQ(VirtualKeyFromSdl(key, mod), code) << key;

  // Only a Wayland display named, with nothing answering there: said in one line of ours.
  unsetenv("DISPLAY"), unsetenv("SDL_VIDEODRIVER");
  setenv("WAYLAND_DISPLAY", "quillfane-test-none", 1), setenv("XDG_RUNTIME_DIR", "/tmp", 1);
  std::string error;
  EXPECT_EQ(SdlPlatform::Create(error), nullptr);
  EXPECT_EQ(error.find("no Wayland compositor answers at /tmp/quillfane-test-none"), 0) << error;
}

TEST(SdlPlatform, FramesPresentTheRasterAndAllocateNothing) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::string error;
  auto platform = SdlPlatform::Create(error);
  ASSERT_NE(platform, nullptr) << error;
  GameState state;
  int resizes = 0;
  KeyLog events;
  events.onResize = [&] { ++resizes, FitPlayfieldToWindow(state, *platform); };
  platform->SetWindowEvents(events);
  platform->Show();
  Form_Load(state);
  FitPlayfieldToWindow(state, *platform);
  state.KeyLeft = state.KeyThrust = true;
  Push(SDL_KEYDOWN, 0, SDLK_KP_4), Push(SDL_KEYUP, 0, SDLK_KP_4, KMOD_NUM);
  Push(SDL_KEYDOWN, 0, SDLK_LEFTPAREN);
  // Uncounted: the raster settles on the playfield's size, SDL sets up its event queue.
  RunFrame(state, *platform);
  counting = true;
  for (int frame = 0; frame < 100; ++frame) {
    state.KeyFire = state.FireReady = frame % 4 == 0;
    state.KeyShield = frame % 8 < 4;
    RunFrame(state, *platform);
  }
  counting = false;
  EXPECT_TRUE(state.BulletCount > 0 && allocations == 0) << allocations << " allocations";
  EXPECT_EQ(events.keys, (std::vector<std::pair<int, int>>{{1, 37}, {0, 100}}));

  // The window's pixels against the raster's: after drawing, after the window's own pixels
  // were lost (exposed, restored), and after a refresh.
  EXPECT_EQ(Mismatches(*platform), 0);
  SDL_Window* window = SDL_GetWindowFromID(Uint32(platform->Handle()));
  for (const Uint8 lost : {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_RESTORED}) {
    SDL_FillRect(SDL_GetWindowSurface(window), nullptr, 0x00FF00);
    Push(SDL_WINDOWEVENT, lost);
    platform->PumpEvents();
    EXPECT_EQ(Mismatches(*platform), 0) << int(lost);
  }
  platform->RefreshPlayfield();
  EXPECT_EQ(Mismatches(*platform), 0);

  // A window manager's resize, as SDL_SetWindowSize makes one: the game is told once and reads
  // the new outer size (the dummy driver's windows have no frame). Past the raster's bound,
  // which a window manager may ignore, one line is said, once, and nothing is shown.
  SDL_SetWindowMaximumSize(window, 9000, 9000);
  for (const auto& [width, height] :
       {std::pair{640, 300}, {Raster::kMaxSide + 1, 200}, {300, 500}}) {
    SDL_SetWindowSize(window, width, height);
    SDL_FillRect(SDL_GetWindowSurface(window), nullptr, 0x00FF00);
    resizes = 0;
    ::testing::internal::CaptureStderr();
    for (int frame = 0; frame < 3; ++frame) RunFrame(state, *platform);
    const std::string said = ::testing::internal::GetCapturedStderr();
    const bool tooLarge = width > Raster::kMaxSide;
    EXPECT_TRUE(resizes == 1 && platform->PlayfieldWidth() == width * 15.0F &&
                platform->PlayfieldHeight() == height * 15.0F && said.empty() != tooLarge &&
                said.find("quillfane:", 1) == std::string::npos &&
                Mismatches(*platform, tooLarge) == 0)
        << width << ": " << resizes << " resizes, said " << said;
  }
  EXPECT_EXIT((Push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE), platform->PumpEvents()),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT((Push(SDL_QUIT), platform->PumpEvents()), ::testing::ExitedWithCode(0), "");
}

// A virtual controller with the standard layout, which SDL takes for a game controller. The
// dummy driver's window never has the focus, without which SDL would drop the controller's
// input. Its keys go up when the focus goes, come back with it, and go up when unplugged; a
// controller plugged in next is read, its Back as the game's Esc.
TEST(SdlPlatform, ControllerKeys) {
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  std::string error;
  auto platform = SdlPlatform::Create(error);
  KeyLog events;
  platform->SetWindowEvents(events);
  SDL_VirtualJoystickDesc pad{};
  pad.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION, pad.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  pad.naxes = SDL_CONTROLLER_AXIS_MAX, pad.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  const int index = SDL_JoystickAttachVirtualEx(&pad);
  SDL_Joystick* joystick = SDL_JoystickOpen(index);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, -32768);
  for (int frame = 0; frame < 12; ++frame) {
    SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_A, frame % 6 < 3);
    platform->PumpEvents();
  }
  Push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST), platform->PumpEvents();
  Push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_GAINED), platform->PumpEvents();
  SDL_JoystickClose(joystick), SDL_JoystickDetachVirtual(index), platform->PumpEvents();
  joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&pad));
  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_BACK, 1), platform->PumpEvents();
  const std::vector<std::pair<int, int>> heard = {{1, 37}, {1, 32}, {0, 32}, {1, 32}, {0, 32},
                                                  {0, 37}, {1, 37}, {0, 37}, {1, 27}};
  EXPECT_EQ(events.keys, heard);
}

}  // namespace
}  // namespace quillfane
