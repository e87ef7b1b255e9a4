#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/command_line.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/sdl_present.h"
#include "platform/sdl/sdl_startup.h"
#include "platform/virtual_keys.h"
#include "platform/window_base.h"

namespace quillfane {

namespace {

constexpr const char* kTitle = "Quillfane";

bool OnWayland() { return std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0; }

// The game's window on SDL2: one resizable window whose client area shows the playfield's
// raster, each raster pixel as scale x scale window pixels.
class SdlWindow final : public WindowBase {
 public:
  // Exists only once SDL has started, so it is the one to stop it.
  ~SdlWindow() override { Close(); }

  // False, with a one-line reason, when the window cannot be made.
  bool Open(std::string& error);

  WindowHandle Handle() const override { return handle_; }
  // The window's client area is the playfield, so it already has the keys whenever the
  // window has the focus.
  void FocusPlayfield() override {}

 private:
  void ShowWindow() override;
  std::optional<OuterSize> MeasureOuter() const override;
  bool PresentPlayfield(Raster& playfield, bool all) override {
    return presenter_.Present(playfield, all);
  }
  bool ReadController(PadState& pad) override;
  bool HasFocus() const override { return focused_; }
  void DispatchEvents() override;
  void Wait(unsigned milliseconds) override { SDL_Delay(milliseconds); }
  [[noreturn]] void CloseAndExit() override {
    Close();
    std::exit(0);
  }
  void Started(bool shown) override;

  void Dispatch(const SDL_Event& event);
  void DeliverKey(const SDL_KeyboardEvent& key);
  void OpenFirstController();
  void Close();

  SDL_Window* window_ = nullptr;
  WindowHandle handle_ = 0;
  // The first controller found; another is taken up when it is unplugged.
  SDL_GameController* controller_ = nullptr;
  // As the window's focus events last said: a driver without focus, such as the dummy one,
  // sends none, and its window counts as focused.
  bool focused_ = true;
  WindowPresenter presenter_;
  // Window pixels to a raster pixel.
  int scale_ = 1;
};

bool SdlWindow::Open(std::string& error) {
  window_ =
      SDL_CreateWindow(kTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kClientPixelWidth,
                       kClientPixelHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (window_ == nullptr) {
    error = std::string("SDL could not create the window (") + SDL_GetError() + ")";
    return false;
  }
  handle_ = SDL_GetWindowID(window_);
  SDL_SetWindowMaximumSize(window_, Raster::kMaxSide, Raster::kMaxSide);
  if (!ChooseScale(DesktopScale(WatchX11Window(window_)), scale_, error)) return false;
  if (scale_ > 1) {
    SDL_SetWindowSize(window_, kClientPixelWidth * scale_, kClientPixelHeight * scale_);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  // SDL 2.26 has no window surface on Wayland; its renderer must be made before the window
  // is shown, as it may make the window again.
  return presenter_.Start(window_, OnWayland(), scale_, error);
}

// SDL waits for an X window manager to map the window, without a limit of its own; a
// Wayland window is mapped by its first frame.
void SdlWindow::ShowWindow() {
  StartStep(OnWayland() ? "the compositor did not show the window"
                        : "the window manager did not show the window");
  SDL_ShowWindow(window_);
  StartStep("the first frame was not presented");
}

void SdlWindow::Started(bool shown) {
  if (!shown) {
    std::fprintf(stderr, "quillfane: cannot present to the window (%s)\n", SDL_GetError());
    std::exit(1);
  }
  EndStartGuard(true);
}

// Pixels; the frame extents are 0 until the window manager publishes them, which it may do
// only after the window is shown and without any event.
std::optional<WindowBase::OuterSize> SdlWindow::MeasureOuter() const {
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  int top = 0;
  int left = 0;
  int bottom = 0;
  int right = 0;
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) {
    top = left = bottom = right = 0;
  }
  return OuterSize{(width + left + right) / scale_, (height + top + bottom) / scale_};
}

void SdlWindow::DispatchEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) Dispatch(event);
}

void SdlWindow::Dispatch(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      EndProgram();  // does not return
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
      if (controller_ == nullptr) controller_ = SDL_GameControllerOpen(event.cdevice.which);
      break;
    case SDL_CONTROLLERDEVICEREMOVED:
      if (controller_ != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(
                                        controller_)) == event.cdevice.which) {
        SDL_GameControllerClose(controller_);
        controller_ = nullptr;
        OpenFirstController();
      }
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) EndProgram();
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) focused_ = false;
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) focused_ = true;
      if (event.window.event == SDL_WINDOWEVENT_SHOWN ||
          event.window.event == SDL_WINDOWEVENT_EXPOSED ||
          event.window.event == SDL_WINDOWEVENT_RESTORED ||
          event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        PresentAllNextTime();
      }
      break;
    default:
      break;
  }
}

