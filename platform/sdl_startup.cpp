#include "platform/sdl_startup.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace quillfane {

namespace {

bool IsUnset(const char* variable) {
  const char* value = std::getenv(variable);
  return value == nullptr || *value == '\0';
}

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

void Say(const char* line) { [[maybe_unused]] auto ignored = write(2, line, std::strlen(line)); }

// Written by the signal handlers, so kept in fixed storage.
volatile sig_atomic_t started = 0;
const char* volatile unfinished = "";
char display[256] = "";

void SayGuardExpired(int) {
  Say("quillfane: ");
  Say(unfinished);
  Say(" within 5 seconds on the display ");
  Say(display);
  Say("; check that the display server and its window manager are running and answering\n");
  _exit(1);
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

void KeepStandardStreamsOpen() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    // Lower numbers are open by now, so open gives this one.
    if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
      open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    }
  }
}

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

std::string DescribeStartFailure(const std::string& reason) {
  if (!IsUnset("SDL_VIDEODRIVER")) {
    return "SDL could not start the video driver named by SDL_VIDEODRIVER=" +
           std::string(std::getenv("SDL_VIDEODRIVER")) + " (" + reason +
           "); unset it or name one this system has";
  }
  const char* variable = IsUnset("DISPLAY") ? "WAYLAND_DISPLAY" : "DISPLAY";
  return "SDL could not reach the display named by " + std::string(variable) + "=" +
         std::getenv(variable) + " (" + reason +
         "); check that it is running and that this user may use it";
}

bool StartedUnseen(const char* driver) {
  return IsUnset("SDL_VIDEODRIVER") &&
         (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

bool ChooseScale(void* xDisplay, int& scale, std::string& error) {
  scale = 1;
  if (const char* chosen = std::getenv("QUILLFANE_SCALE"); chosen != nullptr) {
    if (chosen[0] < '1' || chosen[0] > '4' || chosen[1] != '\0') {
      error = "QUILLFANE_SCALE=" + std::string(chosen) + " is not a whole number from 1 to 4";
      return false;
    }
    scale = chosen[0] - '0';
    return true;
  }
  if (xDisplay == nullptr || !IsUnset("WAYLAND_DISPLAY")) return true;
  double ratio = 1;
  if (!IsUnset("GDK_SCALE")) {
    ratio = std::atof(std::getenv("GDK_SCALE"));
  } else if (const char* resources = XResourceManagerString(static_cast<Display*>(xDisplay));
             resources != nullptr) {
    const char* dpi = std::strstr(resources, "Xft.dpi:");
    if (dpi != nullptr) ratio = std::atof(dpi + std::strlen("Xft.dpi:")) / 96;
  }
  scale = static_cast<int>(std::clamp(std::lround(ratio), 1L, 4L));
  return true;
}

// SDL's own signal handlers only queue a quit that a blocked start-up never reads.
void BeginStartGuard() {
  std::string named = IsUnset("SDL_VIDEODRIVER")
                          ? std::string()
                          : "SDL_VIDEODRIVER=" + std::string(std::getenv("SDL_VIDEODRIVER")) + " ";
  const bool wayland = IsUnset("DISPLAY") || named == "SDL_VIDEODRIVER=wayland ";
  const char* variable = wayland ? "WAYLAND_DISPLAY" : "DISPLAY";
  if (!IsUnset(variable)) named += variable + ("=" + std::string(std::getenv(variable)));
  std::strncpy(display, named.c_str(), sizeof display - 1);
  struct sigaction end {};
  end.sa_handler = [](int) { _exit(started != 0 ? 0 : 1); };
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &end, nullptr);
  struct sigaction giveUp {};
  giveUp.sa_handler = SayGuardExpired;
  sigaction(SIGALRM, &giveUp, nullptr);
  StartStep("the display did not answer");
  alarm(5);
}

void StartStep(const char* whatDidNotFinish) { unfinished = whatDidNotFinish; }

void EndStartGuard(bool startedNow) {
  alarm(0);
  started = startedNow ? 1 : 0;
}

void WatchXWindow(unsigned long window) {
  watchedWindow = window;
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(LostDisplay);
}

}  // namespace quillfane
