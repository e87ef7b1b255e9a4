#!/usr/bin/env python3
"""Plants faults in the game one at a time and runs the tests against each, to show which
tests catch what. Usage: scripts/plant_faults.py [--e2e | --web] [--tests=REGEX] [NAME...]
Builds in build-faults/ (g++), or with --web the web backend's faults in build-faults-web/
(emscripten; the unit tests under node, the page in the headless browsers and on the phone); restores every
file it touches, even when interrupted. Then prints, for each test and each test file, its counted lines, the
faults it caught and the faults only it caught."""

import glob
import json
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WEB = "--web" in sys.argv
BUILD = os.path.join(ROOT, "build-faults-web" if WEB else "build-faults")

# name: (file, text, replacement); each text must occur exactly once in its file.
FAULTS = {
    "left turn 6 degrees": (
        "game/frame.cpp",
        "Degrees(state, 5) + state.ShipAngle",
        "Degrees(state, 6) + state.ShipAngle",
    ),
    "heading floor inclusive": (
        "game/frame.cpp",
        "state.ShipAngle < Degrees(state, 0)",
        "state.ShipAngle <= Degrees(state, 0)",
    ),
    "thrust x uses cos": ("game/frame.cpp", "power * std::sin(state.ShipAngle)", "power * std::cos(state.ShipAngle)"),
    "fires with shield up": ("game/frame.cpp", " || state.KeyShield) return;", ") return;"),
    "latch kept after volley": ("game/frame.cpp", "  state.FireReady = false;\n", ""),
    "clear after draw": (
        "game/frame.cpp",
        "  ClearShip(state, platform);\n  DrawShip(state, platform);",
        "  DrawShip(state, platform);\n  ClearShip(state, platform);",
    ),
    "steer before drawing": (
        "game/frame.cpp",
        "  DrawShip(state, platform);\n  Steer(state);",
        "  Steer(state);\n  DrawShip(state, platform);",
    ),
    "bullets need two live": ("game/frame.cpp", "state.BulletCount > 0", "state.BulletCount > 1"),
    "wrap at the edge itself": (
        "game/frame.cpp",
        "static_cast<float>(state.ShipY) > height",
        "static_cast<float>(state.ShipY) >= height",
    ),
    "wrap compared in double": ("game/frame.cpp", "static_cast<float>(state.ShipX) > width", "state.ShipX > width"),
    "wrap keeps overshoot": (
        "game/frame.cpp",
        "if (state.ShipY < 0) state.ShipY = platform.PlayfieldHeight();",
        "if (state.ShipY < 0) state.ShipY += platform.PlayfieldHeight();",
    ),
    "playfield not fitted": (
        "game/frame.cpp",
        "platform.SetPlayfieldWidth(platform.WindowWidth());",
        "platform.SetPlayfieldWidth(7110);",
    ),
    "no refresh on focus": ("game/frame.cpp", "  platform.RefreshPlayfield();\n", ""),
    "no second pump on focus": (
        "game/frame.cpp",
        "  platform.FocusPlayfield();\n  platform.PumpEvents();",
        "  platform.FocusPlayfield();",
    ),
    "sleep 1 ms": ("game/frame.cpp", "kFrameSleepMilliseconds = 10", "kFrameSleepMilliseconds = 1"),
    "latch starts clear": ("game/game_state.cpp", "state.FireReady = true;", "state.FireReady = false;"),
    "library pi": ("game/game_state.cpp", "6.28318530717958 / 360", "6.283185307179586 / 360"),
    "muzzle radius 220": ("ship/ship.cpp", "{13, 40, 230}", "{13, 40, 220}"),
    "arc start rule inclusive": ("ship/ship.cpp", "headingRoom > 50", "headingRoom >= 50"),
    "flame stroke reversed": ("ship/ship.cpp", "{8, 9}", "{9, 8}"),
    "erase skips a line": (
        "ship/ship.cpp",
        "  DrawOutlineLines(state, platform, kFlameLines);\n  DrawOutlineLines(state, platform, kSideLines);\n",
        "  DrawOutlineLines(state, platform, kFlameLines);\n",
    ),
    "erase at the new centre": (
        "ship/ship.cpp",
        "static_cast<float>(state.LastShipX);",
        "static_cast<float>(state.ShipX);",
    ),
    "shield radius 300": (
        "ship/ship.cpp",
        "if (state.KeyShield) platform.DrawCircle(centreX, centreY, kShieldRadius);",
        "if (state.KeyShield) platform.DrawCircle(centreX, centreY, kHullRadius);",
    ),
    "last centre not kept": ("ship/ship.cpp", "  state.LastShipX = state.ShipX;\n", ""),
    "retired without erase": (
        "bullets/bullets.cpp",
        "  platform.SetPenColour(0, 0, 0);\n  DrawBulletBox(bullet, platform);\n  bullet.Active = false;",
        "  bullet.Active = false;",
    ),
    "retire at zero": ("bullets/bullets.cpp", "bullet.X < 0", "bullet.X <= 0"),
    "slot 0 given out": (
        "bullets/bullets.cpp",
        "for (Integer slot = 1; slot <= kLastBulletSlot",
        "for (Integer slot = 0; slot <= kLastBulletSlot",
    ),
    "bullet speed 199": ("bullets/bullets.cpp", "kBulletSpeed = 200", "kBulletSpeed = 199"),
    "count not raised": ("bullets/bullets.cpp", "  ++state.BulletCount;\n", ""),
    "space release keeps latch": ("controls/controls.cpp", "      state.FireReady = true;\n", ""),
    "left and right swapped": (
        "controls/controls.cpp",
        "    case kKeyLeft:\n      state.KeyLeft = true;",
        "    case kKeyLeft:\n      state.KeyRight = true;",
    ),
    "esc ignored": ("controls/controls.cpp", "      platform.EndProgram();\n", ""),
    "box a pixel short": (
        "platform/raster.cpp",
        "std::fill(row + left, row + right + 1, pen_);",
        "std::fill(row + left, row + right, pen_);",
    ),
    "line step rule": ("platform/raster.cpp", "if (twice >= dy) {", "if (twice > dy) {"),
    "coordinates truncated": (
        "platform/raster.cpp",
        "ClampToPixelLimit(std::floor(static_cast<double>(twips) / kTwipsPerPixel))",
        "ClampToPixelLimit(static_cast<double>(twips) / kTwipsPerPixel)",
    ),
    "arc through 0 wrong": ("platform/raster.cpp", "angle >= start || angle <= end", "angle >= start && angle <= end"),
    "resize drops the picture": (
        "platform/raster.cpp",
        "    std::copy(row, row + keptWidth,",
        "    if (false) std::copy(row, row + keptWidth,",
    ),
    "lines not marked changed": (
        "platform/raster.cpp",
        "BeginFigure(std::min(x, toX), std::min(y, toY), std::max(x, toX), std::max(y, toY));",
        "Canvas{pixels_.data(), pixelWidth_, pixelHeight_, pen_, false};",
    ),
    "buffer made anew at every figure": (
        "platform/raster.cpp",
        "  if (!resizePending_) return;\n"
        "  resizePending_ = false;\n"
        "  const int width = ToBufferSide(width_);\n"
        "  const int height = ToBufferSide(height_);\n"
        "  if (width == pixelWidth_ && height == pixelHeight_) return;\n",
        "  const int width = ToBufferSide(width_);\n"
        "  const int height = ToBufferSide(height_);\n",
    ),
    "figure thought inside": (
        "platform/raster.cpp",
        "const bool inside = left >= 0 && top >= 0",
        "const bool inside = left >= -1 && top >= 0",
    ),
    "pad without hysteresis": (
        "platform/gamepad.cpp",
        "pushed ? value >= kReleaseBelow : value >= kPressAt",
        "value >= kPressAt",
    ),
    "pad dead zone 0.25": ("platform/gamepad.h", "kReleaseBelow = 0.3F", "kReleaseBelow = 0.25F"),
    "right trigger not thrust": ("platform/gamepad.cpp", "stickUp || rightTrigger", "stickUp"),
    "pad presses before releases": (
        "platform/gamepad.cpp",
        "    if (!held && keys.Holds(",
        "    if (false && keys.Holds(",
    ),
    "key-up while another holds it": (
        "platform/held_keys.cpp",
        "if (holders == 0 && events_ != nullptr) events_->Picture1_KeyUp",
        "if (events_ != nullptr) events_->Picture1_KeyUp",
    ),
    "focus release keeps holders": ("platform/held_keys.cpp", "    holders_[code] = 0;\n", ""),
    "sdl no controller subsystem": (
        "platform/sdl/sdl_platform.cpp",
        "  SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);\n",
        "",
    ),
    "sdl unplugged pad kept": (
        "platform/sdl/sdl_platform.cpp",
        "        SDL_GameControllerClose(controller_);\n        controller_ = nullptr;\n",
        "",
    ),
    "pad read without the keys": (
        "platform/window_base.cpp",
        "if (!ReadController(pad) || !HasFocus()) pad = {};",
        "if (!ReadController(pad)) pad = {};",
    ),
    # The backends' own decisions, caught by the unit tests alone.
    "scale 0 accepted": ("platform/sdl/sdl_startup.cpp", "chosen[0] < '1'", "chosen[0] < '0'"),
    "scale 5 accepted": ("platform/sdl/sdl_startup.cpp", "chosen[0] > '4'", "chosen[0] > '5'"),
    "scale of two digits accepted": ("platform/sdl/sdl_startup.cpp", " || chosen[1] != '\\0') {", ") {"),
    "GDK_SCALE ignored": ("platform/sdl/sdl_x11.cpp", "  if (!IsUnset(\"GDK_SCALE\")) return", "  if (false) return"),
    "Xft.dpi over 72": (
        "platform/sdl/sdl_x11.cpp",
        "std::strlen(\"Xft.dpi:\")) / 96",
        "std::strlen(\"Xft.dpi:\")) / 72",
    ),
    "scale not capped at 4": ("platform/sdl/sdl_startup.cpp", "1L, 4L", "1L, 8L"),
    "Xft.dpi read under Wayland": (
        "platform/sdl/sdl_x11.cpp",
        "if (xResources == nullptr || !IsUnset(\"WAYLAND_DISPLAY\")) return 1;",
        "if (xResources == nullptr) return 1;",
    ),
    "scaled changes clipped to the raster's scale 1": (
        "platform/sdl/sdl_present.cpp",
        "const SDL_Rect bounds{0, 0, target->w / scale_, target->h / scale_};",
        "const SDL_Rect bounds{0, 0, target->w, target->h};",
    ),
    "scaled whole present not clipped": (
        "platform/sdl/sdl_present.cpp",
        "std::min(source->w, target->w / scale_)",
        "source->w",
    ),
    "scaled changes shown unscaled": (
        "platform/sdl/sdl_present.cpp",
        "      shown[count++] = {visible.x * scale_, visible.y * scale_, visible.w * scale_,\n"
        "                        visible.h * scale_};",
        "      shown[count++] = visible;",
    ),
    "scaled rows not repeated": (
        "platform/sdl/sdl_present.cpp",
        "for (int copy = 1; copy < scale; ++copy) {",
        "for (int copy = 1; copy < scale - 1; ++copy) {",
    ),
    "texture drawn unscaled": (
        "platform/sdl/sdl_present.cpp",
        "const SDL_Rect to{from.x * scale_, from.y * scale_, from.w * scale_, from.h * scale_};",
        "const SDL_Rect to = from;",
    ),
    "texture never drawn again": (
        "platform/sdl/sdl_present.cpp",
        "  } else if (raster.Dirty().empty() && !undrawn_) {",
        "  } else if (raster.Dirty().empty()) {",
    ),
    "guard expiry says nothing": ("platform/sdl/sdl_startup.cpp", "  Say(unfinished);\n", ""),
    "signal after start gives 1": ("platform/sdl/sdl_startup.cpp", "started = startedNow ? 1 : 0;", "started = 0;"),
    "guard not cancelled": (
        "platform/sdl/sdl_startup.cpp",
        "void EndStartGuard(bool startedNow) {\n  alarm(0);",
        "void EndStartGuard(bool startedNow) {",
    ),
    "X errors of other resources end the game": (
        "platform/sdl/sdl_x11.cpp",
        "error->resourceid == watchedWindow &&",
        "",
    ),
    "any X error on the window ends the game": (
        "platform/sdl/sdl_x11.cpp",
        " &&\n      (error->error_code == BadWindow || error->error_code == BadDrawable)) {",
        ") {",
    ),
    "no display left to SDL": (
        "platform/sdl/sdl_x11.cpp",
        "    error = kNoDisplay;\n    return false;",
        "    return true;",
    ),
    "stick y not turned up": (
        "platform/sdl/sdl_platform.cpp",
        ".stickY = -axis(SDL_CONTROLLER_AXIS_LEFTY)",
        ".stickY = axis(SDL_CONTROLLER_AXIS_LEFTY)",
    ),
    "stick x read from the right stick": (
        "platform/sdl/sdl_platform.cpp",
        ".stickX = axis(SDL_CONTROLLER_AXIS_LEFTX)",
        ".stickX = axis(SDL_CONTROLLER_AXIS_RIGHTX)",
    ),
    "triggers swapped": (
        "platform/sdl/sdl_platform.cpp",
        ".leftTrigger = axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT)",
        ".leftTrigger = axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT)",
    ),
    "B read from X": (
        "platform/sdl/sdl_platform.cpp",
        ".east = button(SDL_CONTROLLER_BUTTON_B)",
        ".east = button(SDL_CONTROLLER_BUTTON_X)",
    ),
    "axes read at half travel": (
        "platform/gamepad.cpp",
        "static_cast<float>(value) / 32767.0F",
        "static_cast<float>(value) / 65535.0F",
    ),
    "second controller not taken up": (
        "platform/sdl/sdl_platform.cpp",
        "        controller_ = nullptr;\n        OpenFirstController();",
        "        controller_ = nullptr;",
    ),
    "sdl shift is SDL's bits": (
        "platform/sdl/sdl_platform.cpp",
        "  if (key.type == SDL_KEYDOWN) {\n    Keys().Press(KeySource::kKeyboard, code, shift);",
        "  if (key.type == SDL_KEYDOWN) {\n    Keys().Press(KeySource::kKeyboard, code, key.keysym.mod);",
    ),
    "help with trailing arguments": ("platform/command_line.cpp", "if (help && argc == 2) {", "if (help) {"),
    "wrong argument named is the first": (
        "platform/command_line.cpp",
        "help || version ? argv[2] : argv[1]",
        "argv[1]",
    ),
    "resize told twice": ("platform/window_base.cpp", "    reported_ = outer;\n", ""),
    "resize not presented whole": (
        "platform/window_base.cpp",
        "    reported_ = outer;\n    presentAll_ = true;",
        "    reported_ = outer;",
    ),
    "failed present not retried whole": ("platform/window_base.cpp", "presentAll_ = !shown;", "presentAll_ = false;"),
    "refresh keeps the picture": ("platform/window_base.cpp", "  Playfield().Clear();\n", ""),
    "negative sleep not clamped": (
        "platform/window_base.cpp",
        "Wait(milliseconds > 0 ? unsigned(milliseconds) : 0)",
        "Wait(unsigned(milliseconds))",
    ),
    "active without the focus": (
        "platform/window_base.h",
        "return HasFocus() ? Handle() : 0;",
        "return Handle();",
    ),
    "minimised size forgotten": (
        "platform/window_base.h",
        "MeasureOuter().value_or(reported_)",
        "MeasureOuter().value_or(OuterSize{})",
    ),
    "flame without its key": (
        "ship/ship.cpp",
        "if (state.KeyThrust) DrawOutlineLines",
        "if (state.KeyThrust || state.KeyLeft) DrawOutlineLines",
    ),
    "shield without its key": (
        "ship/ship.cpp",
        "if (state.KeyShield) platform.DrawCircle(centreX, centreY, kShieldRadius);",
        "if (state.KeyShield || state.KeyFire) platform.DrawCircle(centreX, centreY, kShieldRadius);",
    ),
    "outline point 14 a degree off": ("ship/ship.cpp", "{14, 120, 160}", "{14, 121, 160}"),
    "bullet starts off the muzzle": (
        "bullets/bullets.cpp",
        "bullet.X = state.ShipPtX[point];",
        "bullet.X = state.ShipPtX[point] + 20;",
    ),
    "bullet 10 twips wide": ("bullets/bullets.cpp", "kBulletSize = 5", "kBulletSize = 10"),
    "bullet yellow": (
        "bullets/bullets.cpp",
        "  platform.SetPenColour(255, 255, 255);",
        "  platform.SetPenColour(255, 255, 0);",
    ),
    "bullet heading a degree off": (
        "bullets/bullets.cpp",
        "bullet.Angle = state.ShipAngle;",
        "bullet.Angle = state.ShipAngle + Degrees(state, 1);",
    ),
    "circle shape": ("platform/raster.cpp", "int error = 1 - r;", "int error = 3 - r;"),
    "changed area lost when full": ("platform/raster.cpp", "rect = Union(rect, dirty_[best]);", "rect = dirty_[best];"),
    "changed area a row short": (
        "platform/raster.cpp",
        "AddDirty({left, top, right - left + 1, bottom - top + 1});",
        "AddDirty({left, top, right - left + 1, bottom - top});",
    ),
    "left arrow is right": ("platform/sdl/sdl_keys.cpp", "{SDLK_LEFT, kKeyLeft}", "{SDLK_LEFT, kKeyRight}"),
    "keypad NumLock inverted": (
        "platform/sdl/sdl_keys.cpp",
        "(sdlModifiers & KMOD_NUM) != 0;",
        "(sdlModifiers & KMOD_NUM) == 0;",
    ),
    "present copies nothing": ("platform/sdl/sdl_present.cpp", "    CopyChanged(source, target, visible);\n", ""),
    "surface wrapped every frame": (
        "platform/sdl/sdl_present.cpp",
        "if (wrapped_ != nullptr && wrapped_->pixels == pixels",
        "if (false && wrapped_ != nullptr && wrapped_->pixels == pixels",
    ),
    "present copies a row short": (
        "platform/sdl/sdl_present.cpp",
        "for (int row = 0; row < area.h; ++row) {\n    std::memcpy(to",
        "for (int row = 1; row < area.h; ++row) {\n    std::memcpy(to",
    ),
    "expose ignored": ("platform/sdl/sdl_platform.cpp", "event.window.event == SDL_WINDOWEVENT_EXPOSED ||", ""),
    "quit ignored": (
        "platform/sdl/sdl_platform.cpp",
        "    case SDL_QUIT:\n      EndProgram();  // does not return\n",
        "",
    ),
    "refresh not shown": (
        "platform/window_base.cpp",
        "  Playfield().Clear();\n  presentAll_ = true;\n  Present();",
        "  Playfield().Clear();",
    ),
    "outer size without frame": (
        "platform/sdl/sdl_platform.cpp",
        "OuterSize{(width + left + right) / scale_, (height + top + bottom) / scale_}",
        "OuterSize{width / scale_, height / scale_}",
    ),
    "close ignored": (
        "platform/sdl/sdl_platform.cpp",
        "if (event.window.event == SDL_WINDOWEVENT_CLOSE) EndProgram();",
        "",
    ),
    "signals left to SDL": (
        "platform/sdl/sdl_startup.cpp",
        "  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &end, nullptr);\n",
        "",
    ),
    "signal before start gives 0": ("platform/sdl/sdl_startup.cpp", "_exit(started != 0 ? 0 : 1)", "_exit(0)"),
    "start guard removed": ("platform/sdl/sdl_startup.cpp", "  alarm(5);\n", ""),
    "guard ends before SDL starts": (
        "platform/sdl/sdl_platform.cpp",
        "  StartStep(\"SDL's video driver did not start\");\n",
        "  EndStartGuard(false);\n",
    ),
    "standard streams left closed": (
        "platform/sdl/sdl_startup.cpp",
        "      open(\"/dev/null\", descriptor == 0 ? O_RDONLY : O_WRONLY);\n",
        "",
    ),
    "X errors left to Xlib": ("platform/sdl/sdl_x11.cpp", "  XSetErrorHandler(OnXError);\n", ""),
    "lost display left to Xlib": ("platform/sdl/sdl_x11.cpp", "  XSetIOErrorHandler(LostDisplay);\n", ""),
    "too large presented": ("platform/sdl/sdl_present.cpp", "  if (TooLargeToShow()) return false;\n", ""),
    "Wayland presents through a surface": (
        "platform/sdl/sdl_platform.cpp",
        "presenter_.Start(window_, OnWayland(),",
        "presenter_.Start(window_, false,",
    ),
    "Wayland changes not uploaded": (
        "platform/sdl/sdl_present.cpp",
        "      if (SDL_UpdateTexture(texture_, &changed, from, pitch) != 0) return false;\n",
        "",
    ),
    "Wayland tiles never lit": ("platform/sdl/sdl_present.cpp", "= lit ? 1 : 0;", "= 0;"),
    "Wayland changed tiles not marked": ("platform/sdl/sdl_present.cpp", "      MarkLitTiles(raster, changed);\n", ""),
    "scale not applied to presenting": ("platform/sdl/sdl_present.cpp", "  scale_ = scale;\n", "  scale_ = 1;\n"),
    "window not enlarged by the scale": ("platform/sdl/sdl_platform.cpp", "  if (scale_ > 1) {", "  if (false) {"),
    "Xft.dpi ignored": ("platform/sdl/sdl_x11.cpp", "if (dpi != nullptr) return", "if (false) return"),
    "window not shown named as such": (
        "platform/sdl/sdl_platform.cpp",
        '  StartStep(OnWayland() ? "the compositor did not show the window"\n'
        '                        : "the window manager did not show the window");\n',
        "",
    ),
    "X resources not read": (
        "platform/sdl/sdl_x11.cpp",
        'return resources != nullptr ? resources : "";',
        'return "";',
    ),
    "Wayland left to SDL": (
        "platform/sdl/sdl_x11.cpp",
        "if (IsUnset(\"DISPLAY\") && !WaylandCompositorAnswers(error)) return false;",
        "",
    ),
    "key-ups on focus loss dropped": (
        "platform/sdl/sdl_platform.cpp",
        "  } else {\n    Keys().Release(KeySource::kKeyboard, code, shift);",
        "  } else if (SDL_GetKeyboardFocus() != nullptr) {\n    Keys().Release(KeySource::kKeyboard, code, shift);",
    ),
    "wrong argument starts the game": ("platform/command_line.cpp", "  return 2;\n", "  return std::nullopt;\n"),
    "version not the project's": ("platform/command_line.cpp", "kVersionText);", "\"1.0\");"),
    "man page without exit statuses": ("packaging/quillfane.6.in", "@QUILLFANE_MAN_EXIT_STATUS@", ""),
    "README's keys drift": ("README.md", "| turn counter-clockwise ", "| turn anticlockwise     "),
    "a status reworded once": ("docs/usage.txt", "2 | a wrong command line", "2 | a bad command line"),
    "web keypad NumLock inverted": (
        "platform/web/web_keys.cpp",
        "return TypesCharacter(key) ? static_cast",
        "return !TypesCharacter(key) ? static_cast",
    ),
    "web Tab kept from the page": (
        "platform/virtual_keys.h",
        "return code == kKeyEscape ||",
        "return code == 9 || code == kKeyEscape ||",
    ),
    "web no keyCode fallback": (
        "platform/web/web_keys.cpp",
        "  if (code.empty()) return keyCode > 0",
        "  if (code.empty()) return keyCode > 999",
    ),
}

