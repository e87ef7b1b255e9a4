// The SDL backend under SDL's dummy video driver: no display needed.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "game/form1.h"
#include "game/frame.h"
#include "platform/sdl/sdl_present.h"
#include "platform/sdl/sdl_startup.h"
#include "platform/window_base.h"
#include "tests/recording_platform.h"

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

// The window areas the backend asks SDL to show, as they reach the screen.
SDL_Rect updated[64];
int updatedCount = 0;

void NoteUpdated(const SDL_Rect& rect) { updated[updatedCount++ % 64] = rect; }

// The frame a window manager draws around the window, in window pixels; the dummy driver's
// windows have none of their own.
struct {
  int top = 0, left = 0, bottom = 0, right = 0;
} windowFrame;

}  // namespace

extern "C" int SDL_GetWindowBordersSize(SDL_Window*, int* top, int* left, int* bottom, int* right) {
  *top = windowFrame.top;
  *left = windowFrame.left;
  *bottom = windowFrame.bottom;
  *right = windowFrame.right;
  return 0;
}

extern "C" int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
  static const auto real = reinterpret_cast<int (*)(SDL_Window*, const SDL_Rect*, int)>(
      dlsym(RTLD_NEXT, "SDL_UpdateWindowSurfaceRects"));
  for (int i = 0; i < count; ++i) NoteUpdated(rects[i]);
  return real(window, rects, count);
}
extern "C" int SDL_UpdateWindowSurface(SDL_Window* window) {
  static const auto real =
      reinterpret_cast<int (*)(SDL_Window*)>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface"));
  NoteUpdated({0, 0, 1 << 14, 1 << 14});
  return real(window);
}

