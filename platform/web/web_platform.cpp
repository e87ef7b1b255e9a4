#include <emscripten.h>
#include <emscripten/html5.h>

#include <array>
#include <bitset>
#include <cstdint>

#include "platform/virtual_keys.h"
#include "platform/web/web_keys.h"
#include "platform/window_base.h"

// The page's side of the window: page_library.js, which says what each does.
extern "C" {
int quillfane_open_canvas();
int quillfane_canvas_width();
int quillfane_canvas_height();
void quillfane_put(const void* pixels, int width, int height, int x, int y, int w, int h,
                   int blackFirst);
int quillfane_display_refreshed();
int quillfane_first_touch();
void quillfane_take_touch();
int quillfane_canvas_active();
void quillfane_focus_canvas();
int quillfane_read_gamepad(bool* dpadLeft, bool* dpadRight, bool* dpadUp, bool* dpadDown,
                           bool* south, bool* east, bool* rightShoulder, bool* back, float* stickX,
                           float* stickY, float* leftTrigger, float* rightTrigger);
void quillfane_stop_listening_for_controllers();
void quillfane_say_ended();
void quillfane_say_start_failure(const char* text);
}

namespace quillfane {
namespace {

constexpr const char* kCanvas = "#canvas";
constexpr WindowHandle kHandle = 1;

struct KeyEvent {
  bool down;
  std::int16_t code;
  std::int16_t shift;
};

// The game in a web page: the page's canvas is the window's client area and, there being no
// frame, its outer size too. The frame loop blocks as on the desktop; Sleep hands the browser
// its turn. Key, focus and visibility events are queued as they come and handed to the game
// inside PumpEvents; only the raster's changed area is copied to the canvas, straight from the
// raster's memory.
class WebWindow final : public WindowBase {
 public:
  // Opaque pixels in the canvas's byte order: the canvas reads the raster's own memory.
  WebWindow() : WindowBase(PixelLayout::kOpaqueRgbaBytes) {}
  ~WebWindow() override { emscripten_html5_remove_all_event_listeners(); }

  // False, with a one-line reason, when the page's canvas cannot take the keys.
  bool Open(std::string& error);

  WindowHandle Handle() const override { return kHandle; }
  void FocusPlayfield() override { quillfane_focus_canvas(); }

 private:
  void ShowWindow() override { quillfane_focus_canvas(); }
  std::optional<OuterSize> MeasureOuter() const override {
    return OuterSize{quillfane_canvas_width(), quillfane_canvas_height()};
  }
  bool DueToPresent() override { return quillfane_display_refreshed() != 0; }
  bool PresentPlayfield(Raster& playfield, bool all) override;
  bool ReadController(PadState& pad) override;
  // False for the pump that found the keys lost too: a hidden tab's timers may wait a second or
  // more, so the game's loop could otherwise sleep through the loss.
  bool HasFocus() const override { return quillfane_canvas_active() != 0 && !lostInLastPump; }
  void DispatchEvents() override;
  void Wait(unsigned milliseconds) override { emscripten_sleep(milliseconds); }
  [[noreturn]] void CloseAndExit() override;

  void Queue(bool down, std::int16_t code, std::int16_t shift);
  void ReleaseHeld();
  void DeliverTouches();
  static EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* event, void* impl);
  static EM_BOOL OnBlur(int type, const EmscriptenFocusEvent* event, void* impl);
  static EM_BOOL OnVisibility(int type, const EmscriptenVisibilityChangeEvent* event, void* impl);

