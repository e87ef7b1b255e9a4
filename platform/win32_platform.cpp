#include "platform/win32_platform.h"

#define WIN32_LEAN_AND_MEAN
#define UNICODE
#include <windows.h>
// After windows.h, which they need.
#include <timeapi.h>
#include <xinput.h>

#include <cstdlib>

#include "platform/gamepad.h"

namespace quillfane {

namespace {

constexpr const wchar_t* kClassName = L"QuillfaneWindow";
constexpr const wchar_t* kTitle = L"Quillfane";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
// Sleep's default granularity is the 15.6 ms system tick, which would slow a 10 ms frame by
// half again; the game's speed is counted in frames.
constexpr UINT kTimerResolutionMs = 1;

struct OuterSize {
  int width = 0;
  int height = 0;
  bool operator==(const OuterSize&) const = default;
};

std::string DescribeFailure(const char* what) {
  const DWORD code = ::GetLastError();
  return std::string("Quillfane could not ") + what + " (Windows error " + std::to_string(code) +
         ").";
}

// The shift argument as the game's key events define it: Shift 1, Ctrl 2, Alt 4.
std::int16_t ShiftState() {
  const auto down = [](int key) { return (::GetKeyState(key) & 0x8000) != 0; };
  return static_cast<std::int16_t>((down(VK_SHIFT) ? 1 : 0) | (down(VK_CONTROL) ? 2 : 0) |
                                   (down(VK_MENU) ? 4 : 0));
}

// XInput, found at run time so that the exe starts where no XInput DLL is installed; without
// one the game plays from the keyboard alone.
class XInputController {
 public:
  XInputController() {
    for (const wchar_t* dll : {L"xinput1_4.dll", L"xinput1_3.dll", L"xinput9_1_0.dll"}) {
      if (const HMODULE module = ::LoadLibraryW(dll); module != nullptr) {
        getState_ = reinterpret_cast<GetState>(
            reinterpret_cast<void*>(::GetProcAddress(module, "XInputGetState")));
        if (getState_ != nullptr) return;
        ::FreeLibrary(module);
      }
    }
  }

  // The first controller found; asking an empty slot is slow, so the slots are searched only
  // once in kSearchEvery pumps while none is in use.
  PadState Read() {
    if (getState_ == nullptr) return {};
    XINPUT_STATE state{};
    if (slot_ < XUSER_MAX_COUNT && getState_(slot_, &state) != ERROR_SUCCESS) {
      slot_ = XUSER_MAX_COUNT;
    }
    if (slot_ == XUSER_MAX_COUNT && untilSearch_-- == 0) {
      untilSearch_ = kSearchEvery;
      for (DWORD slot = 0; slot < XUSER_MAX_COUNT && slot_ == XUSER_MAX_COUNT; ++slot) {
        if (getState_(slot, &state) == ERROR_SUCCESS) slot_ = slot;
      }
    }
    if (slot_ == XUSER_MAX_COUNT) return {};
    const XINPUT_GAMEPAD& pad = state.Gamepad;
    const auto button = [&pad](WORD mask) { return (pad.wButtons & mask) != 0; };
    return {.dpadLeft = button(XINPUT_GAMEPAD_DPAD_LEFT),
            .dpadRight = button(XINPUT_GAMEPAD_DPAD_RIGHT),
            .dpadUp = button(XINPUT_GAMEPAD_DPAD_UP),
            .dpadDown = button(XINPUT_GAMEPAD_DPAD_DOWN),
            .south = button(XINPUT_GAMEPAD_A),
            .east = button(XINPUT_GAMEPAD_B),
            .rightShoulder = button(XINPUT_GAMEPAD_RIGHT_SHOULDER),
            .back = button(XINPUT_GAMEPAD_BACK),
            .stickX = AxisFromInt16(pad.sThumbLX),
            .stickY = AxisFromInt16(pad.sThumbLY),
            .leftTrigger = static_cast<float>(pad.bLeftTrigger) / 255.0F,
            .rightTrigger = static_cast<float>(pad.bRightTrigger) / 255.0F};
  }

