// Everything the game and its page ask of each other, linked in with emscripten's --js-library.
//
// The page makes each game with createQuillfane(Module), Module holding:
//   canvas            the playfield: its width and height are the window's client area and outer size
//   instantiateWasm   instantiates the game's code, which the page compiled once for every game
//   touches           a queue the page fills: a key code pressed on a touch control, or its negative let go
//   onEnded()         the game has ended; the page offers a new one, in a fresh module
//   onStartFailure(t) the game cannot start, and t says why in a sentence
// The game keeps its own state on Module under names that start with "quillfane".
//
// The functions below are the game's calls into the page, one for each thing the window needs of it.
mergeInto(LibraryManager.library, {
  // Opaque, and desynchronized: changes reach the screen without waiting for the page to be composited,
  // which costs the browser less per frame. Whoever asks first sets these.
  quillfane_open_canvas: function () {
    var canvas = Module["canvas"];
    var context = canvas && canvas.getContext && canvas.getContext("2d", {alpha: false, desynchronized: true});
    Module["quillfaneContext"] = context;
    return context ? 1 : 0;
  },

  quillfane_canvas_width: function () { return Module["canvas"].width; },
  quillfane_canvas_height: function () { return Module["canvas"].height; },

  // The image is a view on the raster's own memory, made again only when the buffer moves or the memory grows;
  // putImageData copies just the rectangle asked for, its pixels opaque, so they show even on a canvas that
  // another script took first, with alpha.
  quillfane_put: function (pixels, width, height, x, y, w, h, blackFirst) {
    var image = Module["quillfaneImage"];
    if (!image || image.data.buffer != HEAPU8.buffer || image.data.byteOffset != pixels ||
        image.width != width || image.height != height) {
      var view = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
      image = Module["quillfaneImage"] = new ImageData(view, width, height);
    }
    var context = Module["quillfaneContext"];
    if (blackFirst) {
      context.fillStyle = "#000";
      context.fillRect(0, 0, context.canvas.width, context.canvas.height);
    }
    context.putImageData(image, 0, 0, x, y, w, h);
  },

  // 1 when a display refresh has passed since the canvas was last written: more would never be seen, and the
  // frames between add to the raster's changed area. The refresh is measured once, as the shortest of a few gaps
  // between animation frames (60 a second until then); asking for animation frames all along would cost the
  // browser more than the copies it saves.
  quillfane_display_refreshed: function () {
    var now = performance.now();
    if (!Module["quillfaneRefresh"]) {
      Module["quillfaneRefresh"] = 1000 / 60;
      Module["quillfaneDrawn"] = -Infinity;
      var gaps = 0, last = 0;
      var measure = function (time) {
        if (last) Module["quillfaneRefresh"] = Math.min(time - last, gaps++ ? Module["quillfaneRefresh"] : Infinity);
        last = time;
        if (gaps < 5) requestAnimationFrame(measure);
      };
      requestAnimationFrame(measure);
    }
    var refresh = Module["quillfaneRefresh"];
    if (now - Module["quillfaneDrawn"] < refresh) return 0;
    Module["quillfaneDrawn"] = Math.max(Module["quillfaneDrawn"] + refresh, now - refresh);
    return 1;
  },

  // The first touch waiting in Module.touches, or 0 when none waits; then taken off the queue.
  quillfane_first_touch: function () {
    var touches = Module["touches"];
    return touches && touches.length ? touches[0] | 0 : 0;
  },

  quillfane_take_touch: function () { Module["touches"].shift(); },

  quillfane_canvas_active: function () {
    return document.activeElement == Module["canvas"] && document.visibilityState == "visible" &&
           document.hasFocus();
  },

  quillfane_focus_canvas: function () { Module["canvas"].focus(); },

  // The first controller found with the browser's standard mapping, written into the fields of the game's pad
  // state, each given by its address: buttons as bools, the stick (up positive) and the triggers as floats.
  // 0 when there is none. Asking the browser for its controllers costs more than the rest of a frame, so it is
  // asked only while the page has heard of one connected.
  quillfane_read_gamepad: function (dpadLeft, dpadRight, dpadUp, dpadDown, south, east, rightShoulder, back,
                                    stickX, stickY, leftTrigger, rightTrigger) {
    if (!window["quillfanePadCount"]) {
      var count = window["quillfanePadCount"] = function () {
        var all = navigator.getGamepads ? navigator.getGamepads() : [];
        window["quillfanePads"] = 0;
        for (var i = 0; i < all.length; ++i) {
          if (all[i] && all[i].connected) ++window["quillfanePads"];
        }
      };
      addEventListener("gamepadconnected", count);
      addEventListener("gamepaddisconnected", count);
      count();
    }
    if (!window["quillfanePads"]) return 0;
    var pads = navigator.getGamepads();
    var usable = function (pad) { return pad && pad.connected && pad.mapping == "standard"; };
    var pad = pads[Module["quillfanePad"]];
    for (var i = 0; !usable(pad) && i < pads.length; ++i) {
      pad = pads[i];
      Module["quillfanePad"] = i;
    }
    if (!usable(pad)) return 0;
    // The standard mapping's button numbers.
    var pressed = function (field, button) { HEAP8[field] = pad.buttons[button] && pad.buttons[button].pressed ? 1 : 0; };
    var value = function (field, button) { HEAPF32[field >> 2] = pad.buttons[button] ? pad.buttons[button].value : 0; };
    pressed(dpadLeft, 14);
    pressed(dpadRight, 15);
    pressed(dpadUp, 12);
    pressed(dpadDown, 13);
    pressed(south, 0);
    pressed(east, 1);
    pressed(rightShoulder, 5);
    pressed(back, 8);
    HEAPF32[stickX >> 2] = pad.axes[0] || 0;
    HEAPF32[stickY >> 2] = -(pad.axes[1] || 0);
    value(leftTrigger, 6);
    value(rightTrigger, 7);
    return 1;
  },

  // The browser polls its controllers while a page listens for them, which costs it more than a frame of the
  // game: an ended game stops listening, and a new one starts again.
  quillfane_stop_listening_for_controllers: function () {
    var count = window["quillfanePadCount"];
    if (!count) return;
    removeEventListener("gamepadconnected", count);
    removeEventListener("gamepaddisconnected", count);
    delete window["quillfanePadCount"];
    delete window["quillfanePads"];
  },

  quillfane_say_ended: function () {
    if (Module["onEnded"]) Module["onEnded"]();
  },

  quillfane_say_start_failure: function (text) {
    var say = Module["onStartFailure"] || err;
    say(UTF8ToString(text));
  },
});
