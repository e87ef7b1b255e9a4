#include "platform/sdl_platform.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gamepad.h"
#include "platform/sdl_present.h"
#include "platform/sdl_startup.h"

namespace quillfane {

namespace {

constexpr const char* kTitle = "Quillfane";

struct OuterSize {
  int width = 0;
  int height = 0;
  bool operator==(const OuterSize&) const = default;
};

}  // namespace

struct SdlPlatform::Impl {
  Impl() : playfield(kInitialWidth, kInitialHeight) {}
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  // Exists only once SDL has started, so it is the one to stop it.
  ~Impl() {
    presenter.Stop();
    if (controller != nullptr) SDL_GameControllerClose(controller);
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_Quit();
  }

  OuterSize MeasureOuter() const;
  void Dispatch(const SDL_Event& event, bool& sizeChanged);
  void DeliverKey(const SDL_KeyboardEvent& key);
  void OpenFirstController();
  PadState ReadController() const;
  void DeliverResizeIfChanged(bool sizeChanged);
  [[noreturn]] void End();

  Raster playfield;
  SDL_Window* window = nullptr;
  WindowHandle handle = 0;
  WindowEvents* events = nullptr;
  HeldKeys keys;
  Gamepad gamepad;
  // The first controller found; another is taken up when it is unplugged.
  SDL_GameController* controller = nullptr;
  // As the window's focus events last said: a driver without focus, such as the dummy one,
  // sends none.
  bool focused = true;
  WindowPresenter presenter;
  // Window pixels to a raster pixel.
  int scale = 1;
  // The outer size as of the last resize the game was told of.
  OuterSize reported;
};

// Pixels; the frame extents are 0 until the window manager publishes them, which it may do
// only after the window is shown and without any event.
OuterSize SdlPlatform::Impl::MeasureOuter() const {
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(window, &width, &height);
  int top = 0;
  int left = 0;
  int bottom = 0;
  int right = 0;
  if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0) {
    top = left = bottom = right = 0;
  }
  return {(width + left + right) / scale, (height + top + bottom) / scale};
}

void SdlPlatform::Impl::Dispatch(const SDL_Event& event, bool& sizeChanged) {
  switch (event.type) {
    case SDL_QUIT:
      End();
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      DeliverKey(event.key);
      break;
    case SDL_JOYDEVICEADDED:
      // Else a controller without a mapping would do nothing, unexplained.
      if (SDL_IsGameController(event.jdevice.which) == SDL_FALSE) {
        const char* name = SDL_JoystickNameForIndex(event.jdevice.which);
        std::fprintf(stderr,
                     "quillfane: SDL knows no mapping for the controller \"%s\", so it does "
                     "nothing here; SDL_GAMECONTROLLERCONFIG can give one\n",
                     name != nullptr ? name : "unnamed");
      }
      break;
    case SDL_CONTROLLERDEVICEADDED:
      if (controller == nullptr) controller = SDL_GameControllerOpen(event.cdevice.which);
      break;
    case SDL_CONTROLLERDEVICEREMOVED:
      if (controller != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(
                                       controller)) == event.cdevice.which) {
        SDL_GameControllerClose(controller);
        controller = nullptr;
        OpenFirstController();
      }
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) End();
      if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) sizeChanged = true;
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) focused = false;
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) focused = true;
      if (event.window.event == SDL_WINDOWEVENT_SHOWN ||
          event.window.event == SDL_WINDOWEVENT_EXPOSED ||
          event.window.event == SDL_WINDOWEVENT_RESTORED || sizeChanged) {
        presenter.Invalidate();
      }
      break;
    default:
      break;
  }
}

// Auto-repeat arrives as further key-downs and goes through as such; the key-ups SDL
// sends for held keys when the window loses the focus go through too, so none sticks.
void SdlPlatform::Impl::DeliverKey(const SDL_KeyboardEvent& key) {
  const std::int16_t code = VirtualKeyFromSdl(key.keysym.sym, key.keysym.mod);
  const auto shift = static_cast<std::int16_t>(key.keysym.mod);
  if (key.type == SDL_KEYDOWN) {
    keys.Press(KeySource::kKeyboard, code, shift);
  } else {
    keys.Release(KeySource::kKeyboard, code, shift);
  }
}

void SdlPlatform::Impl::OpenFirstController() {
  for (int index = 0; controller == nullptr && index < SDL_NumJoysticks(); ++index) {
    if (SDL_IsGameController(index) == SDL_TRUE) controller = SDL_GameControllerOpen(index);
  }
}

// At rest without the focus, so that the controller's keys go up with the keyboard's and act
// again once the window is active.
PadState SdlPlatform::Impl::ReadController() const {
  if (controller == nullptr || !focused) return {};
  const auto button = [this](SDL_GameControllerButton which) {
    return SDL_GameControllerGetButton(controller, which) != 0;
  };
  const auto axis = [this](SDL_GameControllerAxis which) {
    return AxisFromInt16(SDL_GameControllerGetAxis(controller, which));
  };
  return {.dpadLeft = button(SDL_CONTROLLER_BUTTON_DPAD_LEFT),
          .dpadRight = button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT),
          .dpadUp = button(SDL_CONTROLLER_BUTTON_DPAD_UP),
          .dpadDown = button(SDL_CONTROLLER_BUTTON_DPAD_DOWN),
          .south = button(SDL_CONTROLLER_BUTTON_A),
          .east = button(SDL_CONTROLLER_BUTTON_B),
          .rightShoulder = button(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER),
          .back = button(SDL_CONTROLLER_BUTTON_BACK),
          .stickX = axis(SDL_CONTROLLER_AXIS_LEFTX),
          .stickY = -axis(SDL_CONTROLLER_AXIS_LEFTY),
          .leftTrigger = axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT),
          .rightTrigger = axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT)};
}

