#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/raster.h"
#include "platform/window_events.h"

namespace quillfane {

// The game in a web page: the page's canvas is the window's client area and, there being no
// frame, its outer size too. The frame loop blocks as on the desktop; Sleep hands the browser
// its turn. Key, focus and visibility events are queued as they come and handed to the game
// inside PumpEvents; only the raster's changed area is copied to the canvas, straight from the
// raster's memory.
class WebPlatform final : public RasterPlatform {
 public:
  // Null, with a one-line reason in error, when the page has no 2D canvas.
  static std::unique_ptr<WebPlatform> Create(std::string& error);
  // On the page, where the canvas would be.
  static void ReportStartFailure(const std::string& error);
  ~WebPlatform() override;
  WebPlatform(const WebPlatform&) = delete;
  WebPlatform& operator=(const WebPlatform&) = delete;

  void SetWindowEvents(WindowEvents& events);
  // Gives the canvas the keys and draws it whole; the caller delivers the first resize.
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
  explicit WebPlatform(std::unique_ptr<Impl> impl);

  std::unique_ptr<Impl> impl_;
};

}  // namespace quillfane
