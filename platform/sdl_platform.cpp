#include "platform/sdl_platform.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quillfane {

namespace {

constexpr const char* kTitle = "Quillfane";
constexpr int kClientWidthTwips = 7110;
constexpr int kClientHeightTwips = 6015;

struct KeyPair {
  int sdl;
  std::int16_t virtualKey;
};

// Ranges whose SDL keycodes run in the same order as their virtual-key codes.
struct KeyRange {
  int firstSdl;
  int lastSdl;
  std::int16_t firstVirtual;
};

constexpr KeyRange kRanges[] = {
    {SDLK_a, SDLK_z, 65},
    {SDLK_0, SDLK_9, 48},
    {SDLK_F1, SDLK_F12, 112},
};

// Punctuation maps to its own codes: some character codes equal arrow codes (' is 39).
constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, 8},      {SDLK_TAB, 9},
    {SDLK_RETURN, 13},        {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},        {SDLK_RSHIFT, 16},
    {SDLK_LCTRL, 17},         {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},          {SDLK_RALT, 18},
    {SDLK_PAUSE, 19},         {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},        {SDLK_SPACE, 32},
    {SDLK_PAGEUP, 33},        {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},           {SDLK_HOME, 36},
    {SDLK_LEFT, 37},          {SDLK_UP, 38},
    {SDLK_RIGHT, 39},         {SDLK_DOWN, 40},
    {SDLK_PRINTSCREEN, 44},   {SDLK_INSERT, 45},
    {SDLK_DELETE, 46},        {SDLK_KP_MULTIPLY, 106},
    {SDLK_KP_PLUS, 107},      {SDLK_KP_MINUS, 109},
    {SDLK_KP_DIVIDE, 111},    {SDLK_NUMLOCKCLEAR, 144},
    {SDLK_SCROLLLOCK, 145},   {SDLK_SEMICOLON, 186},
    {SDLK_EQUALS, 187},       {SDLK_COMMA, 188},
    {SDLK_MINUS, 189},        {SDLK_PERIOD, 190},
    {SDLK_SLASH, 191},        {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219},  {SDLK_BACKSLASH, 220},
    {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222},
};

// The keypad with NumLock on: the digits 96 to 105 and the decimal point.
constexpr KeyPair kKeypadDigits[] = {
    {SDLK_KP_0, 96},  {SDLK_KP_1, 97},  {SDLK_KP_2, 98},       {SDLK_KP_3, 99},
    {SDLK_KP_4, 100}, {SDLK_KP_5, 101}, {SDLK_KP_6, 102},      {SDLK_KP_7, 103},
    {SDLK_KP_8, 104}, {SDLK_KP_9, 105}, {SDLK_KP_PERIOD, 110},
};

// With NumLock off: Insert, End, the arrows, Page Down, Clear, Home, Page Up and Delete.
constexpr KeyPair kKeypadKeys[] = {
    {SDLK_KP_0, 45}, {SDLK_KP_1, 35}, {SDLK_KP_2, 40},      {SDLK_KP_3, 34},
    {SDLK_KP_4, 37}, {SDLK_KP_5, 12}, {SDLK_KP_6, 39},      {SDLK_KP_7, 36},
    {SDLK_KP_8, 38}, {SDLK_KP_9, 33}, {SDLK_KP_PERIOD, 46},
};

template <std::size_t N>
std::int16_t Find(const KeyPair (&pairs)[N], int sdlKeycode) {
  for (const KeyPair& pair : pairs) {
    if (pair.sdl == sdlKeycode) return pair.virtualKey;
  }
  return 0;
}

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

// Asked for before SDL, which would otherwise print the Wayland library's own complaint and
// fall back to a driver that shows nothing.
bool WaylandCompositorAnswers(std::string& error) {
  const std::string name = std::getenv("WAYLAND_DISPLAY");
  if (name[0] != '/' && IsUnset("XDG_RUNTIME_DIR")) {
    error = "WAYLAND_DISPLAY=" + name + " is set but XDG_RUNTIME_DIR is not, so the compositor " +
            "cannot be found; start the game from the desktop session";
    return false;
  }
  const std::string path = name[0] == '/' ? name : std::getenv("XDG_RUNTIME_DIR") + ("/" + name);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool answered =
      probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (probe >= 0) close(probe);
  if (!answered) {
    error = "no Wayland compositor answers at " + path + " (WAYLAND_DISPLAY=" + name +
            "); start the game from a running desktop session, or set DISPLAY for X";
  }
  return answered;
}

void Say(const char* line) { [[maybe_unused]] auto ignored = write(2, line, std::strlen(line)); }

// Interrupt, terminate and hang-up end the game at once, whatever it is doing, start-up
// included: SDL's own handlers only queue a quit that a blocked start-up never reads.
void EndOnSignals() {
  struct sigaction end {};
  end.sa_handler = [](int) { _exit(0); };
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &end, nullptr);
}

// Xlib's own handler prints two lines of its own and exits; one of ours says what happened.
int LostDisplay(Display* display) {
  Say("quillfane: lost the connection to the X display ");
  Say(XDisplayString(display));
  Say(" (the X server ended or the connection broke); the game has ended\n");
  _exit(1);
}

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

std::int16_t VirtualKeyFromSdl(int sdlKeycode, int sdlModifiers) {
  for (const KeyRange& range : kRanges) {
    if (sdlKeycode >= range.firstSdl && sdlKeycode <= range.lastSdl) {
      return static_cast<std::int16_t>(range.firstVirtual + (sdlKeycode - range.firstSdl));
    }
  }
  const std::int16_t keypad = (sdlModifiers & KMOD_NUM) != 0 ? Find(kKeypadDigits, sdlKeycode)
                                                             : Find(kKeypadKeys, sdlKeycode);
  return keypad != 0 ? keypad : Find(kKeys, sdlKeycode);
}

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
  EndOnSignals();
  if (NoDisplayNamed()) {
    error = kNoDisplay;
    return nullptr;
  }
  // A display that cannot be reached should fail as that, not as a probe of other drivers.
  if (IsUnset("SDL_VIDEODRIVER")) {
    if (IsUnset("DISPLAY") && !WaylandCompositorAnswers(error)) return nullptr;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, IsUnset("DISPLAY") ? "wayland" : "x11");
  }
  // Without a GPU the texture path costs several times the shared-memory one per present.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
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
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) XSetIOErrorHandler(LostDisplay);
  return std::unique_ptr<SdlPlatform>(new SdlPlatform(std::move(impl)));
}

void SdlPlatform::ReportStartFailure(const std::string& error) {
  std::fprintf(stderr, "quillfane: cannot open a window: %s\n", error.c_str());
}

void SdlPlatform::SetWindowEvents(WindowEvents& events) { impl_->events = &events; }

// SDL waits for the window manager to map the window, without a limit of its own.
void SdlPlatform::Show() {
  struct sigaction giveUp {};
  giveUp.sa_handler = [](int) {
    Say("quillfane: the window manager did not show the window within 5 seconds; check that "
        "the desktop's window manager is running and working\n");
    _exit(1);
  };
  sigaction(SIGALRM, &giveUp, nullptr);
  alarm(5);
  SDL_ShowWindow(impl_->window);
  alarm(0);
  impl_->reported = impl_->MeasureOuter();
  impl_->presentWhole = true;
  impl_->Present();
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
