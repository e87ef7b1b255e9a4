#pragma once

#include <string>

struct SDL_Window;

namespace quillfane {

// Everything the SDL backend asks of the desktop it runs on. Where X11 is found (QUILLFANE_X11),
// sdl_x11.cpp knows the X11 and Wayland displays; elsewhere sdl_any_display.cpp leaves it all
// to SDL.

// Names the video driver SDL is to start, before it starts; false, with a one-line reason,
// when no display is named or the Wayland compositor named does not answer.
bool ChooseVideoDriver(std::string& error);

// The variable naming the display SDL opens, with its value ("DISPLAY=:0"); "" when none does.
std::string NamedDisplay();

// On X11: our error handlers watch the window, and the X server's resource string is returned
// ("" when it has none). Null when the window is not on X11.
const char* WatchX11Window(SDL_Window* window);

// Window pixels to a raster pixel that the desktop asks for, from the X server's resource string
// that WatchX11Window returned: GDK_SCALE, else Xft.dpi over 96. 1 when the window is not on X11,
// or under a Wayland compositor, which scales X windows itself.
double DesktopScale(const char* xResources);

}  // namespace quillfane