# Only with --web: the web backend is built by emscripten alone.
WEB_FAULTS = {
    "web present skips rects": (
        "platform/web/web_platform.cpp",
        "    for (const PixelRect& area : playfield.Dirty()) {",
        "    for (const PixelRect& area : playfield.Dirty().first(playfield.Dirty().size() > 1)) {",
    ),
    "web keys delivered from the callback": (
        "platform/web/web_platform.cpp",
        "static_cast<WebWindow*>(impl)->Queue(type == EMSCRIPTEN_EVENT_KEYDOWN, code, shift);",
        "type == EMSCRIPTEN_EVENT_KEYDOWN ? static_cast<WebWindow*>(impl)->Keys().Press(KeySource::kKeyboard, code) "
        ": static_cast<WebWindow*>(impl)->Keys().Release(KeySource::kKeyboard, code);",
    ),
    "web present puts nothing": (
        "platform/web/web_platform.cpp",
        "      quillfane_put(pixels, pixelWidth, pixelHeight, area.x, area.y, area.w, area.h, 0);",
        "",
    ),
    "web key-ups as key-downs": (
        "platform/web/web_platform.cpp",
        "Queue(type == EMSCRIPTEN_EVENT_KEYDOWN, code, shift)",
        "Queue(type != 0, code, shift)",
    ),
    "web held keys kept when hidden": (
        "platform/web/web_platform.cpp",
        "void WebWindow::ReleaseHeld() { Queue(false, 0, 0); }",
        "void WebWindow::ReleaseHeld() {}",
    ),
    "web canvas resize ignored": (
        "platform/web/web_platform.cpp",
        "return OuterSize{quillfane_canvas_width(), quillfane_canvas_height()};",
        "return OuterSize{474, 401};",
    ),
    "web pad not read": (
        "platform/web/web_platform.cpp",
        "&pad.rightTrigger) != 0;",
        "&pad.rightTrigger) != 0 && false;",
    ),
    "web Back read from Start": (
        "platform/web/page_library.js",
        "pressed(back, 8);",
        "pressed(back, 9);",
    ),
    "web A held fires again": (
        "platform/web/page_library.js",
        "pressed(south, 0);",
        "pressed(south, 0);\n    HEAP8[south] &= (Module.flip = !Module.flip) ? 1 : 0;",
    ),
    "web end not told": ("platform/web/web_platform.cpp", "  quillfane_say_ended();\n", ""),
    "web finger never lets go": (
        "platform/web/index.html",
        '["pointerup", "pointercancel", "lostpointercapture"].forEach',
        '[].forEach',
    ),
    "web touch fires every frame": (
        "platform/web/web_platform.cpp",
        "  DeliverTouches();\n}",
        "  if (Keys().Holds(KeySource::kTouch, 32)) "
        "Keys().Release(KeySource::kTouch, 32), Keys().Press(KeySource::kTouch, 32);\n"
        "  DeliverTouches();\n"
        "}",
    ),
    "web tap lift with its press": (
        "platform/web/web_platform.cpp",
        "    if (touch < 0 && code < 256 && pressed[static_cast<std::size_t>(code)]) return;",
        "",
    ),
    "web offline without the wasm": (
        "platform/web/CMakeLists.txt",
        "set(quillfane_web_kept index.html quillfane.js quillfane.wasm quillfane.webmanifest",
        "set(quillfane_web_kept index.html quillfane.js quillfane.webmanifest",
    ),
    "web touch playfield under the controls": (
        "platform/web/index.html",
        "side(stage.clientHeight)",
        "side(window.innerHeight)",
    ),
    "web filled page taller than the window": (
        "platform/web/index.html",
        "window.innerHeight - canvas.offsetTop - 48",
        "window.innerHeight - canvas.offsetTop",
    ),
    "web new cache dropped on activation": ("platform/web/sw.js.in", "name !== CACHE;", "name === CACHE;"),
    "web pixels transparent": ("platform/raster.cpp", "return 0xFF000000U | b << 16", "return b << 16"),
    "web drawn once only": (
        "platform/web/page_library.js",
        'Module["quillfaneDrawn"] = Math.max(Module["quillfaneDrawn"] + refresh, now - refresh);',
        'Module["quillfaneDrawn"] = Infinity;',
    ),
}