// Auto-repeat arrives as further key-downs and goes through as such; the key-ups SDL
// sends for held keys when the window loses the focus go through too, so none sticks.
void SdlWindow::DeliverKey(const SDL_KeyboardEvent& key) {
  const std::int16_t code = VirtualKeyFromSdl(key.keysym.sym, key.keysym.mod);
  const std::int16_t shift =
      ShiftState((key.keysym.mod & KMOD_SHIFT) != 0, (key.keysym.mod & KMOD_CTRL) != 0,
                 (key.keysym.mod & KMOD_ALT) != 0);
  if (key.type == SDL_KEYDOWN) {
    Keys().Press(KeySource::kKeyboard, code, shift);
  } else {
    Keys().Release(KeySource::kKeyboard, code, shift);
  }
}

void SdlWindow::OpenFirstController() {
  for (int index = 0; controller_ == nullptr && index < SDL_NumJoysticks(); ++index) {
    if (SDL_IsGameController(index) == SDL_TRUE) controller_ = SDL_GameControllerOpen(index);
  }
}

bool SdlWindow::ReadController(PadState& pad) {
  if (controller_ == nullptr) return false;
  const auto button = [this](SDL_GameControllerButton which) {
    return SDL_GameControllerGetButton(controller_, which) != 0;
  };
  const auto axis = [this](SDL_GameControllerAxis which) {
    return AxisFromInt16(SDL_GameControllerGetAxis(controller_, which));
  };
  pad = {.dpadLeft = button(SDL_CONTROLLER_BUTTON_DPAD_LEFT),
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
  return true;
}

void SdlWindow::Close() {
  presenter_.Stop();
  if (controller_ != nullptr) SDL_GameControllerClose(controller_);
  controller_ = nullptr;
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  window_ = nullptr;
  SDL_Quit();
}

// False, with the reason in error, when SDL does not start; SDL is stopped again then.
bool StartSdl(std::string& error) {
  if (!ChooseVideoDriver(error)) return false;
  // Without a GPU the texture path costs several times the shared-memory one per present.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  StartStep("SDL's video driver did not start");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    error = DescribeStartFailure(SDL_GetError());
    return false;
  }
  if (StartedUnseen(SDL_GetCurrentVideoDriver())) {
    error = DescribeStartFailure(std::string("only its ") + SDL_GetCurrentVideoDriver() +
                                 " driver started");
    SDL_Quit();
    return false;
  }
  // Without controllers the game still plays from the keyboard. Those already plugged in
  // arrive as added events.
  StartStep("SDL's game controllers did not start");
  SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
  return true;
}

}  // namespace

std::optional<int> AnswerCommandLine(int argc, char** argv) {
  return HandleCommandLine(argc, argv);
}

std::unique_ptr<WindowBase> OpenWindow(std::string& error) {
  KeepStandardStreamsOpen();
  BeginStartGuard();
  if (!StartSdl(error)) {
    EndStartGuard(false);
    return nullptr;
  }
  StartStep("the window was not created");
  auto window = std::make_unique<SdlWindow>();
  if (!window->Open(error)) {
    window.reset();
    EndStartGuard(false);
    return nullptr;
  }
  return window;
}

void ReportStartFailure(const std::string& error) {
  std::fprintf(stderr, "quillfane: cannot open a window: %s\n", error.c_str());
}

}  // namespace quillfane
