#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/raster.h"
#include "platform/window_events.h"

namespace quillfane {

// The game's window on Win32 and GDI: one resizable window whose client area shows the
// playfield's raster; only the raster's changed area is copied to the window, once per event
// pump. Key messages carry virtual-key codes already, so they go to the game as they come.
class Win32Platform final : public RasterPlatform {
 public:
  // Null, with a one-sentence reason in error, when the window cannot be made.
  static std::unique_ptr<Win32Platform> Create(std::string& error);
  // In a message box: the program has no console.
  static void ReportStartFailure(const std::string& error);
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

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
  explicit Win32Platform(std::unique_ptr<Impl> impl);

  std::unique_ptr<Impl> impl_;
};

}  // namespace quillfane
