#pragma once

#include <string>

struct SDL_Window;

namespace quillfane {

// What the SDL backend asks of the desktop it runs on. Where X11 is found (QUILLFANE_X11),
// sdl_x11.cpp knows the X11 and Wayland displays; elsewhere sdl_any_display.cpp leaves it all
// to SDL.

// Names the video driver SDL is to start, before it starts; false, with a one-line reason,
// when no display is named or the Wayland compositor named does not answer.
bool ChooseVideoDriver(std::string& error);

// On X11: our error handlers watch the window, and the X server's resource string is returned
// ("" when it has none). Null when the window is not on X11.
const char* WatchX11Window(SDL_Window* window);

// X11 only: the window (an X window id) destroyed by another program and the lost connection
// each end the game with one line and status 1; other errors, which leave the game playing,
// are not printed.
void WatchXWindow(unsigned long window);

}  // namespace quillfane