 private:
  using GetState = DWORD(WINAPI*)(DWORD, XINPUT_STATE*);
  static constexpr int kSearchEvery = 100;
  GetState getState_ = nullptr;
  DWORD slot_ = XUSER_MAX_COUNT;
  int untilSearch_ = 0;
};

}  // namespace

struct Win32Platform::Impl {
  Impl() : playfield(kInitialWidth, kInitialHeight) {}
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (window != nullptr) ::DestroyWindow(window);
    ::timeEndPeriod(kTimerResolutionMs);
  }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  OuterSize MeasureOuter() const;
  void DeliverKey(WPARAM virtualKey, bool down);
  void ReleaseHeldKeys();
  void DeliverResizeIfChanged();
  void Blit(HDC dc, int x, int y, int width, int height);
  void PresentWhole(HDC dc);
  void Present();
  [[noreturn]] void End();

  Raster playfield;
  HWND window = nullptr;
  WindowEvents* events = nullptr;
  // The window's pixels cannot be trusted (shown, resized, restored, refreshed).
  bool presentWhole = true;
  bool sizeChanged = false;
  // Game events run only inside PumpEvents; what arrives outside it waits for the next one.
  bool pumping = false;
  bool releasePending = false;
  // The outer size as of the last resize the game was told of.
  OuterSize reported;
  // Windows sends no key-ups for keys held while the focus goes, so they are counted here.
  HeldKeys keys;
  Gamepad gamepad;
  XInputController controller;
};

LRESULT CALLBACK Win32Platform::Impl::WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* creator = static_cast<Impl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    creator->window = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator));
  }
  auto* impl = reinterpret_cast<Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (impl == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  return impl->Handle(message, wParam, lParam);
}

LRESULT Win32Platform::Impl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
      DeliverKey(wParam, message == WM_KEYDOWN);
      return 0;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      // Keys pressed with Alt held, and F10: the game sees them too; Alt+F4 still closes.
      DeliverKey(wParam, message == WM_SYSKEYDOWN);
      break;
    case WM_SYSCOMMAND:
      // Alt or F10 alone would take the keyboard into the window menu and stall the game.
      if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;
      break;
    case WM_KILLFOCUS:
      ReleaseHeldKeys();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) ReleaseHeldKeys();
      break;
    case WM_SIZE:
      sizeChanged = sizeChanged || wParam != SIZE_MINIMIZED;
      presentWhole = true;
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC paintDc = ::BeginPaint(window, &paint);
      if (paintDc != nullptr) PresentWhole(paintDc);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_CLOSE:
      End();
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != FALSE) End();
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// GetWindowRect holds the frame and title bar too; a minimised window has a size of its own,
// which the game is not told of, so that restoring it does not re-centre the ship.
OuterSize Win32Platform::Impl::MeasureOuter() const {
  RECT rect{};
  if (::IsIconic(window) || ::GetWindowRect(window, &rect) == FALSE) return reported;
  return {rect.right - rect.left, rect.bottom - rect.top};
}

// Auto-repeat arrives as further key-downs and goes through as such.
void Win32Platform::Impl::DeliverKey(WPARAM virtualKey, bool down) {
  if (virtualKey >= 256) return;
  const auto code = static_cast<std::int16_t>(virtualKey);
  if (down) {
    keys.Press(KeySource::kKeyboard, code, ShiftState());
  } else {
    keys.Release(KeySource::kKeyboard, code, ShiftState());
  }
}

void Win32Platform::Impl::ReleaseHeldKeys() {
  if (!pumping) {
    releasePending = true;
    return;
  }
  releasePending = false;
  keys.ReleaseAll(ShiftState());
}

void Win32Platform::Impl::DeliverResizeIfChanged() {
  if (!sizeChanged) return;
  sizeChanged = false;
  const OuterSize outer = MeasureOuter();
  if (outer == reported) return;
  reported = outer;
  presentWhole = true;
  if (events != nullptr) events->Form_Resize();
}

// Rows y to y + height of the raster, described as a DIB of their own so that the source
// rectangle is always the whole DIB's height, whichever way up GDI counts rows.
void Win32Platform::Impl::Blit(HDC target, int x, int y, int width, int height) {
  const int stride = playfield.PixelWidth();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = stride;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const std::uint32_t* rows = playfield.Pixels() + static_cast<std::ptrdiff_t>(y) * stride;
  ::SetDIBitsToDevice(target, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), x, 0, 0,
                      static_cast<UINT>(height), rows, &info, DIB_RGB_COLORS);
}

