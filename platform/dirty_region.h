#pragma once

#include <array>
#include <span>

namespace quillfane {

struct PixelRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

// The parts of the canvas changed since the last present, kept as a few rectangles in a
// fixed array: touching ones are merged, and when the array is full a new one joins the
// stored one it grows least.
class DirtyRegion {
 public:
  static constexpr int kCapacity = 16;

  void Add(PixelRect rect);
  void Clear() { count_ = 0; }
  std::span<const PixelRect> Rects() const { return {rects_.data(), static_cast<size_t>(count_)}; }

 private:
  void Remove(int index);
  // Folds every stored rectangle that overlaps or touches rect into it.
  void AbsorbTouching(PixelRect& rect);
  int CheapestMerge(const PixelRect& rect) const;

  std::array<PixelRect, kCapacity> rects_{};
  int count_ = 0;
};

}  // namespace quillfane
