#pragma once

#include <cstdint>
#include <optional>

#include "platform/gamepad.h"
#include "platform/held_keys.h"
#include "platform/raster.h"
#include "platform/window_events.h"

namespace quillfane {

// What every backend's window does alike: it owns the playfield's raster, the held keys and
// the controller's state, tells the game of each new outer size, presents the raster (whole
// when the window's own pixels cannot be trusted), refreshes, and keeps the controller at rest
// while the window does not have the keys. A backend supplies only its operating system's
// calls, below.
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
  void RefreshPlayfield() final;
  void PumpEvents() final;
  void Sleep(int milliseconds) final;

 protected:
  // In raster pixels.
  struct OuterSize {
    int width = 0;
    int height = 0;
    bool operator==(const OuterSize&) const = default;
  };

  HeldKeys& Keys() { return keys_; }
  // The window's own pixels cannot be trusted (shown, resized, exposed): the next present
  // copies everything.
  void PresentAllNextTime() { presentAll_ = true; }
  // The window's last events are not the game's.
  void ForgetWindowEvents();

 private:
  virtual void ShowWindow() = 0;
  // The outer size, frame and title bar included; nothing while it cannot be told (minimised).
  virtual std::optional<OuterSize> MeasureOuter() const = 0;
  // The raster's changed areas, or with all the whole raster and black beyond it; false when
  // nothing could be shown.
  virtual bool PresentPlayfield(Raster& playfield, bool all) = 0;
  // False when there is no controller to read.
  virtual bool ReadController(PadState& pad) = 0;
  virtual bool HasKeys() const = 0;
  virtual void DispatchEvents() = 0;
  virtual void Wait(unsigned milliseconds) = 0;
  // False while a present now would never be seen: the changes wait for the next one due.
  virtual bool DueToPresent() { return true; }
  // After the first present, whether it showed anything.
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

}  // namespace quillfane
