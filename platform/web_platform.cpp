#include "platform/web_platform.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <array>
#include <bitset>
#include <cstdint>

#include "platform/gamepad.h"
#include "platform/web_keys.h"

namespace quillfane {

namespace {

constexpr const char* kCanvas = "#canvas";
constexpr WindowHandle kHandle = 1;

// The page hands the module its canvas as Module.canvas, and hooks for the end and a failed
// start as Module.onEnded and Module.onStartFailure.
// Opaque, and desynchronized: changes reach the screen without waiting for the page to be
// composited, which costs the browser less per frame. Whoever asks first sets these.
EM_JS(int, quillfane_open_canvas, (), {
  var canvas = Module['canvas'];
  var context = canvas && canvas.getContext &&
                canvas.getContext('2d', {alpha : false, desynchronized : true});
  Module['quillfaneContext'] = context;
  return context ? 1 : 0;
});

EM_JS(int, quillfane_canvas_width, (), { return Module['canvas'].width; });
EM_JS(int, quillfane_canvas_height, (), { return Module['canvas'].height; });

// The image is a view on the raster's own memory, made again only when the buffer moves or
// the memory grows; putImageData copies just the rectangle asked for, its pixels opaque, so
// they show even on a canvas that another script took first, with alpha.
EM_JS(void, quillfane_put,
      (const void* pixels, int width, int height, int x, int y, int w, int h, int blackFirst), {
        var image = Module['quillfaneImage'];
        if (!image || image.data.buffer != HEAPU8.buffer || image.data.byteOffset != pixels ||
            image.width != width || image.height != height) {
          var view = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
          image = Module['quillfaneImage'] = new ImageData(view, width, height);
        }
        var context = Module['quillfaneContext'];
        if (blackFirst) {
          context.fillStyle = '#000';
          context.fillRect(0, 0, context.canvas.width, context.canvas.height);
        }
        context.putImageData(image, 0, 0, x, y, w, h);
      });

// 1 when a display refresh has passed since the canvas was last written: more would never be
// seen, and the frames between add to the raster's changed area. The refresh is measured once,
// as the shortest of a few gaps between animation frames (60 a second until then); asking for
// animation frames all along would cost the browser more than the copies it saves.
EM_JS(int, quillfane_display_refreshed, (), {
  var now = performance.now();
  if (!Module['quillfaneRefresh']) {
    Module['quillfaneRefresh'] = 1000 / 60;
    Module['quillfaneDrawn'] = -Infinity;
    var gaps = 0, last = 0;
    var measure = function(time) {
      if (last)
        Module['quillfaneRefresh'] =
            Math.min(time - last, gaps++ ? Module['quillfaneRefresh'] : Infinity);
      last = time;
      if (gaps < 5) requestAnimationFrame(measure);
    };
    requestAnimationFrame(measure);
  }
  var refresh = Module['quillfaneRefresh'];
  if (now - Module['quillfaneDrawn'] < refresh) return 0;
  Module['quillfaneDrawn'] = Math.max(Module['quillfaneDrawn'] + refresh, now - refresh);
  return 1;
});

// The page's touch controls, as it queued them in Module.touches: a key code pressed, or its
// negative let go. The first waiting, or 0 when none waits; then taken off the queue.
EM_JS(int, quillfane_first_touch, (), {
  var touches = Module['touches'];
  return touches && touches.length ? touches[0] | 0 : 0;
});

EM_JS(void, quillfane_take_touch, (), { Module['touches'].shift(); });

EM_JS(int, quillfane_canvas_active, (), {
  return document.activeElement == Module['canvas'] && document.visibilityState == 'visible' &&
         document.hasFocus();
});

EM_JS(void, quillfane_focus_canvas, (), { Module['canvas'].focus(); });

// The first controller found with the browser's standard mapping, into out: the D-pad left,
// right, up and down, A, B, the right shoulder and Back as 0 or 1, the left stick's x and y
// (up positive), the left and right triggers. 0 when there is none. Asking the browser for its
// controllers costs more than the rest of a frame, so it is asked only while the page has
// heard of one connected.
EM_JS(int, quillfane_read_gamepad, (float* out), {
  if (!window['quillfanePadCount']) {
    var count = window['quillfanePadCount'] = function() {
      var all = navigator.getGamepads ? navigator.getGamepads() : [];
      window['quillfanePads'] = 0;
      for (var i = 0; i < all.length; ++i) {
        if (all[i] && all[i].connected) ++window['quillfanePads'];
      }
    };
    addEventListener('gamepadconnected', count);
    addEventListener('gamepaddisconnected', count);
    count();
  }
  if (!window['quillfanePads']) return 0;
  var pads = navigator.getGamepads();
  var usable = function(pad) { return pad && pad.connected && pad.mapping == 'standard'; };
  var pad = pads[Module['quillfanePad']];
  for (var i = 0; !usable(pad) && i < pads.length; ++i) {
    pad = pads[i];
    Module['quillfanePad'] = i;
  }
  if (!usable(pad)) return 0;
  var pressed = function(i) { return pad.buttons[i] && pad.buttons[i].pressed ? 1 : 0; };
  var value = function(i) { return pad.buttons[i] ? pad.buttons[i].value : 0; };
  var at = out >> 2;
  HEAPF32[at] = pressed(14);
  HEAPF32[at + 1] = pressed(15);
  HEAPF32[at + 2] = pressed(12);
  HEAPF32[at + 3] = pressed(13);
  HEAPF32[at + 4] = pressed(0);
  HEAPF32[at + 5] = pressed(1);
  HEAPF32[at + 6] = pressed(5);
  HEAPF32[at + 7] = pressed(8);
  HEAPF32[at + 8] = pad.axes[0] || 0;
  HEAPF32[at + 9] = -(pad.axes[1] || 0);
  HEAPF32[at + 10] = value(6);
  HEAPF32[at + 11] = value(7);
  return 1;
});

// The browser polls its controllers while a page listens for them, which costs it more than a
// frame of the game: an ended game stops listening, and a new one starts again.
EM_JS(void, quillfane_stop_listening_for_controllers, (), {
  var count = window['quillfanePadCount'];
  if (!count) return;
  removeEventListener('gamepadconnected', count);
  removeEventListener('gamepaddisconnected', count);
  delete window['quillfanePadCount'];
  delete window['quillfanePads'];
});

EM_JS(void, quillfane_say_ended, (), {
  if (Module['onEnded']) Module['onEnded']();
});

EM_JS(void, quillfane_say_start_failure, (const char* text), {
  var say = Module['onStartFailure'] || err;
  say(UTF8ToString(text));
});

struct KeyEvent {
  bool down;
  std::int16_t code;
};

}  // namespace

struct WebPlatform::Impl {
  // Opaque pixels in the canvas's byte order: the canvas reads the raster's own memory.
  Impl() : playfield(kInitialWidth, kInitialHeight, PixelLayout::kOpaqueRgbaBytes) {}