def run(argv, timeout=None, env=None):
    return subprocess.run(argv, cwd=ROOT, capture_output=True, text=True, timeout=timeout, env=env)


def labels(e2e):
    """ctest's selection: the unit tests, or with --e2e or --web every test; only those --tests=REGEX names."""
    chosen = [] if e2e or WEB else ["-LE", "e2e"]
    for argument in sys.argv[1:]:
        if argument.startswith("--tests="):
            chosen += ["-R", argument.partition("=")[2]]
    return chosen


def count_lines(lines, path):
    """The lines that are neither blank nor only a comment."""
    comment = ("#",) if path.endswith((".py", ".sh")) else ("//", "/*", "*")
    return sum(1 for line in lines if line.strip() and not line.strip().startswith(comment))


def file_lines(path):
    """A file's counted lines; e2e/ is all of its scripts."""
    paths = sorted(glob.glob("e2e/*.py", root_dir=ROOT)) if path == "e2e/" else [path]
    total = 0
    for each in paths:
        with open(os.path.join(ROOT, each)) as source:
            total += count_lines(source.read().splitlines(), each)
    return total


TEST_MACRO = re.compile(r"TEST(?:_F|_P)?\(\s*(\w+)\s*,\s*(\w+)\s*\)")


def gtest_cases():
    """Each GoogleTest case defined in tests/: its file, and the counted lines from its TEST line to its closing
    brace."""
    cases = {}
    for path in sorted(glob.glob("tests/**/*.cpp", root_dir=ROOT, recursive=True)):
        with open(os.path.join(ROOT, path)) as source:
            lines = source.read().splitlines()
        for first, line in enumerate(lines):
            found = TEST_MACRO.match(line)
            if not found:
                continue
            last = first if line.rstrip().endswith("}") else lines.index("}", first)
            cases["%s.%s" % found.groups()] = (path, count_lines(lines[first:last + 1], path))
    return cases


