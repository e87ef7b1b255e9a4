#include "platform/sdl/sdl_display.h"

// Without X11, SDL picks the display itself and no window is on X11.
namespace quillfane {

bool ChooseVideoDriver(std::string& /*error*/) { return true; }

const char* WatchX11Window(SDL_Window* /*window*/) { return nullptr; }

}  // namespace quillfane