void* operator new(std::size_t size) {
  allocations += counting;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace quillfane {
namespace {

using testing::RecordingPlatform;

struct KeyLog final : WindowEvents {
  void Form_Load() override {}
  void Form_Resize() override { onResize(); }
  void Picture1_KeyDown(std::int16_t code, std::int16_t shift) override { Heard(1, code, shift); }
  void Picture1_KeyUp(std::int16_t code, std::int16_t shift) override { Heard(0, code, shift); }
  void Heard(int down, int code, int shift) {
    keys.emplace_back(down, code);
    shifts.push_back(shift);
  }
  std::vector<std::pair<int, int>> keys;  // (down, code)
  std::vector<int> shifts;
  std::function<void()> onResize = [] {};
};

// Pixels where the window's surface differs from the raster, each raster pixel scale x scale
// window pixels, or from green when it should be untouched; and changed pixels outside the
// areas shown since updatedCount was 0.
int Mismatches(SDL_Window* window, Raster& raster, bool green = false, int scale = 1,
               const std::vector<Uint32>& before = {}) {
  SDL_Surface* shown = SDL_GetWindowSurface(window);
  int wrong = 0;
  for (int y = 0; y < shown->h; ++y)
    for (int x = 0; x < shown->w; ++x) {
      const Uint32 pixel = static_cast<Uint32*>(shown->pixels)[y * shown->pitch / 4 + x];
      const SDL_Point point{x, y};
      bool covered = before.empty() || before[y * shown->w + x] == pixel;
      for (int i = 0; i < std::min(updatedCount, 64); ++i)
        covered = covered || SDL_PointInRect(&point, &updated[i]);
      wrong += !covered ||
               (pixel & 0xFFFFFF) != (green ? 0x00FF00 : raster.PixelAt(x / scale, y / scale));
    }
  return wrong;
}
int Mismatches(WindowBase& platform, bool green = false) {
  return Mismatches(SDL_GetWindowFromID(Uint32(platform.Handle())), platform.Playfield(), green);
}

std::vector<Uint32> Pixels(SDL_Surface* surface) {
  const auto* pixels = static_cast<Uint32*>(surface->pixels);
  return {pixels, pixels + surface->w * surface->h};
}

// Lines, boxes and circles in white and black, some reaching past every edge.
void Scribble(Platform& platform, std::mt19937& random) {
  std::uniform_real_distribution<float> at(-1500, 9000);
  for (int figure = 0; figure < 6; ++figure) {
    const std::uint8_t grey = random() % 2 != 0 ? 255 : 0;
    platform.SetPenColour(grey, grey, grey);
    const float x = at(random), y = at(random), u = at(random), v = at(random);
    if (figure % 3 == 0) platform.DrawLine(x, y, u, v);
    if (figure % 3 == 1) platform.DrawBox(x, y, x + 200, y + 90);
    if (figure % 3 == 2) platform.DrawCircle(x, y, u / 10);
  }
}

void Push(Uint32 type, Uint8 windowEvent = 0, SDL_Keycode key = 0, Uint16 mod = 0) {
  SDL_Event event{};
  event.type = type;
  if (type == SDL_WINDOWEVENT) event.window.event = windowEvent;
  event.key.keysym.sym = key;
  event.key.keysym.mod = mod;
  SDL_PushEvent(&event);
}

// No driver asked for by name may start unseen; a standard stream closed at the start is opened
// again, so no later file takes its number.
TEST(SdlPlatform, StartFailures) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  EXPECT_FALSE(StartedUnseen("dummy")) << "the dummy driver, asked for by name";
  EXPECT_FALSE(StartedUnseen("x11"));
  unsetenv("SDL_VIDEODRIVER");
  EXPECT_TRUE(StartedUnseen("dummy")) << "the dummy driver, fallen back to";
  EXPECT_TRUE(StartedUnseen("offscreen"));
  EXPECT_FALSE(StartedUnseen("x11"));

  const int input = dup(0);
  close(0);
  KeepStandardStreamsOpen();
  EXPECT_NE(fcntl(0, F_GETFD), -1) << "standard input, closed at the start, still closed";
  dup2(input, 0);
  close(input);
}

// QUILLFANE_SCALE over the desktop's scale, refused when out of range; the desktop's rounded.
TEST(SdlPlatform, Scale) {
  constexpr int kRefused = -1;
  const struct {
    const char* chosen;
    double desktop;
    int scale;
  } cases[] = {{"3", 2, 3},       {"0", 1, kRefused}, {"5", 1, kRefused}, {"22", 1, kRefused},
               {"", 1, kRefused}, {nullptr, 9, 4},    {nullptr, 1.5, 2},  {nullptr, 0.4, 1}};
  for (const auto& c : cases) {
    if (c.chosen) {
      setenv("QUILLFANE_SCALE", c.chosen, 1);
    } else {
      unsetenv("QUILLFANE_SCALE");
    }
    int scale = 0;
    std::string error;
    const bool chosen = ChooseScale(c.desktop, scale, error);
    EXPECT_EQ(chosen ? scale : kRefused, c.scale) << c.chosen << " " << c.desktop;
    if (!chosen) {
      EXPECT_EQ(error,
                "QUILLFANE_SCALE=" + std::string(c.chosen) + " is not a whole number from 1 to 4");
    }
  }
  unsetenv("QUILLFANE_SCALE");
}

void SignalledWhileStarting(int signal) {
  BeginStartGuard();
  std::raise(signal);
}

void SignalledOnceStarted(int signal) {
  BeginStartGuard();
  EndStartGuard(true);
  std::raise(signal);
}

void AlarmWhileCreatingTheWindow() {
  BeginStartGuard();
  StartStep("the window was not created");
  std::raise(SIGALRM);
}

// The guard's statuses: a signal before the first frame is a start that failed, one after it an
// end; a step unfinished when the alarm rings is named.
TEST(SdlPlatform, StartGuard) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_EXIT(SignalledWhileStarting(signal), ::testing::ExitedWithCode(1), "") << signal;
    EXPECT_EXIT(SignalledOnceStarted(signal), ::testing::ExitedWithCode(0), "") << signal;
  }
  EXPECT_EXIT(AlarmWhileCreatingTheWindow(), ::testing::ExitedWithCode(1),
              "^quillfane: the window was not created within 5 seconds");
  BeginStartGuard();
  EXPECT_EQ(alarm(0), 5U) << "seconds on the alarm once the guard begins";
  BeginStartGuard();
  EndStartGuard(false);
  EXPECT_EQ(alarm(0), 0U) << "seconds on the alarm once the guard ends";
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
}

