#include "platform/canvas.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/pixel_geometry.h"

namespace quillfane {

namespace {

// A window wider or taller than this is not a playfield anyone can use; the cap keeps a
// silly size request from asking for gigabytes.
constexpr int kMaxCanvasPixels = 8192;
constexpr int kPointBatch = 256;
constexpr Uint32 kPixelFormat = SDL_PIXELFORMAT_RGB888;

int TwipsToCanvasPixels(float twips) {
  const double pixels = std::ceil(static_cast<double>(twips) / kTwipsPerPixel);
  if (!(pixels > 1)) return 1;
  return pixels < kMaxCanvasPixels ? static_cast<int>(pixels) : kMaxCanvasPixels;
}

struct Extent {
  int left = INT_MAX;
  int top = INT_MAX;
  int right = INT_MIN;
  int bottom = INT_MIN;
};

}  // namespace

struct Canvas::Impl {
  SDL_Surface* surface_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  float width_ = 0;
  float height_ = 0;
  SDL_Color pen_{255, 255, 255, SDL_ALPHA_OPAQUE};
  std::array<SDL_FPoint, kPointBatch> points_{};
  int pointCount_ = 0;
  Extent figure_;
  DirtyRegion dirty_;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    SDL_FreeSurface(surface_);
  }

  bool Rebuild(int pixelWidth, int pixelHeight, std::string& error);
  void CopyInto(SDL_Surface* next);
  void Resize(int pixelWidth, int pixelHeight);

  // Whether any pixel of the box from (left, top) to (right, bottom) lies on the raster.
  bool Overlaps(int left, int top, int right, int bottom) const {
    return right >= 0 && bottom >= 0 && left < surface_->w && top < surface_->h;
  }
  void BeginFigure() { figure_ = Extent{}; }
  void Plot(int x, int y);
  void PlotArc(float centreX, float centreY, float radius, const ArcSpan& span);
  void EndFigure();
  void FlushPoints();
};

bool Canvas::Impl::Rebuild(int pixelWidth, int pixelHeight, std::string& error) {
  FlushPoints();
  SDL_Surface* next = SDL_CreateRGBSurfaceWithFormat(0, pixelWidth, pixelHeight, 32, kPixelFormat);
  SDL_Renderer* nextRenderer = next != nullptr ? SDL_CreateSoftwareRenderer(next) : nullptr;
  if (nextRenderer == nullptr) {
    error = SDL_GetError();
    SDL_FreeSurface(next);
    return false;
  }
  SDL_FillRect(next, nullptr, 0);
  CopyInto(next);
  SDL_SetRenderDrawColor(nextRenderer, pen_.r, pen_.g, pen_.b, pen_.a);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  SDL_FreeSurface(surface_);
  surface_ = next;
  renderer_ = nextRenderer;
  dirty_.Clear();
  dirty_.Add({0, 0, pixelWidth, pixelHeight});
  return true;
}

void Canvas::Impl::CopyInto(SDL_Surface* next) {
  if (surface_ == nullptr) return;
  SDL_RenderFlush(renderer_);
  SDL_Rect kept{0, 0, std::min(surface_->w, next->w), std::min(surface_->h, next->h)};
  SDL_Rect target = kept;
  SDL_BlitSurface(surface_, &kept, next, &target);
}

// Out of memory in the middle of play: the old raster stays and the game goes on with it.
void Canvas::Impl::Resize(int pixelWidth, int pixelHeight) {
  if (pixelWidth == surface_->w && pixelHeight == surface_->h) return;
  std::string ignored;
  Rebuild(pixelWidth, pixelHeight, ignored);
}

void Canvas::Impl::Plot(int x, int y) {
  if (x < 0 || y < 0 || x >= surface_->w || y >= surface_->h) return;
  figure_.left = std::min(figure_.left, x);
  figure_.top = std::min(figure_.top, y);
  figure_.right = std::max(figure_.right, x);
  figure_.bottom = std::max(figure_.bottom, y);
  points_[pointCount_++] = {static_cast<float>(x), static_cast<float>(y)};
  if (pointCount_ == kPointBatch) FlushPoints();
}

void Canvas::Impl::PlotArc(float centreX, float centreY, float radius, const ArcSpan& span) {
  const Pixel centre = TwipsToPixel(centreX, centreY);
  const int pixels = TwipsToPixelRadius(radius);
  if (!Overlaps(centre.x - pixels, centre.y - pixels, centre.x + pixels, centre.y + pixels)) {
    return;
  }
  BeginFigure();
  ForEachCircleOffset(pixels, [&](int dx, int dy) {
    if (span.Contains(dx, dy)) Plot(centre.x + dx, centre.y + dy);
  });
  EndFigure();
}

