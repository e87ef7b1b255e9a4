#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/gamepad.h"
#include "platform/held_keys.h"
#include "platform/raster.h"
#include "platform/window_events.h"

namespace quillfane {

// What every backend's window does alike: it owns the playfield's raster, the held keys and
// the controller's state, tells the game of each new outer size, presents the raster (whole
// when the window's own pixels cannot be trusted), refreshes, answers GetActiveWindow, keeps
// the controller at rest while the window does not have the focus, and forgets the game's
// events when the program ends. This file is all a backend supplies: the calls marked
// "Backend:" below, and the three functions after the class. Exactly one backend folder is
// built in.
class WindowBase : public RasterPlatform {
 public:
  explicit WindowBase(PixelLayout layout = PixelLayout::kXrgb) : RasterPlatform(layout) {}
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  // Receives the window's resize and key events, from inside PumpEvents.
  void SetWindowEvents(WindowEvents& events);
  // Shows the window, which was created hidden, and presents it whole; the caller delivers
  // the first resize.
  void Show();

  float WindowWidth() const final;
  float WindowHeight() const final;
  WindowHandle GetActiveWindow() const final { return HasFocus() ? Handle() : 0; }
  void RefreshPlayfield() final;
  void PumpEvents() final;
  void Sleep(int milliseconds) final;
  [[noreturn]] void EndProgram() final;

  // Backend: the window's handle, never 0.
  WindowHandle Handle() const override = 0;
  // Backend: later keys reach the playfield.
  void FocusPlayfield() override = 0;

 protected:
  // In raster pixels.
  struct OuterSize {
    int width = 0;
    int height = 0;
    bool operator==(const OuterSize&) const = default;
  };

  // Backend duty: keys go here, from DispatchEvents only; a loss without key-ups as ReleaseAll.
  HeldKeys& Keys() { return keys_; }
  // The window's own pixels cannot be trusted (shown, resized, exposed): the next present
  // copies everything.
  void PresentAllNextTime() { presentAll_ = true; }

 private:
  // Backend: shows the hidden window and gives it the focus.
  virtual void ShowWindow() = 0;
  // Backend: the outer size with frame and title bar; nothing while unknown (minimised).
  virtual std::optional<OuterSize> MeasureOuter() const = 0;
  // Backend: the changed areas, or all of it and black beyond; false when nothing showed.
  virtual bool PresentPlayfield(Raster& playfield, bool all) = 0;
  // Backend: false when there is no controller to read.
  virtual bool ReadController(PadState& pad) = 0;
  // Backend: the window is the active one and its playfield hears the keys.
  virtual bool HasFocus() const = 0;
  // Backend: every waiting event handled: keys to Keys(), lost pixels to PresentAllNextTime().
  virtual void DispatchEvents() = 0;
  // Backend: waits that long, letting the system run.
  virtual void Wait(unsigned milliseconds) = 0;
  // Backend: closes the window and exits with status 0; nothing after it runs.
  [[noreturn]] virtual void CloseAndExit() = 0;
  // Backend, optional: false while a present would never be seen (the changes wait for one).
  virtual bool DueToPresent() { return true; }
  // Backend, optional: told after the first present whether it showed anything.
  virtual void Started(bool /*shown*/) {}

  bool Present();
  OuterSize Outer() const { return MeasureOuter().value_or(reported_); }

  WindowEvents* events_ = nullptr;
  HeldKeys keys_;
  Gamepad gamepad_;
  // The outer size as of the last resize the game was told of.
  OuterSize reported_;
  bool presentAll_ = true;
};

// Backend: the exit status for a command line that ends the program at once, or nothing.
std::optional<int> AnswerCommandLine(int argc, char** argv);
// Backend: the game's window, hidden; null, with a one-line reason in error, if not made.
std::unique_ptr<WindowBase> OpenWindow(std::string& error);
// Backend: that reason, where the player will see it.
void ReportStartFailure(const std::string& error);

}  // namespace quillfane