  // Filled by the page's event handlers between pumps. A person cannot press keys fast
  // enough to fill it between two frames; an event past a full queue is dropped.
  std::array<KeyEvent, 256> queue{};
  int head = 0;
  int count = 0;
  bool lostInLastPump = false;
};

void WebWindow::Queue(bool down, std::int16_t code, std::int16_t shift) {
  if (count == static_cast<int>(queue.size())) return;
  queue[(head + count++) % queue.size()] = {down, code, shift};
}

// Queued as a key-up of code 0, in order with the keys around it.
void WebWindow::ReleaseHeld() { Queue(false, 0, 0); }

// A browser busy with a touch may run no frame between a finger's press and its lift: a lift
// that would cancel its press before any frame saw it waits, with all after it, for the next
// pump, so that a quick tap on Fire still fires.
void WebWindow::DeliverTouches() {
  std::bitset<256> pressed;
  for (int touch = quillfane_first_touch(); touch != 0; touch = quillfane_first_touch()) {
    const int code = touch > 0 ? touch : -touch;
    if (touch < 0 && code < 256 && pressed[static_cast<std::size_t>(code)]) return;
    quillfane_take_touch();
    if (code >= 256) continue;
    if (touch > 0) {
      pressed[static_cast<std::size_t>(code)] = true;
      Keys().Press(KeySource::kTouch, static_cast<std::int16_t>(code));
    } else {
      Keys().Release(KeySource::kTouch, static_cast<std::int16_t>(code));
    }
  }
}

bool WebWindow::ReadController(PadState& pad) {
  return quillfane_read_gamepad(&pad.dpadLeft, &pad.dpadRight, &pad.dpadUp, &pad.dpadDown,
                                &pad.south, &pad.east, &pad.rightShoulder, &pad.back, &pad.stickX,
                                &pad.stickY, &pad.leftTrigger, &pad.rightTrigger) != 0;
}

// The canvas cannot be trusted (shown, resized, refreshed): copy all and black the rest.
bool WebWindow::PresentPlayfield(Raster& playfield, bool all) {
  const std::uint32_t* pixels = playfield.Pixels();
  const int pixelWidth = playfield.PixelWidth();
  const int pixelHeight = playfield.PixelHeight();
  if (all) {
    quillfane_put(pixels, pixelWidth, pixelHeight, 0, 0, pixelWidth, pixelHeight, 1);
  } else {
    for (const PixelRect& area : playfield.Dirty()) {
      quillfane_put(pixels, pixelWidth, pixelHeight, area.x, area.y, area.w, area.h, 0);
    }
  }
  return true;
}

// Keys are only queued here: the game hears of them inside PumpEvents, in order, so a tap
// shorter than a frame still arrives as a down and an up. Auto-repeat queues further downs.
EM_BOOL WebWindow::OnKey(int type, const EmscriptenKeyboardEvent* event, void* impl) {
  const std::int16_t code =
      VirtualKeyFromDom(event->code, event->key, static_cast<int>(event->keyCode));
  if (code == 0) return EM_FALSE;
  const std::int16_t shift =
      ShiftState(event->shiftKey != 0, event->ctrlKey != 0, event->altKey != 0);
  static_cast<WebWindow*>(impl)->Queue(type == EMSCRIPTEN_EVENT_KEYDOWN, code, shift);
  // The canvas hears keys only while it has the focus: only then is scrolling prevented.
  return IsGameKey(code) ? EM_TRUE : EM_FALSE;
}

// A key released while the page cannot hear it would otherwise stay held.
EM_BOOL WebWindow::OnBlur(int, const EmscriptenFocusEvent*, void* impl) {
  static_cast<WebWindow*>(impl)->ReleaseHeld();
  return EM_FALSE;
}

EM_BOOL WebWindow::OnVisibility(int, const EmscriptenVisibilityChangeEvent* event, void* impl) {
  if (event->hidden) static_cast<WebWindow*>(impl)->ReleaseHeld();
  return EM_FALSE;
}

bool WebWindow::Open(std::string& error) {
  void* data = this;
  if (emscripten_set_keydown_callback(kCanvas, data, EM_TRUE, OnKey) != EMSCRIPTEN_RESULT_SUCCESS ||
      emscripten_set_keyup_callback(kCanvas, data, EM_TRUE, OnKey) != EMSCRIPTEN_RESULT_SUCCESS ||
      emscripten_set_blur_callback(kCanvas, data, EM_TRUE, OnBlur) != EMSCRIPTEN_RESULT_SUCCESS ||
      emscripten_set_visibilitychange_callback(data, EM_TRUE, OnVisibility) !=
          EMSCRIPTEN_RESULT_SUCCESS) {
    emscripten_html5_remove_all_event_listeners();
    error = "the page has no element with the id \"canvas\" to take the keys";
    return false;
  }
  return true;
}

void WebWindow::DispatchEvents() {
  lostInLastPump = false;
  for (; count > 0; --count) {
    const KeyEvent key = queue[head];
    head = (head + 1) % static_cast<int>(queue.size());
    if (key.code == 0) {
      lostInLastPump = true;
      Keys().ReleaseAll();
    } else if (key.down) {
      Keys().Press(KeySource::kKeyboard, key.code, key.shift);
    } else {
      Keys().Release(KeySource::kKeyboard, key.code, key.shift);
    }
  }
  DeliverTouches();
}

// Nothing after the exit runs: it unwinds the module's stack, and the page, told first,
// offers a new game in a fresh module.
void WebWindow::CloseAndExit() {
  emscripten_html5_remove_all_event_listeners();
  quillfane_stop_listening_for_controllers();
  quillfane_say_ended();
  emscripten_force_exit(0);
}

}  // namespace

// A web page has no command line.
std::optional<int> AnswerCommandLine(int /*argc*/, char** /*argv*/) { return std::nullopt; }

// Null when the page has no 2D canvas.
std::unique_ptr<WindowBase> OpenWindow(std::string& error) {
  if (quillfane_open_canvas() == 0) {
    error = "this browser gives the page no 2D canvas to draw the game on";
    return nullptr;
  }
  auto window = std::make_unique<WebWindow>();
  if (!window->Open(error)) return nullptr;
  return window;
}

// On the page, where the canvas would be.
void ReportStartFailure(const std::string& error) {
  quillfane_say_start_failure(("The game cannot start: " + error + ".").c_str());
}

}  // namespace quillfane
