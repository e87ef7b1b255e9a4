#include "platform/sdl/sdl_present.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace quillfane {

namespace {

// Where the window's surface has the raster's own pixel layout, as it does on a 24-bit X
// display, rows are copied as they are: SDL's blit set-up would cost more than the copy.
void CopyChanged(SDL_Surface* source, SDL_Surface* target, const SDL_Rect& area) {
  if (target->format->format != source->format->format || SDL_MUSTLOCK(target)) {
    SDL_Rect to = area;
    SDL_BlitSurface(source, &area, target, &to);
    return;
  }
  const auto rowBytes = static_cast<std::size_t>(area.w) * 4;
  const auto* from =
      static_cast<const Uint8*>(source->pixels) + area.y * source->pitch + area.x * 4;
  auto* to = static_cast<Uint8*>(target->pixels) + area.y * target->pitch + area.x * 4;
  for (int row = 0; row < area.h; ++row) {
    std::memcpy(to + row * target->pitch, from + row * source->pitch, rowBytes);
  }
}

// Each pixel of area as scale x scale pixels, nearest: one row widened, then repeated.
void CopyScaled(SDL_Surface* source, SDL_Surface* target, const SDL_Rect& area, int scale) {
  const SDL_Rect to{area.x * scale, area.y * scale, area.w * scale, area.h * scale};
  if (target->format->format != source->format->format || SDL_MUSTLOCK(target)) {
    SDL_Rect scaled = to;
    SDL_BlitScaled(source, &area, target, &scaled);
    return;
  }
  const auto rowBytes = static_cast<std::size_t>(to.w) * 4;
  for (int row = 0; row < area.h; ++row) {
    const auto* from = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(source->pixels) +
                                                       (area.y + row) * source->pitch) +
                       area.x;
    auto* first = static_cast<Uint8*>(target->pixels) + (to.y + row * scale) * target->pitch;
    auto* wide = reinterpret_cast<Uint32*>(first) + to.x;
    for (int x = 0; x < area.w; ++x) std::fill_n(wide + x * scale, scale, from[x]);
    for (int copy = 1; copy < scale; ++copy) {
      std::memcpy(reinterpret_cast<Uint8*>(wide) + copy * target->pitch, wide, rowBytes);
    }
  }
}

}  // namespace

bool WindowPresenter::Start(SDL_Window* window, bool surfaceless, int scale, std::string& error) {
  window_ = window;
  scale_ = scale;
  if (!surfaceless) return true;
  // No vsync: the frame loop sets the pace.
  renderer_ = SDL_CreateRenderer(window, -1, 0);
  SDL_DisplayMode mode{};
  const bool known = SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window), &mode) == 0 &&
                     mode.refresh_rate > 0;
  drawInterval_ =
      SDL_GetPerformanceFrequency() / static_cast<std::uint64_t>(known ? mode.refresh_rate : 60);
  if (renderer_ == nullptr) {
    error = std::string("SDL has no window surface here and could not make a renderer to ") +
            "present through (" + SDL_GetError() + ")";
  }
  return renderer_ != nullptr;
}

void WindowPresenter::Stop() {
  SDL_FreeSurface(wrapped_);
  wrapped_ = nullptr;
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
}

SDL_Surface* WindowPresenter::Wrap(Raster& raster) {
  std::uint32_t* pixels = raster.Pixels();
  const int width = raster.PixelWidth();
  const int height = raster.PixelHeight();
  if (wrapped_ != nullptr && wrapped_->pixels == pixels && wrapped_->w == width &&
      wrapped_->h == height) {
    return wrapped_;
  }
  SDL_FreeSurface(wrapped_);
  wrapped_ = SDL_CreateRGBSurfaceWithFormatFrom(
      pixels, width, height, 32, width * static_cast<int>(sizeof *pixels), SDL_PIXELFORMAT_RGB888);
  return wrapped_;
}

// The window's surface grows with the window; past the playfield's own bound (which window
// managers normally enforce) nothing is presented, so memory stays bounded, and the game
// goes on until the window is small enough to show it again.
bool WindowPresenter::TooLargeToShow() {
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  if (width <= Raster::kMaxSide && height <= Raster::kMaxSide) return false;
  if (!saidTooLarge_) {
    std::fprintf(stderr,
                 "quillfane: the window is %dx%d pixels, more than the %dx%d the game can show; "
                 "it shows nothing until the window is made smaller\n",
                 width, height, Raster::kMaxSide, Raster::kMaxSide);
  }
  saidTooLarge_ = true;
  return true;
}

// A minimised or zero-sized window has no surface: the next present that finds one copies
// everything, so the picture comes back on restore.
bool WindowPresenter::Present(Raster& raster, bool all) {
  if (TooLargeToShow()) return false;
  SDL_Surface* source = Wrap(raster);
  if (source == nullptr) return false;
  if (renderer_ != nullptr) return PresentTexture(raster, all);
  SDL_Surface* target = SDL_GetWindowSurface(window_);
  if (target == nullptr) return false;
  return all ? PresentWhole(source, target) : PresentChanges(raster, source, target);
}