  void Queue(bool down, std::int16_t code);
  void ReleaseHeld();
  void DeliverTouches();
  PadState ReadController() const;
  void DeliverResizeIfChanged();
  void Present();
  static EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* event, void* impl);
  static EM_BOOL OnBlur(int type, const EmscriptenFocusEvent* event, void* impl);
  static EM_BOOL OnVisibility(int type, const EmscriptenVisibilityChangeEvent* event, void* impl);

  Raster playfield;
  WindowEvents* events = nullptr;
  // Filled by the page's event handlers between pumps. A person cannot press keys fast
  // enough to fill it between two frames; an event past a full queue is dropped.
  std::array<KeyEvent, 256> queue{};
  int head = 0;
  int count = 0;
  HeldKeys keys;
  Gamepad gamepad;
  // The canvas lost the keys or the tab was hidden since GetActiveWindow last said so: a
  // hidden tab's timers may wait a second or more, so the loop can sleep through the loss.
  bool lostUnseen = false;
  // The canvas size as of the last resize the game was told of.
  int width = 0;
  int height = 0;
  // The canvas cannot be trusted (shown, resized, refreshed): copy all and black the rest.
  bool presentWhole = true;
};

void WebPlatform::Impl::Queue(bool down, std::int16_t code) {
  if (count == static_cast<int>(queue.size())) return;
  queue[(head + count++) % queue.size()] = {down, code};
}