// The game's window, shown under the dummy driver, the game loaded and fitted to it; the key
// and resize events it hears logged.
class ShownWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    // The dummy driver's window never has the focus, without which SDL drops a controller's input.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    platform = OpenWindow(error);
    ASSERT_NE(platform, nullptr) << error;
    events.onResize = [this] {
      ++resizes;
      FitPlayfieldToWindow(state, *platform);
    };
    platform->SetWindowEvents(events);
    platform->Show();
    Form_Load(state);
    FitPlayfieldToWindow(state, *platform);
    window = SDL_GetWindowFromID(Uint32(platform->Handle()));
  }

  // Frames of a ship turning and thrusting, its shield up and down, firing now and then.
  void Fly(int frames) {
    state.KeyLeft = true;
    state.KeyThrust = true;
    for (int frame = 0; frame < frames; ++frame) {
      state.KeyFire = state.FireReady = frame % 4 == 0;
      state.KeyShield = frame % 8 < 4;
      RunFrame(state, *platform);
    }
  }

  // The event pushed and handled, as the window's next events are.
  void Hear(Uint32 type, Uint8 windowEvent = 0) {
    Push(type, windowEvent);
    platform->PumpEvents();
  }

  std::string error;
  std::unique_ptr<WindowBase> platform;
  GameState state;
  KeyLog events;
  int resizes = 0;
  SDL_Window* window = nullptr;
};

TEST_F(ShownWindow, FramesAllocateNothing) {
  RunFrame(state, *platform);  // uncounted: the raster settles on the playfield's size
  counting = true;
  Fly(100);
  counting = false;
  EXPECT_GT(state.BulletCount, 0) << "bullets fired in the frames";
  EXPECT_EQ(allocations, 0) << "allocations in 100 frames";
}

// The keypad's 4 with NumLock off and on, a key with no code, Left with shifts held.
TEST_F(ShownWindow, KeysHeardWithTheirShifts) {
  Push(SDL_KEYDOWN, 0, SDLK_KP_4);
  Push(SDL_KEYUP, 0, SDLK_KP_4, KMOD_NUM);
  Push(SDL_KEYDOWN, 0, SDLK_LEFTPAREN);
  Push(SDL_KEYDOWN, 0, SDLK_LEFT, KMOD_RSHIFT | KMOD_LCTRL);
  Push(SDL_KEYUP, 0, SDLK_LEFT, KMOD_RALT);
  platform->PumpEvents();
  EXPECT_EQ(events.keys, (std::vector<std::pair<int, int>>{{1, 37}, {0, 100}, {1, 37}, {0, 37}}));
  EXPECT_EQ(events.shifts, (std::vector<int>{0, 0, 3, 4}));
}

// The window's pixels against the raster's: after frames, after the window's own pixels were
// lost (exposed, restored), and after a refresh.
TEST_F(ShownWindow, LostPixelsShownAgain) {
  Fly(100);
  EXPECT_EQ(Mismatches(*platform), 0) << "after the frames";
  for (const Uint8 lost : {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_RESTORED}) {
    SDL_FillRect(SDL_GetWindowSurface(window), nullptr, 0x00FF00);
    Hear(SDL_WINDOWEVENT, lost);
    EXPECT_EQ(Mismatches(*platform), 0) << "after window event " << int(lost);
  }
  platform->RefreshPlayfield();
  EXPECT_EQ(Mismatches(*platform), 0) << "after a refresh";
}