def bare(case):
    """A case's Suite.Name, without a parameterised case's instance before it and parameter after it."""
    return re.sub(r"^\w+/|/\w+$", "", case)


def listed_cases(command):
    """The cases a GoogleTest program runs, as its --gtest_list_tests names them."""
    suite = ""
    cases = []
    for line in run(command + ["--gtest_list_tests"]).stdout.splitlines():
        name = line.split("#")[0].strip()
        if not line.startswith(" ") and name.endswith("."):
            suite = name
        elif line.startswith(" ") and suite:
            cases.append(suite + name)
    return cases


def script_of(command):
    """The file of the source tree a test runs (e2e/'s scripts as one), and its counted lines: None for e2e/,
    whose scripts every e2e test shares."""
    for argument in command[1:]:
        if argument.startswith(ROOT + "/") and not argument.startswith(BUILD + "/") and os.path.isfile(argument):
            path = os.path.relpath(argument, ROOT)
            if path.startswith("e2e/"):
                return "e2e/", None
            return path, file_lines(path)
    return None, None


def test_rows(e2e):
    """Every test of this build as (name, file, counted lines), in ctest's order, a GoogleTest program that ctest
    runs whole (as under node) by its cases; and {such a program: its cases}."""
    shown = json.loads(run(["ctest", "--test-dir", BUILD, "--show-only=json-v1", *labels(e2e)]).stdout)
    cases = gtest_cases()
    rows = []
    programs = {}
    for test in shown["tests"]:
        name = test["name"]
        command = test.get("command", [])
        if bare(name) in cases:
            rows.append((name, *cases[bare(name)]))
        elif "." not in name and any(argument.startswith("--gtest") for argument in command):
            programs[name] = listed_cases(command)
            rows += [(case, *cases.get(bare(case), (None, None))) for case in programs[name]]
        else:
            rows.append((name, *script_of(command)))
    return rows, programs