// Queued as a key-up of code 0, in order with the keys around it.
void WebPlatform::Impl::ReleaseHeld() {
  lostUnseen = true;
  Queue(false, 0);
}

// A browser busy with a touch may run no frame between a finger's press and its lift: a lift
// that would cancel its press before any frame saw it waits, with all after it, for the next
// pump, so that a quick tap on Fire still fires.
void WebPlatform::Impl::DeliverTouches() {
  std::bitset<256> pressed;
  for (int touch = quillfane_first_touch(); touch != 0; touch = quillfane_first_touch()) {
    const int code = touch > 0 ? touch : -touch;
    if (touch < 0 && code < 256 && pressed[static_cast<std::size_t>(code)]) return;
    quillfane_take_touch();
    if (code >= 256) continue;
    if (touch > 0) {
      pressed[static_cast<std::size_t>(code)] = true;
      keys.Press(KeySource::kTouch, static_cast<std::int16_t>(code));
    } else {
      keys.Release(KeySource::kTouch, static_cast<std::int16_t>(code));
    }
  }
}

// At rest while the canvas cannot hear the keys, as the keyboard is.
PadState WebPlatform::Impl::ReadController() const {
  std::array<float, 12> read{};
  if (quillfane_read_gamepad(read.data()) == 0 || quillfane_canvas_active() == 0) return {};
  return {.dpadLeft = read[0] != 0,
          .dpadRight = read[1] != 0,
          .dpadUp = read[2] != 0,
          .dpadDown = read[3] != 0,
          .south = read[4] != 0,
          .east = read[5] != 0,
          .rightShoulder = read[6] != 0,
          .back = read[7] != 0,
          .stickX = read[8],
          .stickY = read[9],
          .leftTrigger = read[10],
          .rightTrigger = read[11]};
}

void WebPlatform::Impl::DeliverResizeIfChanged() {
  const int nowWidth = quillfane_canvas_width();
  const int nowHeight = quillfane_canvas_height();
  if (nowWidth == width && nowHeight == height) return;
  width = nowWidth;
  height = nowHeight;
  presentWhole = true;
  if (events != nullptr) events->Form_Resize();
}

void WebPlatform::Impl::Present() {
  if (quillfane_display_refreshed() == 0) return;
  const std::uint32_t* pixels = playfield.Pixels();
  const int pixelWidth = playfield.PixelWidth();
  const int pixelHeight = playfield.PixelHeight();
  if (presentWhole) {
    quillfane_put(pixels, pixelWidth, pixelHeight, 0, 0, pixelWidth, pixelHeight, 1);
    presentWhole = false;
  } else {
    for (const PixelRect& area : playfield.Dirty()) {
      quillfane_put(pixels, pixelWidth, pixelHeight, area.x, area.y, area.w, area.h, 0);
    }
  }
  playfield.ClearDirty();
}

// Keys are only queued here: the game hears of them inside PumpEvents, in order, so a tap
// shorter than a frame still arrives as a down and an up. Auto-repeat queues further downs.
EM_BOOL WebPlatform::Impl::OnKey(int type, const EmscriptenKeyboardEvent* event, void* impl) {
  const std::int16_t code =
      VirtualKeyFromDom(event->code, event->key, static_cast<int>(event->keyCode));
  if (code == 0) return EM_FALSE;
  static_cast<Impl*>(impl)->Queue(type == EMSCRIPTEN_EVENT_KEYDOWN, code);
  // The canvas hears keys only while it has the focus: only then is scrolling prevented.
  return IsGameKey(code) ? EM_TRUE : EM_FALSE;
}

// A key released while the page cannot hear it would otherwise stay held.
EM_BOOL WebPlatform::Impl::OnBlur(int, const EmscriptenFocusEvent*, void* impl) {
  static_cast<Impl*>(impl)->ReleaseHeld();
  return EM_FALSE;
}

