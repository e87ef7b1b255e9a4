#include "platform/sdl_platform.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl_startup.h"

namespace quillfane {

namespace {

constexpr const char* kTitle = "Quillfane";
constexpr int kClientWidthTwips = 7110;
constexpr int kClientHeightTwips = 6015;

// Where the window's surface has the raster's own pixel layout, as it does on a 24-bit X
// display, rows are copied as they are: SDL's blit set-up would cost more than the copy.
void CopyChanged(SDL_Surface* source, SDL_Surface* target, const SDL_Rect& area) {
  if (target->format->format != source->format->format || SDL_MUSTLOCK(target)) {
    SDL_Rect to = area;
    SDL_BlitSurface(source, &area, target, &to);
    return;
  }
  const auto rowBytes = static_cast<std::size_t>(area.w) * 4;
  const auto* from =
      static_cast<const Uint8*>(source->pixels) + area.y * source->pitch + area.x * 4;
  auto* to = static_cast<Uint8*>(target->pixels) + area.y * target->pitch + area.x * 4;
  for (int row = 0; row < area.h; ++row) {
    std::memcpy(to + row * target->pitch, from + row * source->pitch, rowBytes);
  }
}

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
    SDL_FreeSurface(wrapped);
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_Quit();
  }

  OuterSize MeasureOuter() const;
  void Dispatch(const SDL_Event& event, bool& sizeChanged);
  void DeliverKey(const SDL_KeyboardEvent& key) const;
  void DeliverResizeIfChanged(bool sizeChanged);
  SDL_Surface* WrapPlayfield();
  bool TooLargeToShow();
  void Present();
  void PresentWhole(SDL_Surface* source, SDL_Surface* target);
  void PresentChanges(SDL_Surface* source, SDL_Surface* target);
  [[noreturn]] void End();

  Raster playfield;
  SDL_Window* window = nullptr;
  WindowHandle handle = 0;
  WindowEvents* events = nullptr;
  // The raster's pixels as an SDL surface, made again only when the buffer moves.
  SDL_Surface* wrapped = nullptr;
  // The window's own pixels cannot be trusted (shown, resized, exposed, refreshed).
  bool presentWhole = true;
  // The outer size as of the last resize the game was told of.
  OuterSize reported;
  bool saidTooLarge = false;
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
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) End();
      if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) sizeChanged = true;
      presentWhole = presentWhole || event.window.event == SDL_WINDOWEVENT_SHOWN ||
                     event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                     event.window.event == SDL_WINDOWEVENT_RESTORED || sizeChanged;
      break;
    default:
      break;
  }
}

// Auto-repeat arrives as further key-downs and goes through as such; the key-ups SDL
// sends for held keys when the window loses the focus go through too, so none sticks.
void SdlPlatform::Impl::DeliverKey(const SDL_KeyboardEvent& key) const {
  const std::int16_t code = VirtualKeyFromSdl(key.keysym.sym, key.keysym.mod);
  if (code == 0 || events == nullptr) return;
  const auto shift = static_cast<std::int16_t>(key.keysym.mod);
  if (key.type == SDL_KEYDOWN) {
    events->Picture1_KeyDown(code, shift);
  } else {
    events->Picture1_KeyUp(code, shift);
  }
}

void SdlPlatform::Impl::DeliverResizeIfChanged(bool sizeChanged) {
  const OuterSize outer = MeasureOuter();
  if (!sizeChanged && outer == reported) return;
  reported = outer;
  presentWhole = true;
  if (events != nullptr) events->Form_Resize();
}

SDL_Surface* SdlPlatform::Impl::WrapPlayfield() {
  std::uint32_t* pixels = playfield.Pixels();
  const int width = playfield.PixelWidth();
  const int height = playfield.PixelHeight();
  if (wrapped != nullptr && wrapped->pixels == pixels && wrapped->w == width &&
      wrapped->h == height) {
    return wrapped;
  }
  SDL_FreeSurface(wrapped);
  wrapped = SDL_CreateRGBSurfaceWithFormatFrom(
      pixels, width, height, 32, width * static_cast<int>(sizeof *pixels), SDL_PIXELFORMAT_RGB888);
  return wrapped;
}

