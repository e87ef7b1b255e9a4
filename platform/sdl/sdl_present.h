#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/raster.h"

struct SDL_Rect;
struct SDL_Renderer;
struct SDL_Surface;
struct SDL_Texture;
struct SDL_Window;

namespace quillfane {

// Copies what changed in the raster to the window, each raster pixel as scale x scale window
// pixels. On the window's own surface where SDL has one (on X11, shared memory); where it has
// none (Wayland), through a renderer whose streaming texture takes only the changed
// rectangles.
class WindowPresenter {
 public:
  WindowPresenter() = default;
  ~WindowPresenter() { Stop(); }
  WindowPresenter(const WindowPresenter&) = delete;
  WindowPresenter& operator=(const WindowPresenter&) = delete;

  // False, with SDL's reason in error, when the window has no surface of its own and no
  // renderer can be made for it.
  bool Start(SDL_Window* window, bool surfaceless, int scale, std::string& error);
  // Before SDL stops.
  void Stop();
  // Copies the raster's changed areas, or with all the whole raster and black beyond it.
  // False when nothing could be shown (minimised, too large, no surface), after which the
  // caller asks for all again.
  bool Present(Raster& raster, bool all);

 private:
  SDL_Surface* Wrap(Raster& raster);
  bool TooLargeToShow();
  bool PresentWhole(SDL_Surface* source, SDL_Surface* target);
  bool PresentChanges(Raster& raster, SDL_Surface* source, SDL_Surface* target);
  bool PresentTexture(Raster& raster, bool all);
  void MarkLitTiles(Raster& raster, const SDL_Rect& area);

  SDL_Window* window_ = nullptr;
  int scale_ = 1;
  // The raster's pixels as an SDL surface, made again only when the buffer moves.
  SDL_Surface* wrapped_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  // The raster's size, made again only when that changes.
  SDL_Texture* texture_ = nullptr;
  // Whether each kTile x kTile tile of the texture has anything but black, row by row.
  static constexpr int kTile = 32;
  std::vector<std::uint8_t> litTiles_;
  int tileColumns_ = 0;
  // Performance-counter ticks: a refresh of the display, and when the window was last drawn.
  std::uint64_t drawInterval_ = 0;
  std::uint64_t lastDrawn_ = 0;
  // The texture holds changes not drawn yet.
  bool undrawn_ = false;
  bool saidTooLarge_ = false;
};

}  // namespace quillfane