# One failed case in a GoogleTest program's report.
GTEST_FAILED = re.compile(r"^\[  FAILED  \] ([\w/]+\.[\w/]+)", re.M)


def failed_tests(e2e, programs):
    """The tests that fail on the tree as it is, each program of programs by its failed cases; ["build"] when it
    does not build, None when the tests ran out of time."""
    if run(["cmake", "--build", BUILD, "-j2"]).returncode != 0:
        return ["build"]
    try:
        result = run(["ctest", "--test-dir", BUILD, "-j2", "--timeout", "60", "--output-on-failure", *labels(e2e)],
                     timeout=600)
    except subprocess.TimeoutExpired:
        return None
    if result.returncode == 0:
        return []
    listed = result.stdout.partition("The following tests FAILED:")[2].splitlines()
    failed = [line.split(" - ", 1)[1].rsplit(" (", 1)[0] for line in listed if " - " in line]
    reported = set(GTEST_FAILED.findall(result.stdout))
    named = []
    for name in failed:
        cases = [case for case in programs.get(name, []) if case in reported]
        named += cases or [name]  # a program that crashed names no case
    return named


def print_table(header, rows):
    """Columns as wide as their widest cell, the last left as long as it is."""
    widths = [max(len(str(row[column])) for row in [header, *rows]) for column in range(len(header) - 1)]
    numbers = [any(isinstance(row[column], int) for row in rows) for column in range(len(header) - 1)]
    for row in [header, *rows]:
        cells = [str(cell).rjust(width) if number else str(cell).ljust(width)
                 for cell, width, number in zip(row, widths, numbers)]
        print("  ".join(cells + [str(row[-1])]).rstrip())


