#include "platform/window_presenter.h"

#include <SDL.h>

#include <array>

#include "platform/canvas.h"

namespace quillfane {

void WindowPresenter::Present(Canvas& canvas) {
  if (whole_) {
    PresentWhole(canvas);
  } else {
    PresentChanges(canvas);
  }
  canvas.Dirty().Clear();
}

// A minimised or zero-sized window has no surface: the next present that finds one
// copies everything, so drawing resumes on restore.
void WindowPresenter::PresentWhole(Canvas& canvas) {
  SDL_Surface* source = canvas.Flush();
  SDL_Surface* target = SDL_GetWindowSurface(window_);
  if (target == nullptr) return;
  // Black where the client area reaches past the canvas.
  SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
  SDL_Rect all{0, 0, source->w, source->h};
  SDL_Rect to = all;
  SDL_BlitSurface(source, &all, target, &to);
  whole_ = SDL_UpdateWindowSurface(window_) != 0;
}

void WindowPresenter::PresentChanges(Canvas& canvas) {
  SDL_Surface* source = canvas.Flush();
  SDL_Surface* target = SDL_GetWindowSurface(window_);
  if (target == nullptr) {
    whole_ = true;
    return;
  }
  const SDL_Rect bounds{0, 0, target->w, target->h};
  std::array<SDL_Rect, DirtyRegion::kCapacity> shown{};
  int count = 0;
  for (const PixelRect& dirty : canvas.Dirty().Rects()) {
    const SDL_Rect changed{dirty.x, dirty.y, dirty.w, dirty.h};
    SDL_Rect visible;
    if (SDL_IntersectRect(&changed, &bounds, &visible) == SDL_FALSE) continue;
    SDL_Rect to = visible;
    SDL_BlitSurface(source, &visible, target, &to);
    shown[count++] = visible;
  }
  if (count > 0 && SDL_UpdateWindowSurfaceRects(window_, shown.data(), count) != 0) whole_ = true;
}

}  // namespace quillfane
