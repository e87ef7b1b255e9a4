#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_startup.h"

// The parts of the SDL backend that know the X11 and Wayland desktop: which display to open,
// our X error handlers and the desktop's scale.
namespace quillfane {

namespace {

constexpr const char* kNoDisplay =
    "no X display is set (DISPLAY is empty); start the game from a desktop session or under "
    "Xvfb";

// Asked for before SDL, which would otherwise print the Wayland library's own complaint and
// fall back to a driver that shows nothing.
bool WaylandCompositorAnswers(std::string& error) {
  const std::string name = std::getenv("WAYLAND_DISPLAY");
  if (name[0] != '/' && IsUnset("XDG_RUNTIME_DIR")) {
    error = "WAYLAND_DISPLAY=" + name + " is set but XDG_RUNTIME_DIR is not, so the compositor " +
            "cannot be found; start the game from the desktop session";
    return false;
  }
  const std::string path = name[0] == '/' ? name : std::getenv("XDG_RUNTIME_DIR") + ("/" + name);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool answered =
      probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (probe >= 0) close(probe);
  if (!answered) {
    error = "no Wayland compositor answers at " + path + " (WAYLAND_DISPLAY=" + name +
            "); start the game from a running desktop session, or set DISPLAY for X";
  }
  return answered;
}

unsigned long watchedWindow = 0;

int OnXError(Display*, XErrorEvent* error) {
  if (error->resourceid == watchedWindow &&
      (error->error_code == BadWindow || error->error_code == BadDrawable)) {
    Say("quillfane: the window was destroyed by another program; the game has ended\n");
    _exit(1);
  }
  return 0;
}

// Xlib's own handler prints two lines of its own and exits; one of ours says what happened.
int LostDisplay(Display* lost) {
  Say("quillfane: lost the connection to the X display ");
  Say(XDisplayString(lost));
  Say(" (the X server ended or the connection broke); the game has ended\n");
  _exit(1);
}

}  // namespace

bool ChooseVideoDriver(std::string& error) {
  if (IsUnset("SDL_VIDEODRIVER") && IsUnset("DISPLAY") && IsUnset("WAYLAND_DISPLAY")) {
    error = kNoDisplay;
    return false;
  }
  // A display that cannot be reached should fail as that, not as a probe of other drivers.
  if (IsUnset("SDL_VIDEODRIVER")) {
    if (IsUnset("DISPLAY") && !WaylandCompositorAnswers(error)) return false;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, IsUnset("DISPLAY") ? "wayland" : "x11");
  }
  return true;
}

std::string NamedDisplay() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const bool wayland =
      IsUnset("DISPLAY") || (driver != nullptr && std::strcmp(driver, "wayland") == 0);
  const char* variable = wayland ? "WAYLAND_DISPLAY" : "DISPLAY";
  if (IsUnset(variable)) return "";
  return variable + ("=" + std::string(std::getenv(variable)));
}

// Declared by its test alone: the game watches its window through WatchX11Window.
void WatchXWindow(unsigned long window) {
  watchedWindow = window;
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(LostDisplay);
}

const char* WatchX11Window(SDL_Window* window) {
  SDL_SysWMinfo system;
  SDL_VERSION(&system.version);
  if (SDL_GetWindowWMInfo(window, &system) != SDL_TRUE || system.subsystem != SDL_SYSWM_X11) {
    return nullptr;
  }
  WatchXWindow(system.info.x11.window);
  const char* resources = XResourceManagerString(system.info.x11.display);
  return resources != nullptr ? resources : "";
}

double DesktopScale(const char* xResources) {
  if (xResources == nullptr || !IsUnset("WAYLAND_DISPLAY")) return 1;
  if (!IsUnset("GDK_SCALE")) return std::atof(std::getenv("GDK_SCALE"));
  const char* dpi = std::strstr(xResources, "Xft.dpi:");
  if (dpi != nullptr) return std::atof(dpi + std::strlen("Xft.dpi:")) / 96;
  return 1;
}

}  // namespace quillfane