void Canvas::Impl::EndFigure() {
  if (figure_.left > figure_.right) return;
  dirty_.Add({figure_.left, figure_.top, figure_.right - figure_.left + 1,
              figure_.bottom - figure_.top + 1});
}

void Canvas::Impl::FlushPoints() {
  if (pointCount_ == 0) return;
  SDL_RenderDrawPointsF(renderer_, points_.data(), pointCount_);
  pointCount_ = 0;
}

Canvas::Canvas(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Canvas::~Canvas() = default;

std::unique_ptr<Canvas> Canvas::Create(float widthTwips, float heightTwips, std::string& error) {
  auto impl = std::make_unique<Impl>();
  impl->width_ = widthTwips;
  impl->height_ = heightTwips;
  if (!impl->Rebuild(TwipsToCanvasPixels(widthTwips), TwipsToCanvasPixels(heightTwips), error)) {
    return nullptr;
  }
  return std::unique_ptr<Canvas>(new Canvas(std::move(impl)));
}

void Canvas::SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  impl_->FlushPoints();
  impl_->pen_ = {red, green, blue, SDL_ALPHA_OPAQUE};
  SDL_SetRenderDrawColor(impl_->renderer_, red, green, blue, SDL_ALPHA_OPAQUE);
}

void Canvas::DrawLine(float x1, float y1, float x2, float y2) {
  Impl& impl = *impl_;
  const Pixel from = TwipsToPixel(x1, y1);
  const Pixel to = TwipsToPixel(x2, y2);
  if (!impl.Overlaps(std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x),
                     std::max(from.y, to.y))) {
    return;
  }
  impl.BeginFigure();
  ForEachLinePixel(from, to, [&impl](int x, int y) { impl.Plot(x, y); });
  impl.EndFigure();
}

void Canvas::DrawBox(float x1, float y1, float x2, float y2) {
  Impl& impl = *impl_;
  const Pixel a = TwipsToPixel(x1, y1);
  const Pixel b = TwipsToPixel(x2, y2);
  const int left = std::max(std::min(a.x, b.x), 0);
  const int top = std::max(std::min(a.y, b.y), 0);
  const int right = std::min(std::max(a.x, b.x), impl.surface_->w - 1);
  const int bottom = std::min(std::max(a.y, b.y), impl.surface_->h - 1);
  if (left > right || top > bottom) return;
  impl.FlushPoints();
  const SDL_Rect box{left, top, right - left + 1, bottom - top + 1};
  SDL_RenderFillRect(impl.renderer_, &box);
  impl.dirty_.Add({box.x, box.y, box.w, box.h});
}

void Canvas::DrawCircle(float centreX, float centreY, float radius) {
  impl_->PlotArc(centreX, centreY, radius, ArcSpan::WholeCircle());
}

void Canvas::DrawArc(float centreX, float centreY, float radius, float startAngle, float endAngle) {
  impl_->PlotArc(centreX, centreY, radius, ArcSpan(startAngle, endAngle));
}

void Canvas::Clear() {
  Impl& impl = *impl_;
  impl.FlushPoints();
  SDL_SetRenderDrawColor(impl.renderer_, 0, 0, 0, SDL_ALPHA_OPAQUE);
  SDL_RenderClear(impl.renderer_);
  SDL_SetRenderDrawColor(impl.renderer_, impl.pen_.r, impl.pen_.g, impl.pen_.b, impl.pen_.a);
  impl.dirty_.Clear();
  impl.dirty_.Add({0, 0, impl.surface_->w, impl.surface_->h});
}

float Canvas::Width() const { return impl_->width_; }

float Canvas::Height() const { return impl_->height_; }

void Canvas::SetWidth(float twips) {
  impl_->width_ = twips;
  impl_->Resize(TwipsToCanvasPixels(twips), impl_->surface_->h);
}

void Canvas::SetHeight(float twips) {
  impl_->height_ = twips;
  impl_->Resize(impl_->surface_->w, TwipsToCanvasPixels(twips));
}

int Canvas::PixelWidth() const { return impl_->surface_->w; }

int Canvas::PixelHeight() const { return impl_->surface_->h; }

std::uint32_t Canvas::PixelAt(int x, int y) {
  const SDL_Surface& raster = *Flush();
  if (x < 0 || y < 0 || x >= raster.w || y >= raster.h) return 0;
  const auto* row = static_cast<const std::uint8_t*>(raster.pixels) + y * raster.pitch;
  std::uint32_t pixel = 0;
  std::memcpy(&pixel, row + x * sizeof pixel, sizeof pixel);
  return pixel & 0xFFFFFFU;
}

DirtyRegion& Canvas::Dirty() { return impl_->dirty_; }

SDL_Surface* Canvas::Flush() {
  impl_->FlushPoints();
  SDL_RenderFlush(impl_->renderer_);
  return impl_->surface_;
}

}  // namespace quillfane