def tally(catches, tests):
    """How many faults the tests caught, and the names of those no other test caught."""
    caught = [fault for fault, by in catches.items() if by & tests]
    return len(caught), sorted(fault for fault in caught if catches[fault] <= tests)


def print_tables(rows, catches, unplanted):
    """For each test and each test file: its counted lines, the faults it caught, and those only it caught."""
    marked = ["%s (fails with no fault planted)" % name if name in unplanted else name for name, _, _ in rows]
    test_table = []
    for label, (name, path, lines) in zip(marked, rows):
        caught, only = tally(catches, {name})
        test_table.append((label, path or "-", "-" if lines is None else lines, caught, len(only), ", ".join(only)))
    print()
    print_table(("test", "file", "lines", "caught", "only", "only it caught"), test_table)

    files = {}
    for name, path, _ in rows:
        files.setdefault(path, set()).add(name)
    # The test files none of this run's tests come from (helpers, a backend not built here) cost lines too.
    for path in glob.glob("tests/**/*.*", root_dir=ROOT, recursive=True):
        if path.endswith((".cpp", ".h", ".sh")):
            files.setdefault(path, set())
    file_table = []
    for path in sorted(files, key=lambda each: (each is None, each or "")):
        caught, only = tally(catches, files[path])
        if path is None:
            label = "(no file)"
        elif path.startswith(("tests/", "e2e/")):
            label = path
        else:
            label = "%s (not a test file)" % path
        lines = file_lines(path) if path else "-"
        file_table.append((label, lines, len(files[path]), caught, len(only), ", ".join(only)))
    print()
    print_table(("file", "lines", "tests", "caught", "only", "only its tests caught"), file_table)