void SdlPlatform::Impl::DeliverResizeIfChanged(bool sizeChanged) {
  const OuterSize outer = MeasureOuter();
  if (!sizeChanged && outer == reported) return;
  reported = outer;
  presenter.Invalidate();
  if (events != nullptr) events->Form_Resize();
}

void SdlPlatform::Impl::End() {
  presenter.Stop();
  SDL_DestroyWindow(window);
  window = nullptr;
  SDL_Quit();
  std::exit(0);
}

SdlPlatform::SdlPlatform(std::unique_ptr<Impl> impl)
    : RasterPlatform(impl->playfield), impl_(std::move(impl)) {}

SdlPlatform::~SdlPlatform() = default;

std::unique_ptr<SdlPlatform> SdlPlatform::Create(std::string& error) {
  KeepStandardStreamsOpen();
  BeginStartGuard();
  auto impl = Start(error);
  if (impl == nullptr) {
    EndStartGuard(false);
    return nullptr;
  }
  return std::unique_ptr<SdlPlatform>(new SdlPlatform(std::move(impl)));
}

std::unique_ptr<SdlPlatform::Impl> SdlPlatform::Start(std::string& error) {
  if (!ChooseVideoDriver(error)) return nullptr;
  // Without a GPU the texture path costs several times the shared-memory one per present.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  StartStep("SDL's video driver did not start");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    error = DescribeStartFailure(SDL_GetError());
    return nullptr;
  }
  if (StartedUnseen(SDL_GetCurrentVideoDriver())) {
    error = DescribeStartFailure(std::string("only its ") + SDL_GetCurrentVideoDriver() +
                                 " driver started");
    SDL_Quit();
    return nullptr;
  }
  // Without controllers the game still plays from the keyboard. Those already plugged in
  // arrive as added events.
  StartStep("SDL's game controllers did not start");
  SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
  StartStep("the window was not created");
  auto impl = std::make_unique<Impl>();
  impl->window =
      SDL_CreateWindow(kTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kClientPixelWidth,
                       kClientPixelHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (impl->window == nullptr) {
    error = std::string("SDL could not create the window (") + SDL_GetError() + ")";
    return nullptr;
  }
  impl->handle = SDL_GetWindowID(impl->window);
  SDL_SetWindowMaximumSize(impl->window, Raster::kMaxSide, Raster::kMaxSide);
  SDL_SysWMinfo system;
  SDL_VERSION(&system.version);
  const bool x11 =
      SDL_GetWindowWMInfo(impl->window, &system) == SDL_TRUE && system.subsystem == SDL_SYSWM_X11;
  if (x11) WatchXWindow(system.info.x11.window);
  if (!ChooseScale(x11 ? system.info.x11.display : nullptr, impl->scale, error)) return nullptr;
  if (impl->scale > 1) {
    SDL_SetWindowSize(impl->window, kClientPixelWidth * impl->scale,
                      kClientPixelHeight * impl->scale);
    SDL_SetWindowPosition(impl->window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  // SDL 2.26 has no window surface on Wayland; its renderer must be made before the window
  // is shown, as it may make the window again.
  const bool wayland = std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0;
  if (!impl->presenter.Start(impl->window, wayland, impl->scale, error)) return nullptr;
  return impl;
}

void SdlPlatform::ReportStartFailure(const std::string& error) {
  std::fprintf(stderr, "quillfane: cannot open a window: %s\n", error.c_str());
}

void SdlPlatform::SetWindowEvents(WindowEvents& events) {
  impl_->events = &events;
  impl_->keys.SetEvents(&events);
}

// SDL waits for an X window manager to map the window, without a limit of its own; a
// Wayland window is mapped by its first frame.
void SdlPlatform::Show() {
  const bool wayland = std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0;
  StartStep(wayland ? "the compositor did not show the window"
                    : "the window manager did not show the window");
  SDL_ShowWindow(impl_->window);
  StartStep("the first frame was not presented");
  impl_->reported = impl_->MeasureOuter();
  impl_->presenter.Invalidate();
  if (!impl_->presenter.Present(impl_->playfield)) {
    std::fprintf(stderr, "quillfane: cannot present to the window (%s)\n", SDL_GetError());
    std::exit(1);
  }
  EndStartGuard(true);
}

float SdlPlatform::WindowWidth() const {
  return static_cast<float>(impl_->MeasureOuter().width) * kTwipsPerPixel;
}

float SdlPlatform::WindowHeight() const {
  return static_cast<float>(impl_->MeasureOuter().height) * kTwipsPerPixel;
}

WindowHandle SdlPlatform::Handle() const { return impl_->handle; }

WindowHandle SdlPlatform::GetActiveWindow() const {
  return SDL_GetKeyboardFocus() == impl_->window ? impl_->handle : 0;
}

void SdlPlatform::RefreshPlayfield() {
  impl_->playfield.Clear();
  impl_->presenter.Invalidate();
  impl_->presenter.Present(impl_->playfield);
}

// The window's client area is the playfield, so it already has the keys whenever the
// window has the focus.
void SdlPlatform::FocusPlayfield() {}

void SdlPlatform::PumpEvents() {
  bool sizeChanged = false;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) impl_->Dispatch(event, sizeChanged);
  impl_->gamepad.Update(impl_->ReadController(), impl_->keys);
  impl_->DeliverResizeIfChanged(sizeChanged);
  impl_->presenter.Present(impl_->playfield);
}

void SdlPlatform::Sleep(int milliseconds) {
  SDL_Delay(milliseconds > 0 ? static_cast<Uint32>(milliseconds) : 0);
}

void SdlPlatform::EndProgram() { impl_->End(); }

}  // namespace quillfane
