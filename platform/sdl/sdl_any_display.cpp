#include "platform/sdl/sdl_display.h"

// Without X11, SDL picks the display itself and no window is on X11.
namespace quillfane {

bool ChooseVideoDriver(std::string& /*error*/) { return true; }

std::string NamedDisplay() { return ""; }

const char* WatchX11Window(SDL_Window* /*window*/) { return nullptr; }

double DesktopScale(const char* /*xResources*/) { return 1; }

}  // namespace quillfane
