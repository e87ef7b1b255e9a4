#include "platform/sdl/sdl_startup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_display.h"

namespace quillfane {

bool IsUnset(const char* variable) {
  const char* value = std::getenv(variable);
  return value == nullptr || *value == '\0';
}

void Say(const char* line) { [[maybe_unused]] auto ignored = write(2, line, std::strlen(line)); }

namespace {

// Written by the signal handlers, so kept in fixed storage.
volatile sig_atomic_t started = 0;
const char* volatile unfinished = "";
char display[256] = "";

void SayGuardExpired(int) {
  Say("quillfane: ");
  Say(unfinished);
  Say(" within 5 seconds");
  Say(display);
  Say("; check that the display server and its window manager are running and answering\n");
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

std::string DescribeStartFailure(const std::string& reason) {
  if (!IsUnset("SDL_VIDEODRIVER")) {
    return "SDL could not start the video driver named by SDL_VIDEODRIVER=" +
           std::string(std::getenv("SDL_VIDEODRIVER")) + " (" + reason +
           "); unset it or name one this system has";
  }
  const std::string display = NamedDisplay();
  if (display.empty()) return "SDL could not start a video driver (" + reason + ")";
  return "SDL could not reach the display named by " + display + " (" + reason +
         "); check that it is running and that this user may use it";
}

bool StartedUnseen(const char* driver) {
  return IsUnset("SDL_VIDEODRIVER") &&
         (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

bool ChooseScale(double desktopScale, int& scale, std::string& error) {
  scale = 1;
  if (const char* chosen = std::getenv("QUILLFANE_SCALE"); chosen != nullptr) {
    if (chosen[0] < '1' || chosen[0] > '4' || chosen[1] != '\0') {
      error = "QUILLFANE_SCALE=" + std::string(chosen) + " is not a whole number from 1 to 4";
      return false;
    }
    scale = chosen[0] - '0';
    return true;
  }
  scale = static_cast<int>(std::clamp(std::lround(desktopScale), 1L, 4L));
  return true;
}

// SDL's own signal handlers only queue a quit that a blocked start-up never reads.
void BeginStartGuard() {
  std::string named = NamedDisplay();
  if (!IsUnset("SDL_VIDEODRIVER")) {
    named = "SDL_VIDEODRIVER=" + std::string(std::getenv("SDL_VIDEODRIVER")) +
            (named.empty() ? "" : " ") + named;
  }
  if (!named.empty()) named = " on the display " + named;
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

}  // namespace quillfane
