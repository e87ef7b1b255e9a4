#include "platform/sdl_platform.h"

#include <SDL.h>

#include <cstdlib>

#include "platform/canvas.h"
#include "platform/key_codes.h"
#include "platform/pixel_geometry.h"
#include "platform/window_presenter.h"

namespace quillfane {

namespace {

constexpr const char* kTitle = "Quillfane";
constexpr int kClientWidthTwips = 7110;
constexpr int kClientHeightTwips = 6015;
constexpr float kInitialPlayfieldWidth = 6855;
constexpr float kInitialPlayfieldHeight = 5655;

bool IsUnset(const char* variable) {
  const char* value = std::getenv(variable);
  return value == nullptr || *value == '\0';
}

constexpr const char* kNoDisplay =
    "no X display is set (DISPLAY is empty); start the game from a desktop session or under "
    "Xvfb";

std::string DescribeStartFailure(const std::string& reason) {
  if (!IsUnset("SDL_VIDEODRIVER")) {
    return "SDL could not start the video driver named by SDL_VIDEODRIVER=" +
           std::string(std::getenv("SDL_VIDEODRIVER")) + " (" + reason +
           "); unset it or name one this system has";
  }
  const char* display = IsUnset("DISPLAY") ? "WAYLAND_DISPLAY" : "DISPLAY";
  return "SDL could not reach the display named by " + std::string(display) + "=" +
         std::getenv(display) + " (" + reason +
         "); check that it is running and that this user may use it";
}

// With no display SDL falls back to drivers that show nothing, and the game would run
// unseen; only a driver asked for by name may be one of those.
bool StartedUnseen() {
  if (!IsUnset("SDL_VIDEODRIVER")) return false;
  const std::string driver = SDL_GetCurrentVideoDriver();
  return driver == "offscreen" || driver == "dummy";
}

bool NoDisplayNamed() {
  return IsUnset("SDL_VIDEODRIVER") && IsUnset("DISPLAY") && IsUnset("WAYLAND_DISPLAY");
}

struct OuterSize {
  int width = 0;
  int height = 0;
  bool operator==(const OuterSize&) const = default;
};

}  // namespace

struct SdlPlatform::Impl {
  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  // Exists only once SDL has started, so it is the one to stop it.
  ~Impl() {
    canvas_.reset();
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  OuterSize MeasureOuter() const;
  void Dispatch(const SDL_Event& event, bool& sizeChanged);
  void DeliverKey(const SDL_KeyboardEvent& key) const;
  void HandleWindowEvent(const SDL_WindowEvent& event, bool& sizeChanged);
  void DeliverResizeIfChanged(bool sizeChanged);
  [[noreturn]] void End();

  SDL_Window* window_ = nullptr;
  WindowHandle handle_ = 0;
  std::unique_ptr<Canvas> canvas_;
  WindowPresenter presenter_;
  WindowEvents* events_ = nullptr;
  // The outer size as of the last resize the game was told of.
  OuterSize reported_;
};

// Pixels; the frame extents are 0 until the window manager publishes them, which it may do
// only after the window is shown and without any event.
OuterSize SdlPlatform::Impl::MeasureOuter() const {
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
  return {width + left + right, height + top + bottom};
}

void SdlPlatform::Impl::Dispatch(const SDL_Event& event, bool& sizeChanged) {
  switch (event.type) {
    case SDL_QUIT:
      End();
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      DeliverKey(event.key);
      break;
    case SDL_WINDOWEVENT:
      HandleWindowEvent(event.window, sizeChanged);
      break;
    default:
      break;
  }
}

// Auto-repeat arrives as further key-downs and goes through as such; keys SDL releases
// when the window loses the focus go through as key-ups.
void SdlPlatform::Impl::DeliverKey(const SDL_KeyboardEvent& key) const {
  if (key.windowID != handle_ || events_ == nullptr) return;
  const std::int16_t code = VirtualKeyFromSdl(key.keysym.sym);
  if (code == 0) return;
  const auto shift = static_cast<std::int16_t>(key.keysym.mod);
  if (key.type == SDL_KEYDOWN) {
    events_->Picture1_KeyDown(code, shift);
  } else {
    events_->Picture1_KeyUp(code, shift);
  }
}

void SdlPlatform::Impl::HandleWindowEvent(const SDL_WindowEvent& event, bool& sizeChanged) {
  if (event.windowID != handle_) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      sizeChanged = true;
      presenter_.InvalidateWindow();
      break;
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESTORED:
      presenter_.InvalidateWindow();
      break;
    case SDL_WINDOWEVENT_CLOSE:
      End();
    default:
      break;
  }
}

void SdlPlatform::Impl::DeliverResizeIfChanged(bool sizeChanged) {
  const OuterSize outer = MeasureOuter();
  if (!sizeChanged && outer == reported_) return;
  reported_ = outer;
  presenter_.InvalidateWindow();
  if (events_ != nullptr) events_->Form_Resize();
}

void SdlPlatform::Impl::End() {
  canvas_.reset();
  SDL_DestroyWindow(window_);
  window_ = nullptr;
  SDL_Quit();
  std::exit(0);
}

SdlPlatform::SdlPlatform(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SdlPlatform::~SdlPlatform() = default;

std::unique_ptr<SdlPlatform> SdlPlatform::Create(std::string& error, PresentPath path) {
  if (NoDisplayNamed()) {
    error = kNoDisplay;
    return nullptr;
  }
  // An X display that cannot be reached should fail as that, not as a probe of other drivers.
  if (IsUnset("SDL_VIDEODRIVER") && IsUnset("WAYLAND_DISPLAY"))
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, path == PresentPath::kTexture ? "1" : "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    error = DescribeStartFailure(SDL_GetError());
    return nullptr;
  }
  if (StartedUnseen()) {
    error = DescribeStartFailure(std::string("only its ") + SDL_GetCurrentVideoDriver() +
                                 " driver started");
    SDL_Quit();
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->window_ = SDL_CreateWindow(kTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                   kClientWidthTwips / static_cast<int>(kTwipsPerPixel),
                                   kClientHeightTwips / static_cast<int>(kTwipsPerPixel),
                                   SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (impl->window_ == nullptr) {
    error = std::string("SDL could not create the window (") + SDL_GetError() + ")";
    return nullptr;
  }
  impl->handle_ = SDL_GetWindowID(impl->window_);
  impl->canvas_ = Canvas::Create(kInitialPlayfieldWidth, kInitialPlayfieldHeight, error);
  if (impl->canvas_ == nullptr) {
    error = "no memory for the playfield (" + error + ")";
    return nullptr;
  }
  impl->presenter_ = WindowPresenter(impl->window_);
  return std::unique_ptr<SdlPlatform>(new SdlPlatform(std::move(impl)));
}

void SdlPlatform::SetWindowEvents(WindowEvents& events) { impl_->events_ = &events; }

void SdlPlatform::Show() {
  SDL_ShowWindow(impl_->window_);
  impl_->reported_ = impl_->MeasureOuter();
  impl_->presenter_.InvalidateWindow();
  impl_->presenter_.Present(*impl_->canvas_);
}

void SdlPlatform::SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  impl_->canvas_->SetPenColour(red, green, blue);
}

void SdlPlatform::DrawLine(float x1, float y1, float x2, float y2) {
  impl_->canvas_->DrawLine(x1, y1, x2, y2);
}

void SdlPlatform::DrawBox(float x1, float y1, float x2, float y2) {
  impl_->canvas_->DrawBox(x1, y1, x2, y2);
}

void SdlPlatform::DrawCircle(float centreX, float centreY, float radius) {
  impl_->canvas_->DrawCircle(centreX, centreY, radius);
}

void SdlPlatform::DrawArc(float centreX, float centreY, float radius, float startAngle,
                          float endAngle) {
  impl_->canvas_->DrawArc(centreX, centreY, radius, startAngle, endAngle);
}

float SdlPlatform::PlayfieldWidth() const { return impl_->canvas_->Width(); }

float SdlPlatform::PlayfieldHeight() const { return impl_->canvas_->Height(); }

void SdlPlatform::SetPlayfieldWidth(float twips) {
  impl_->canvas_->SetWidth(twips);
  impl_->presenter_.InvalidateWindow();
}

void SdlPlatform::SetPlayfieldHeight(float twips) {
  impl_->canvas_->SetHeight(twips);
  impl_->presenter_.InvalidateWindow();
}

float SdlPlatform::WindowWidth() const {
  return static_cast<float>(impl_->MeasureOuter().width) * kTwipsPerPixel;
}

float SdlPlatform::WindowHeight() const {
  return static_cast<float>(impl_->MeasureOuter().height) * kTwipsPerPixel;
}

WindowHandle SdlPlatform::Handle() const { return impl_->handle_; }

WindowHandle SdlPlatform::GetActiveWindow() const {
  return SDL_GetKeyboardFocus() == impl_->window_ ? impl_->handle_ : 0;
}

void SdlPlatform::RefreshPlayfield() {
  impl_->canvas_->Clear();
  impl_->presenter_.InvalidateWindow();
  impl_->presenter_.Present(*impl_->canvas_);
}

// The window's client area is the playfield, so it already has the keys whenever the
// window has the focus.
void SdlPlatform::FocusPlayfield() {}

void SdlPlatform::PumpEvents() {
  bool sizeChanged = false;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) impl_->Dispatch(event, sizeChanged);
  impl_->DeliverResizeIfChanged(sizeChanged);
  impl_->presenter_.Present(*impl_->canvas_);
}

void SdlPlatform::Sleep(int milliseconds) {
  SDL_Delay(milliseconds > 0 ? static_cast<Uint32>(milliseconds) : 0);
}

void SdlPlatform::EndProgram() { impl_->End(); }

}  // namespace quillfane