def main():
    e2e = "--e2e" in sys.argv
    faults = WEB_FAULTS if WEB else FAULTS
    names = [a for a in sys.argv[1:] if not a.startswith("--")] or list(faults)
    if WEB:
        os.environ["NODE_PATH"] = "/usr/share/nodejs"  # Debian's node does not look there itself
        run(["cmake", "-S", ".", "-B", BUILD, "-DCMAKE_BUILD_TYPE=MinSizeRel", "-DQUILLFANE_HARDEN=OFF",
             "-DQUILLFANE_BENCH=OFF",
             "-DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake"])
    else:
        run(["cmake", "-S", ".", "-B", BUILD, "-DCMAKE_CXX_COMPILER=g++", "-DQUILLFANE_BENCH=OFF",
             "-UQUILLFANE_E2E_TESTS",
             "-DQUILLFANE_E2E=%s" % ("ON" if e2e else "OFF")])
    run(["cmake", "--build", BUILD, "-j2"])  # the tests to list, GoogleTest's found in the programs built
    rows, programs = test_rows(e2e)
    catches = {}  # fault: the tests that caught it
    caught = 0
    for name in names:
        path, text, replacement = faults[name]
        full = os.path.join(ROOT, path)
        original = open(full).read()
        if original.count(text) != 1:
            print("%-28s SKIPPED: the text is not found once in %s" % (name, path))
            continue
        try:
            open(full, "w").write(original.replace(text, replacement))
            started = time.monotonic()
            failed = failed_tests(e2e, programs)
        finally:
            open(full, "w").write(original)
        if failed is None:
            verdict = "caught (timed out)"
        elif failed == ["build"]:
            verdict = "does not build"
        else:
            verdict = "caught by " + ", ".join(failed) if failed else None
        catches[name] = set(failed or [])
        caught += verdict is not None
        print("%-28s %s (%.0f s)" % (name, verdict or "SURVIVED", time.monotonic() - started), flush=True)
    unplanted = failed_tests(e2e, programs) or []  # also leaves the build matching the tree
    print("%d of %d faults caught" % (caught, len(names)))
    if unplanted:
        print("Failing with no fault planted: %s" % ", ".join(unplanted))
    print_tables(rows, catches, set(unplanted))


if __name__ == "__main__":
    main()