// The window's surface grows with the window; past the playfield's own bound (which window
// managers normally enforce) nothing is presented, so memory stays bounded, and the game
// goes on until the window is small enough to show it again.
bool SdlPlatform::Impl::TooLargeToShow() {
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(window, &width, &height);
  if (width <= Raster::kMaxSide && height <= Raster::kMaxSide) return false;
  if (!saidTooLarge) {
    std::fprintf(stderr,
                 "quillfane: the window is %dx%d pixels, more than the %dx%d the game can show; "
                 "it shows nothing until the window is made smaller\n",
                 width, height, Raster::kMaxSide, Raster::kMaxSide);
  }
  saidTooLarge = true;
  presentWhole = true;
  return true;
}

// A minimised or zero-sized window has no surface: the next present that finds one copies
// everything, so the picture comes back on restore.
void SdlPlatform::Impl::Present() {
  if (TooLargeToShow()) return;
  SDL_Surface* source = WrapPlayfield();
  SDL_Surface* target = SDL_GetWindowSurface(window);
  if (source == nullptr || target == nullptr) {
    presentWhole = true;
  } else if (presentWhole) {
    PresentWhole(source, target);
  } else {
    PresentChanges(source, target);
  }
  playfield.ClearDirty();
}

void SdlPlatform::Impl::PresentWhole(SDL_Surface* source, SDL_Surface* target) {
  // Black where the client area reaches past the playfield.
  SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
  SDL_BlitSurface(source, nullptr, target, nullptr);
  presentWhole = SDL_UpdateWindowSurface(window) != 0;
}

void SdlPlatform::Impl::PresentChanges(SDL_Surface* source, SDL_Surface* target) {
  const SDL_Rect bounds{0, 0, target->w, target->h};
  std::array<SDL_Rect, Raster::kMaxDirtyRects> shown{};
  int count = 0;
  for (const PixelRect& dirty : playfield.Dirty()) {
    const SDL_Rect changed{dirty.x, dirty.y, dirty.w, dirty.h};
    SDL_Rect visible;
    if (SDL_IntersectRect(&changed, &bounds, &visible) == SDL_FALSE) continue;
    CopyChanged(source, target, visible);
    shown[count++] = visible;
  }
  if (count > 0 && SDL_UpdateWindowSurfaceRects(window, shown.data(), count) != 0) {
    presentWhole = true;
  }
}

void SdlPlatform::Impl::End() {
  SDL_FreeSurface(wrapped);
  wrapped = nullptr;
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
  StartStep("the window was not created");
  auto impl = std::make_unique<Impl>();
  impl->window = SDL_CreateWindow(kTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  kClientWidthTwips / static_cast<int>(kTwipsPerPixel),
                                  kClientHeightTwips / static_cast<int>(kTwipsPerPixel),
                                  SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (impl->window == nullptr) {
    error = std::string("SDL could not create the window (") + SDL_GetError() + ")";
    return nullptr;
  }
  impl->handle = SDL_GetWindowID(impl->window);
  SDL_SetWindowMaximumSize(impl->window, Raster::kMaxSide, Raster::kMaxSide);
  SDL_SysWMinfo system;
  SDL_VERSION(&system.version);
  if (SDL_GetWindowWMInfo(impl->window, &system) == SDL_TRUE && system.subsystem == SDL_SYSWM_X11) {
    WatchXWindow(system.info.x11.window);
  }
  return impl;
}

void SdlPlatform::ReportStartFailure(const std::string& error) {
  std::fprintf(stderr, "quillfane: cannot open a window: %s\n", error.c_str());
}

void SdlPlatform::SetWindowEvents(WindowEvents& events) { impl_->events = &events; }

// SDL waits for the window manager to map the window, without a limit of its own.
void SdlPlatform::Show() {
  StartStep("the window manager did not show the window");
  SDL_ShowWindow(impl_->window);
  StartStep("the first frame was not presented");
  impl_->reported = impl_->MeasureOuter();
  impl_->presentWhole = true;
  impl_->Present();
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
  impl_->presentWhole = true;
  impl_->Present();
}

// The window's client area is the playfield, so it already has the keys whenever the
// window has the focus.
void SdlPlatform::FocusPlayfield() {}

void SdlPlatform::PumpEvents() {
  bool sizeChanged = false;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) impl_->Dispatch(event, sizeChanged);
  impl_->DeliverResizeIfChanged(sizeChanged);
  impl_->Present();
}

void SdlPlatform::Sleep(int milliseconds) {
  SDL_Delay(milliseconds > 0 ? static_cast<Uint32>(milliseconds) : 0);
}

void SdlPlatform::EndProgram() { impl_->End(); }

}  // namespace quillfane
