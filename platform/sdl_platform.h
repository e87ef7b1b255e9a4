#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/raster.h"
#include "platform/sdl_keys.h"
#include "platform/window_events.h"

namespace quillfane {

// The game's window on SDL2: one resizable window whose client area shows the playfield's
// raster; only the raster's changed area is copied to the window, once per event pump.
class SdlPlatform final : public RasterPlatform {
 public:
  // Null, with a one-line reason in error, when SDL or the window cannot start.
  static std::unique_ptr<SdlPlatform> Create(std::string& error);
  // On one line of standard error.
  static void ReportStartFailure(const std::string& error);
  ~SdlPlatform() override;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  // Receives the window's resize and key events, from inside PumpEvents.
  void SetWindowEvents(WindowEvents& events);
  // Shows the window, which was created hidden; the caller delivers the first resize.
  void Show();

  float WindowWidth() const override;
  float WindowHeight() const override;
  WindowHandle Handle() const override;
  WindowHandle GetActiveWindow() const override;

  void RefreshPlayfield() override;
  void FocusPlayfield() override;
  void PumpEvents() override;
  void Sleep(int milliseconds) override;
  [[noreturn]] void EndProgram() override;

 private:
  struct Impl;
  static std::unique_ptr<Impl> Start(std::string& error);
  explicit SdlPlatform(std::unique_ptr<Impl> impl);

  std::unique_ptr<Impl> impl_;
};

}  // namespace quillfane
