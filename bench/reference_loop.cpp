// The cheapest SDL2 loop that shows motion, for the game's CPU per frame to be weighed
// against: a small square crosses a 474x401 window, only the two rectangles it leaves and
// enters are presented through the window surface, and each frame sleeps 10 ms.
#include <SDL.h>

int main(int /*argc*/, char* /*argv*/[]) {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Window* window = SDL_CreateWindow("Reference loop", SDL_WINDOWPOS_UNDEFINED,
                                        SDL_WINDOWPOS_UNDEFINED, 474, 401, 0);
  if (window == nullptr) return 1;
  SDL_Rect changed[2] = {{0, 196, 8, 8}, {0, 196, 8, 8}};
  for (;;) {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
      if (event.type == SDL_QUIT ||
          (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE)) {
        SDL_Quit();
        return 0;
      }
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (surface != nullptr && surface->w > 8) {
      changed[0] = changed[1];
      changed[1].x = (changed[0].x + 2) % (surface->w - 8);
      SDL_FillRect(surface, &changed[0], 0);
      SDL_FillRect(surface, &changed[1], SDL_MapRGB(surface->format, 255, 255, 255));
      SDL_UpdateWindowSurfaceRects(window, changed, 2);
    }
    SDL_Delay(10);
  }
}