EM_BOOL WebPlatform::Impl::OnVisibility(int, const EmscriptenVisibilityChangeEvent* event,
                                        void* impl) {
  if (event->hidden) static_cast<Impl*>(impl)->ReleaseHeld();
  return EM_FALSE;
}

WebPlatform::WebPlatform(std::unique_ptr<Impl> impl)
    : RasterPlatform(impl->playfield), impl_(std::move(impl)) {}

WebPlatform::~WebPlatform() { emscripten_html5_remove_all_event_listeners(); }

std::unique_ptr<WebPlatform> WebPlatform::Create(std::string& error) {
  if (quillfane_open_canvas() == 0) {
    error = "this browser gives the page no 2D canvas to draw the game on";
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  void* data = impl.get();
  if (emscripten_set_keydown_callback(kCanvas, data, EM_TRUE, Impl::OnKey) !=
          EMSCRIPTEN_RESULT_SUCCESS ||
      emscripten_set_keyup_callback(kCanvas, data, EM_TRUE, Impl::OnKey) !=
          EMSCRIPTEN_RESULT_SUCCESS ||
      emscripten_set_blur_callback(kCanvas, data, EM_TRUE, Impl::OnBlur) !=
          EMSCRIPTEN_RESULT_SUCCESS ||
      emscripten_set_visibilitychange_callback(data, EM_TRUE, Impl::OnVisibility) !=
          EMSCRIPTEN_RESULT_SUCCESS) {
    emscripten_html5_remove_all_event_listeners();
    error = "the page has no element with the id \"canvas\" to take the keys";
    return nullptr;
  }
  return std::unique_ptr<WebPlatform>(new WebPlatform(std::move(impl)));
}

void WebPlatform::ReportStartFailure(const std::string& error) {
  quillfane_say_start_failure(("The game cannot start: " + error + ".").c_str());
}

void WebPlatform::SetWindowEvents(WindowEvents& events) {
  impl_->events = &events;
  impl_->keys.SetEvents(&events);
}

void WebPlatform::Show() {
  quillfane_focus_canvas();
  impl_->width = quillfane_canvas_width();
  impl_->height = quillfane_canvas_height();
  impl_->presentWhole = true;
  impl_->Present();
}

float WebPlatform::WindowWidth() const {
  return static_cast<float>(quillfane_canvas_width()) * kTwipsPerPixel;
}

float WebPlatform::WindowHeight() const {
  return static_cast<float>(quillfane_canvas_height()) * kTwipsPerPixel;
}

WindowHandle WebPlatform::Handle() const { return kHandle; }

WindowHandle WebPlatform::GetActiveWindow() const {
  const bool active = quillfane_canvas_active() != 0 && !impl_->lostUnseen;
  impl_->lostUnseen = false;
  return active ? kHandle : 0;
}

void WebPlatform::RefreshPlayfield() {
  impl_->playfield.Clear();
  impl_->presentWhole = true;
  impl_->Present();
}

void WebPlatform::FocusPlayfield() { quillfane_focus_canvas(); }

void WebPlatform::PumpEvents() {
  for (; impl_->count > 0; --impl_->count) {
    const KeyEvent key = impl_->queue[impl_->head];
    impl_->head = (impl_->head + 1) % static_cast<int>(impl_->queue.size());
    if (key.code == 0) {
      impl_->keys.ReleaseAll();
    } else if (key.down) {
      impl_->keys.Press(KeySource::kKeyboard, key.code);
    } else {
      impl_->keys.Release(KeySource::kKeyboard, key.code);
    }
  }
  impl_->DeliverTouches();
  impl_->gamepad.Update(impl_->ReadController(), impl_->keys);
  impl_->DeliverResizeIfChanged();
  impl_->Present();
}

void WebPlatform::Sleep(int milliseconds) {
  emscripten_sleep(milliseconds > 0 ? static_cast<unsigned>(milliseconds) : 0);
}

// Nothing after the exit runs: it unwinds the module's stack, and the page, told first,
// offers a new game in a fresh module.
void WebPlatform::EndProgram() {
  emscripten_html5_remove_all_event_listeners();
  quillfane_stop_listening_for_controllers();
  quillfane_say_ended();
  emscripten_force_exit(0);
}

}  // namespace quillfane