// A window manager's resize, as SDL_SetWindowSize makes one, in a frame 9 pixels wide and 34
// tall in all: the game is told once and reads the new outer size. Past the raster's bound,
// which a window manager may ignore, one line is said, once, and nothing is shown.
TEST_F(ShownWindow, ResizesReadTheFramedOuterSize) {
  SDL_SetWindowMaximumSize(window, 9000, 9000);
  windowFrame = {.top = 30, .left = 4, .bottom = 4, .right = 5};
  for (const auto& [width, height] :
       {std::pair{640, 300}, {Raster::kMaxSide + 1, 200}, {300, 500}}) {
    SDL_SetWindowSize(window, width, height);
    SDL_FillRect(SDL_GetWindowSurface(window), nullptr, 0x00FF00);
    resizes = 0;
    ::testing::internal::CaptureStderr();
    for (int frame = 0; frame < 3; ++frame) RunFrame(state, *platform);
    const std::string said = ::testing::internal::GetCapturedStderr();
    const bool tooLarge = width > Raster::kMaxSide;
    EXPECT_EQ(platform->PlayfieldWidth(), (width + 9) * 15.0F) << "the outer width, framed";
    EXPECT_EQ(platform->PlayfieldHeight(), (height + 34) * 15.0F) << "the outer height, framed";
    EXPECT_EQ(resizes, 1) << width << "x" << height << ": resizes told";
    EXPECT_EQ(said.empty(), !tooLarge) << width << "x" << height << ": said " << said;
    EXPECT_EQ(said.find("quillfane:", 1), std::string::npos) << "more than one line: " << said;
    EXPECT_EQ(Mismatches(*platform, tooLarge), 0) << width << "x" << height << ": pixels wrong";
  }
  windowFrame = {};
}

TEST_F(ShownWindow, CloseAndQuitEndTheGame) {
  EXPECT_EXIT(Hear(SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(Hear(SDL_QUIT), ::testing::ExitedWithCode(0), "");
}

class ScaledWindow : public ShownWindow {
 protected:
  void SetUp() override {
    setenv("QUILLFANE_SCALE", "2", 1);
    ShownWindow::SetUp();
    unsetenv("QUILLFANE_SCALE");
  }
};

// At scale 2, with the playfield sized to an outer size that holds a frame and so reaches past
// the client area, then shorter than the client area: every window pixel shows its raster pixel
// (black below the playfield), and every change is shown.
TEST_F(ScaledWindow, PresentsEveryChange) {
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  EXPECT_EQ(surface->w, 948);
  EXPECT_EQ(surface->h, 802);
  EXPECT_EQ(platform->WindowWidth(), 474 * 15.0F) << "the width the game reads, unscaled";
  platform->PumpEvents();  // the first resize, which would fit the playfield to the window
  std::mt19937 random(7);
  for (const int height : {401 + 30, 401 - 30}) {
    platform->SetPlayfieldWidth((474 + 9) * 15.0F);
    platform->SetPlayfieldHeight(height * 15.0F);
    for (int round = 0; round < 30; ++round) {
      if (round % 5 == 0) Push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_EXPOSED);
      Scribble(*platform, random);
      // The last row lit past the window's right edge, where a whole present must stop: rows
      // copied wider than the window would spill it onto the black below the playfield.
      platform->SetPenColour(255, 255, 255);
      platform->DrawBox(474 * 15.0F, (height - 1) * 15.0F, 483 * 15.0F, height * 15.0F);
      const std::vector<Uint32> before = Pixels(surface);
      updatedCount = 0;
      platform->PumpEvents();
      ASSERT_EQ(Mismatches(window, platform->Playfield(), false, 2, before), 0)
          << "playfield " << height << " pixels tall, round " << round;
    }
  }
}

// Where SDL has no window surface (Wayland), through a renderer's texture: the same picture
// after each present, changes included, once the display's refresh has let it draw.
TEST(SdlPlatform, TexturePresents) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
  SDL_Window* window = SDL_CreateWindow("", 0, 0, 200, 160, 0);
  RecordingPlatform platform;
  platform.raster.SetWidth(130 * 15);
  platform.raster.SetHeight(70 * 15);
  std::string error;
  {
    WindowPresenter presenter;
    ASSERT_TRUE(presenter.Start(window, true, 2, error)) << error;
    std::mt19937 random(3);
    for (int round = 0; round < 12; ++round) {
      // Drawn at most once a refresh: the third present comes too soon to draw, the fourth
      // draws what it left.
      bool shown = true;
      for (int present = 0; present < 4; ++present) {
        if (present < 3) Scribble(platform, random);
        if (present == 3) SDL_Delay(20);
        shown = presenter.Present(platform.raster, round + present == 0) && shown;
        platform.raster.ClearDirty();
      }
      ASSERT_TRUE(shown) << "round " << round << ": a present failed";
      ASSERT_EQ(Mismatches(window, platform.raster, false, 2), 0) << "round " << round;
    }
  }
  SDL_DestroyWindow(window);
  SDL_Quit();
}

