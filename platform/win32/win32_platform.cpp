#define WIN32_LEAN_AND_MEAN
#define UNICODE
#include <windows.h>
// After windows.h, which they need.
#include <timeapi.h>
#include <xinput.h>

#include <cstdlib>

#include "platform/virtual_keys.h"
#include "platform/window_base.h"

namespace quillfane {

namespace {

constexpr const wchar_t* kClassName = L"QuillfaneWindow";
constexpr const wchar_t* kTitle = L"Quillfane";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
// Sleep's default granularity is the 15.6 ms system tick, which would slow a 10 ms frame by
// half again; the game's speed is counted in frames.
constexpr UINT kTimerResolutionMs = 1;

std::string DescribeFailure(const char* what) {
  const DWORD code = ::GetLastError();
  return std::string("Quillfane could not ") + what + " (Windows error " + std::to_string(code) +
         ").";
}

std::int16_t CurrentShiftState() {
  const auto down = [](int key) { return (::GetKeyState(key) & 0x8000) != 0; };
  return ShiftState(down(VK_SHIFT), down(VK_CONTROL), down(VK_MENU));
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
  bool Read(PadState& read) {
    if (getState_ == nullptr) return false;
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
    if (slot_ == XUSER_MAX_COUNT) return false;
    const XINPUT_GAMEPAD& pad = state.Gamepad;
    const auto button = [&pad](WORD mask) { return (pad.wButtons & mask) != 0; };
    read = {.dpadLeft = button(XINPUT_GAMEPAD_DPAD_LEFT),
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
    return true;
  }

 private:
  using GetState = DWORD(WINAPI*)(DWORD, XINPUT_STATE*);
  static constexpr int kSearchEvery = 100;
  GetState getState_ = nullptr;
  DWORD slot_ = XUSER_MAX_COUNT;
  int untilSearch_ = 0;
};

// The game's window on Win32 and GDI: one resizable window whose client area shows the
// playfield's raster. Key messages carry virtual-key codes already, so they go to the game as
// they come.
class Win32Window final : public WindowBase {
 public:
  ~Win32Window() override {
    if (window_ != nullptr) ::DestroyWindow(window_);
    ::timeEndPeriod(kTimerResolutionMs);
  }

  // False, with a one-sentence reason, when the window cannot be made.
  bool Open(std::string& error);

  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(window_); }
  // The window's client area is the playfield, so the keys reach it once the window has the
  // focus.
  void FocusPlayfield() override { ::SetFocus(window_); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  void ShowWindow() override;
  std::optional<OuterSize> MeasureOuter() const override;
  bool PresentPlayfield(Raster& playfield, bool all) override;
  bool ReadController(PadState& pad) override { return controller_.Read(pad); }
  bool HasFocus() const override { return ::GetActiveWindow() == window_; }
  void DispatchEvents() override;
  void Wait(unsigned milliseconds) override { ::Sleep(milliseconds); }
  [[noreturn]] void CloseAndExit() override;

  void DeliverKey(WPARAM virtualKey, bool down);
  void ReleaseHeldKeys();
  void Blit(HDC dc, int x, int y, int width, int height);
  void PresentWhole(HDC dc);

  HWND window_ = nullptr;
  // Game events run only inside PumpEvents; what arrives outside it waits for the next one.
  bool pumping_ = false;
  bool releasePending_ = false;
  XInputController controller_;
};

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* creator =
        static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    creator->window_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator));
  }
  auto* window = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  return window->Handle(message, wParam, lParam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
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
      PresentAllNextTime();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC paintDc = ::BeginPaint(window_, &paint);
      if (paintDc != nullptr) PresentWhole(paintDc);
      ::EndPaint(window_, &paint);
      return 0;
    }
    case WM_CLOSE:
      EndProgram();  // does not return
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != FALSE) EndProgram();
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

// GetWindowRect holds the frame and title bar too; a minimised window has a size of its own,
// which the game is not told of, so that restoring it does not re-centre the ship.
std::optional<WindowBase::OuterSize> Win32Window::MeasureOuter() const {
  RECT rect{};
  if (::IsIconic(window_) || ::GetWindowRect(window_, &rect) == FALSE) return std::nullopt;
  return OuterSize{rect.right - rect.left, rect.bottom - rect.top};
}

