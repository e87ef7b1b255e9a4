// The budgets' reference page: the least a blocking wasm loop on a canvas can do each frame.
// A 6x6 square moves one pixel a frame across a 474x401 buffer; the old and new squares are
// copied to the canvas with putImageData from a view on the module's memory, as the game
// does, then the loop sleeps 10 ms.
#include <emscripten.h>

#include <cstdint>
#include <vector>

EM_JS(void, reference_put, (const void* rgba, int width, int height, int x, int y, int w, int h), {
  var image = Module['referenceImage'];
  if (!image || image.data.buffer != HEAPU8.buffer) {
    image = Module['referenceImage'] = new ImageData(
        new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
    Module['referenceContext'] =
        Module['canvas'].getContext('2d', {alpha : false, desynchronized : true});
  }
  Module['referenceContext'].putImageData(image, 0, 0, x, y, w, h);
});

int main() {
  constexpr int kWidth = 474;
  constexpr int kHeight = 401;
  constexpr int kSide = 6;
  std::vector<std::uint32_t> pixels(kWidth * kHeight, 0xFF000000U);
  reference_put(pixels.data(), kWidth, kHeight, 0, 0, kWidth, kHeight);
  for (int step = 0;; ++step) {
    const int x = step % (kWidth - kSide);
    const int y = kHeight / 2;
    for (int row = y; row < y + kSide; ++row) {
      pixels[row * kWidth + x] = 0xFF000000U;
      pixels[row * kWidth + x + kSide] = 0xFFFFFFFFU;
    }
    reference_put(pixels.data(), kWidth, kHeight, x, y, kSide + 1, kSide);
    emscripten_sleep(10);
  }
}