// A virtual controller with the standard layout, which SDL takes for a game controller: each
// axis pushed part of the way, either way, then each button; keys held go up when the focus goes
// and come back with it. With a second controller plugged in, the first unplugged: the second is
// read, its Back as the game's Esc.
TEST_F(ShownWindow, ControllerKeys) {
  SDL_VirtualJoystickDesc pad{};
  pad.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  pad.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  pad.naxes = SDL_CONTROLLER_AXIS_MAX;
  pad.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  const int index = SDL_JoystickAttachVirtualEx(&pad);
  SDL_Joystick* first = SDL_JoystickOpen(index);
  SDL_Joystick* second = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&pad));
  platform->PumpEvents();
  const auto axis = [&](SDL_GameControllerAxis which, int value) {
    SDL_JoystickSetVirtualAxis(first, which, Sint16(value));
    platform->PumpEvents();
  };
  const auto button = [&](SDL_Joystick* joystick, int which, bool down) {
    SDL_JoystickSetVirtualButton(joystick, which, down);
    platform->PumpEvents();
  };
  const std::pair<SDL_GameControllerAxis, int> axes[] = {
      {SDL_CONTROLLER_AXIS_LEFTX, 18000},      {SDL_CONTROLLER_AXIS_LEFTX, -18000},
      {SDL_CONTROLLER_AXIS_LEFTY, -18000},     {SDL_CONTROLLER_AXIS_LEFTY, 32767},
      {SDL_CONTROLLER_AXIS_LEFTX, 14000},      {SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767},
      {SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767}};
  std::vector<std::size_t> heardAfter;
  for (const auto& [which, value] : axes) {
    axis(which, value);
    axis(which, which >= SDL_CONTROLLER_AXIS_TRIGGERLEFT ? -32768 : 0);  // back at rest
    heardAfter.push_back(events.keys.size());
  }
  EXPECT_EQ(heardAfter, (std::vector<std::size_t>{2, 4, 6, 6, 6, 8, 10}));
  for (const int which : {SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
                          SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                          SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER}) {
    button(first, which, true);
    button(first, which, false);
  }
  button(first, SDL_CONTROLLER_BUTTON_A, true);
  Hear(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST);
  Hear(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_GAINED);
  button(second, SDL_CONTROLLER_BUTTON_BACK, true);
  SDL_JoystickClose(first);
  SDL_JoystickDetachVirtual(index);
  platform->PumpEvents();
  const std::vector<std::pair<int, int>> heard = {
      {1, 39}, {0, 39}, {1, 37}, {0, 37}, {1, 38}, {0, 38}, {1, 38}, {0, 38}, {1, 40},
      {0, 40}, {1, 37}, {0, 37}, {1, 39}, {0, 39}, {1, 38}, {0, 38}, {1, 40}, {0, 40},
      {1, 40}, {0, 40}, {1, 32}, {0, 32}, {1, 32}, {0, 32}, {1, 32}, {0, 32}, {1, 27}};
  EXPECT_EQ(events.keys, heard);
}

}  // namespace
}  // namespace quillfane
