#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/window_events.h"

namespace quillfane {

// How finished frames reach the window. SDL's texture framebuffer goes through a GL
// texture; without a GPU the shared-memory framebuffer is far cheaper.
enum class PresentPath { kSharedMemory, kTexture };

// The game's window on SDL: one resizable window whose client area is the playfield,
// backed by a persistent canvas of which only the changed parts are presented.
class SdlPlatform final : public Platform {
 public:
  // Null, with a one-line reason in error, when SDL or the window cannot start.
  static std::unique_ptr<SdlPlatform> Create(std::string& error,
                                             PresentPath path = PresentPath::kSharedMemory);
  ~SdlPlatform() override;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  // Receives the window's resize and key events, from inside PumpEvents.
  void SetWindowEvents(WindowEvents& events);
  // Shows the window, which was created hidden; the caller delivers the first resize.
  void Show();

  void SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
  void DrawLine(float x1, float y1, float x2, float y2) override;
  void DrawBox(float x1, float y1, float x2, float y2) override;
  void DrawCircle(float centreX, float centreY, float radius) override;
  void DrawArc(float centreX, float centreY, float radius, float startAngle,
               float endAngle) override;

  float PlayfieldWidth() const override;
  float PlayfieldHeight() const override;
  void SetPlayfieldWidth(float twips) override;
  void SetPlayfieldHeight(float twips) override;

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
  explicit SdlPlatform(std::unique_ptr<Impl> impl);

  std::unique_ptr<Impl> impl_;
};

}  // namespace quillfane
