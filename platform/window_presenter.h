#pragma once

struct SDL_Window;

namespace quillfane {

class Canvas;

// Copies the canvas to the window: only the parts drawn on since the last present, or all
// of it once the window's own pixels can no longer be trusted (shown, resized, exposed,
// refreshed). The canvas may reach past the client area; only the visible part is copied.
class WindowPresenter {
 public:
  explicit WindowPresenter(SDL_Window* window = nullptr) : window_(window) {}

  void InvalidateWindow() { whole_ = true; }
  void Present(Canvas& canvas);

 private:
  void PresentWhole(Canvas& canvas);
  void PresentChanges(Canvas& canvas);

  SDL_Window* window_;
  bool whole_ = true;
};

}  // namespace quillfane