void Win32Platform::Impl::PresentWhole(HDC target) {
  const int width = playfield.PixelWidth();
  const int height = playfield.PixelHeight();
  RECT client{};
  ::GetClientRect(window, &client);
  // Black where the client area reaches past the playfield.
  const auto black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  const RECT right{width, 0, client.right, client.bottom};
  const RECT below{0, height, width, client.bottom};
  if (right.left < right.right) ::FillRect(target, &right, black);
  if (below.top < below.bottom) ::FillRect(target, &below, black);
  Blit(target, 0, 0, width, height);
}

// A minimised window shows nothing; restoring it repaints all of it.
void Win32Platform::Impl::Present() {
  const HDC dc = ::GetDC(window);
  if (dc == nullptr) return;
  if (presentWhole) {
    PresentWhole(dc);
    presentWhole = false;
  } else {
    for (const PixelRect& dirty : playfield.Dirty()) Blit(dc, dirty.x, dirty.y, dirty.w, dirty.h);
  }
  ::GdiFlush();
  ::ReleaseDC(window, dc);
  playfield.ClearDirty();
}

void Win32Platform::Impl::End() {
  events = nullptr;  // the window's last messages are not the game's
  keys.SetEvents(nullptr);
  ::DestroyWindow(window);
  window = nullptr;
  ::timeEndPeriod(kTimerResolutionMs);
  std::exit(0);
}

Win32Platform::Win32Platform(std::unique_ptr<Impl> impl)
    : RasterPlatform(impl->playfield), impl_(std::move(impl)) {}

Win32Platform::~Win32Platform() = default;

std::unique_ptr<Win32Platform> Win32Platform::Create(std::string& error) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = Impl::WindowProc;
  windowClass.hInstance = instance;
  // The icon of the program file's resources, where the version record is.
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;
  if (::RegisterClassExW(&windowClass) == 0) {
    error = DescribeFailure("register its window class");
    return nullptr;
  }
  RECT outer{0, 0, kClientPixelWidth, kClientPixelHeight};
  ::AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
  auto impl = std::make_unique<Impl>();
  ::timeBeginPeriod(kTimerResolutionMs);
  impl->window = ::CreateWindowExW(0, kClassName, kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                   outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                   nullptr, instance, impl.get());
  if (impl->window == nullptr) {
    error = DescribeFailure("open its window");
    return nullptr;
  }
  return std::unique_ptr<Win32Platform>(new Win32Platform(std::move(impl)));
}

void Win32Platform::ReportStartFailure(const std::string& error) {
  ::MessageBoxA(nullptr, error.c_str(), "Quillfane", MB_OK | MB_ICONERROR);
}

void Win32Platform::SetWindowEvents(WindowEvents& events) {
  impl_->events = &events;
  impl_->keys.SetEvents(&events);
}

void Win32Platform::Show() {
  ::ShowWindow(impl_->window, SW_SHOWNORMAL);
  ::SetForegroundWindow(impl_->window);
  ::SetFocus(impl_->window);
  impl_->reported = impl_->MeasureOuter();
  impl_->sizeChanged = false;
  impl_->presentWhole = true;
  impl_->Present();
}

float Win32Platform::WindowWidth() const {
  return static_cast<float>(impl_->MeasureOuter().width) * kTwipsPerPixel;
}

float Win32Platform::WindowHeight() const {
  return static_cast<float>(impl_->MeasureOuter().height) * kTwipsPerPixel;
}

WindowHandle Win32Platform::Handle() const { return reinterpret_cast<WindowHandle>(impl_->window); }

WindowHandle Win32Platform::GetActiveWindow() const {
  return reinterpret_cast<WindowHandle>(::GetActiveWindow());
}

void Win32Platform::RefreshPlayfield() {
  impl_->playfield.Clear();
  impl_->presentWhole = true;
  impl_->Present();
}

// The window's client area is the playfield, so the keys reach it once the window has the
// focus.
void Win32Platform::FocusPlayfield() { ::SetFocus(impl_->window); }

void Win32Platform::PumpEvents() {
  impl_->pumping = true;
  if (impl_->releasePending) impl_->ReleaseHeldKeys();
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    ::DispatchMessageW(&message);
  }
  // At rest while another window is active: its keys went up with the keyboard's.
  const bool active = ::GetActiveWindow() == impl_->window;
  impl_->gamepad.Update(active ? impl_->controller.Read() : PadState{}, impl_->keys);
  impl_->DeliverResizeIfChanged();
  impl_->pumping = false;
  impl_->Present();
}

void Win32Platform::Sleep(int milliseconds) {
  ::Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}

void Win32Platform::EndProgram() { impl_->End(); }

}  // namespace quillfane