bool WindowPresenter::PresentWhole(SDL_Surface* source, SDL_Surface* target) {
  // Black where the client area reaches past the playfield.
  SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
  if (scale_ == 1) {
    SDL_BlitSurface(source, nullptr, target, nullptr);
  } else {
    const SDL_Rect whole{0, 0, std::min(source->w, target->w / scale_),
                         std::min(source->h, target->h / scale_)};
    CopyScaled(source, target, whole, scale_);
  }
  return SDL_UpdateWindowSurface(window_) == 0;
}

bool WindowPresenter::PresentChanges(Raster& raster, SDL_Surface* source, SDL_Surface* target) {
  const SDL_Rect bounds{0, 0, target->w / scale_, target->h / scale_};
  std::array<SDL_Rect, Raster::kMaxDirtyRects> shown{};
  int count = 0;
  for (const PixelRect& dirty : raster.Dirty()) {
    const SDL_Rect changed{dirty.x, dirty.y, dirty.w, dirty.h};
    SDL_Rect visible;
    if (SDL_IntersectRect(&changed, &bounds, &visible) == SDL_FALSE) continue;
    if (scale_ == 1) {
      CopyChanged(source, target, visible);
      shown[count++] = visible;
    } else {
      CopyScaled(source, target, visible, scale_);
      shown[count++] = {visible.x * scale_, visible.y * scale_, visible.w * scale_,
                        visible.h * scale_};
    }
  }
  return count == 0 || SDL_UpdateWindowSurfaceRects(window_, shown.data(), count) == 0;
}

// Notes, for each tile the area touches, whether the raster has anything but black there.
void WindowPresenter::MarkLitTiles(Raster& raster, const SDL_Rect& area) {
  const int width = raster.PixelWidth();
  const int height = raster.PixelHeight();
  for (int top = area.y / kTile * kTile; top < area.y + area.h; top += kTile) {
    for (int left = area.x / kTile * kTile; left < area.x + area.w; left += kTile) {
      bool lit = false;
      for (int y = top; y < std::min(top + kTile, height) && !lit; ++y) {
        const std::uint32_t* row = raster.Pixels() + y * width;
        lit = std::any_of(row + left, row + std::min(left + kTile, width),
                          [](std::uint32_t pixel) { return pixel != 0; });
      }
      litTiles_[(top / kTile) * tileColumns_ + left / kTile] = lit ? 1 : 0;
    }
  }
}

// The renderer's back buffer is drawn whole at each draw, from a texture that takes only
// what changed: cleared to black, then only the runs of tiles with something lit copied,
// which costs a software rasteriser a small part of copying the whole.
bool WindowPresenter::PresentTexture(Raster& raster, bool all) {
  const int width = raster.PixelWidth();
  const int height = raster.PixelHeight();
  int textureWidth = 0;
  int textureHeight = 0;
  if (texture_ != nullptr)
    SDL_QueryTexture(texture_, nullptr, nullptr, &textureWidth, &textureHeight);
  if (textureWidth != width || textureHeight != height) {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 width, height);
    if (texture_ == nullptr) return false;
    tileColumns_ = (width + kTile - 1) / kTile;
    litTiles_.assign(static_cast<std::size_t>(tileColumns_ * ((height + kTile - 1) / kTile)), 0);
    all = true;
  }
  const int pitch = width * static_cast<int>(sizeof(std::uint32_t));
  if (all) {
    if (SDL_UpdateTexture(texture_, nullptr, raster.Pixels(), pitch) != 0) return false;
    MarkLitTiles(raster, {0, 0, width, height});
  } else if (raster.Dirty().empty() && !undrawn_) {
    return true;
  } else {
    for (const PixelRect& dirty : raster.Dirty()) {
      const SDL_Rect changed{dirty.x, dirty.y, dirty.w, dirty.h};
      const std::uint32_t* from = raster.Pixels() + dirty.y * width + dirty.x;
      if (SDL_UpdateTexture(texture_, &changed, from, pitch) != 0) return false;
      MarkLitTiles(raster, changed);
    }
  }
  // Drawing the window whole costs far more than updating the texture: it is done at most
  // once a refresh of the display, as more would never be seen, and a frame not drawn is
  // drawn by a later present.
  const std::uint64_t now = SDL_GetPerformanceCounter();
  if (now - lastDrawn_ < drawInterval_) {
    undrawn_ = true;
    return true;
  }
  lastDrawn_ = std::max(lastDrawn_ + drawInterval_, now - drawInterval_);
  undrawn_ = false;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  if (SDL_RenderClear(renderer_) != 0) return false;
  const int rows = static_cast<int>(litTiles_.size()) / tileColumns_;
  for (int row = 0; row < rows; ++row) {
    const std::uint8_t* tiles = litTiles_.data() + row * tileColumns_;
    for (int first = 0; first < tileColumns_; ++first) {
      if (tiles[first] == 0) continue;
      int end = first + 1;
      while (end < tileColumns_ && tiles[end] != 0) ++end;
      const SDL_Rect from{first * kTile, row * kTile, std::min(end * kTile, width) - first * kTile,
                          std::min((row + 1) * kTile, height) - row * kTile};
      const SDL_Rect to{from.x * scale_, from.y * scale_, from.w * scale_, from.h * scale_};
      if (SDL_RenderCopy(renderer_, texture_, &from, &to) != 0) return false;
      first = end;
    }
  }
  SDL_RenderPresent(renderer_);
  return true;
}

}  // namespace quillfane