// Auto-repeat arrives as further key-downs and goes through as such.
void Win32Window::DeliverKey(WPARAM virtualKey, bool down) {
  if (virtualKey >= 256) return;
  const auto code = static_cast<std::int16_t>(virtualKey);
  if (down) {
    Keys().Press(KeySource::kKeyboard, code, CurrentShiftState());
  } else {
    Keys().Release(KeySource::kKeyboard, code, CurrentShiftState());
  }
}

// Windows sends no key-ups for keys held while the focus goes, so the held keys go up here.
void Win32Window::ReleaseHeldKeys() {
  if (!pumping_) {
    releasePending_ = true;
    return;
  }
  releasePending_ = false;
  Keys().ReleaseAll(CurrentShiftState());
}

// Rows y to y + height of the raster, described as a DIB of their own so that the source
// rectangle is always the whole DIB's height, whichever way up GDI counts rows.
void Win32Window::Blit(HDC target, int x, int y, int width, int height) {
  const int stride = Playfield().PixelWidth();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = stride;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const std::uint32_t* rows = Playfield().Pixels() + static_cast<std::ptrdiff_t>(y) * stride;
  ::SetDIBitsToDevice(target, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), x, 0, 0,
                      static_cast<UINT>(height), rows, &info, DIB_RGB_COLORS);
}

void Win32Window::PresentWhole(HDC target) {
  const int width = Playfield().PixelWidth();
  const int height = Playfield().PixelHeight();
  RECT client{};
  ::GetClientRect(window_, &client);
  // Black where the client area reaches past the playfield.
  const auto black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  const RECT right{width, 0, client.right, client.bottom};
  const RECT below{0, height, width, client.bottom};
  if (right.left < right.right) ::FillRect(target, &right, black);
  if (below.top < below.bottom) ::FillRect(target, &below, black);
  Blit(target, 0, 0, width, height);
}

// A minimised window shows nothing; restoring it repaints all of it.
bool Win32Window::PresentPlayfield(Raster& playfield, bool all) {
  const HDC dc = ::GetDC(window_);
  if (dc == nullptr) return false;
  if (all) {
    PresentWhole(dc);
  } else {
    for (const PixelRect& dirty : playfield.Dirty()) Blit(dc, dirty.x, dirty.y, dirty.w, dirty.h);
  }
  ::GdiFlush();
  ::ReleaseDC(window_, dc);
  return true;
}

void Win32Window::CloseAndExit() {
  ::DestroyWindow(window_);
  window_ = nullptr;
  ::timeEndPeriod(kTimerResolutionMs);
  std::exit(0);
}

bool Win32Window::Open(std::string& error) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  // The icon of the program file's resources, where the version record is.
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;
  ::timeBeginPeriod(kTimerResolutionMs);
  if (::RegisterClassExW(&windowClass) == 0) {
    error = DescribeFailure("register its window class");
    return false;
  }
  RECT outer{0, 0, kClientPixelWidth, kClientPixelHeight};
  ::AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
  window_ = ::CreateWindowExW(0, kClassName, kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                              instance, this);
  if (window_ == nullptr) {
    error = DescribeFailure("open its window");
    return false;
  }
  return true;
}

void Win32Window::ShowWindow() {
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::SetForegroundWindow(window_);
  ::SetFocus(window_);
}

void Win32Window::DispatchEvents() {
  pumping_ = true;
  if (releasePending_) ReleaseHeldKeys();
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    ::DispatchMessageW(&message);
  }
  pumping_ = false;
}

}  // namespace

// The exe has no console to answer on.
std::optional<int> AnswerCommandLine(int /*argc*/, char** /*argv*/) { return std::nullopt; }

std::unique_ptr<WindowBase> OpenWindow(std::string& error) {
  auto window = std::make_unique<Win32Window>();
  if (!window->Open(error)) return nullptr;
  return window;
}

// In a message box: the program has no console.
void ReportStartFailure(const std::string& error) {
  ::MessageBoxA(nullptr, error.c_str(), "Quillfane", MB_OK | MB_ICONERROR);
}

}  // namespace quillfane
