#pragma once

#include <string>

namespace quillfane {

// Opens /dev/null on each of the standard descriptors that is closed, so that no connection
// or file opened later takes its number: a message meant for standard error would otherwise
// be written into the display's connection.
void KeepStandardStreamsOpen();

// Names the video driver SDL is to start, before it starts; false, with a one-line reason,
// when no display is named or the Wayland compositor named does not answer.
bool ChooseVideoDriver(std::string& error);
// Why SDL could not start on the display chosen, on one line.
std::string DescribeStartFailure(const std::string& reason);
// SDL fell back to a driver that shows nothing, which only a driver asked for by name may be.
bool StartedUnseen(const char* driver);

// Window pixels to a raster pixel: QUILLFANE_SCALE (1 to 4) if set, else on X11 alone (not
// under a Wayland compositor, which scales X windows itself) GDK_SCALE or Xft.dpi in whole
// multiples of 96. xDisplay is the X display, or null. False, with a reason, when
// QUILLFANE_SCALE is not one of those.
bool ChooseScale(void* xDisplay, int& scale, std::string& error);

// One guard from the first display call to the first frame presented: a step still
// unfinished after 5 seconds is named on one line, with the display, and the status is 1.
// Interrupt, terminate and hang-up end the game at any moment: with status 1 before the
// first frame (it did not start), 0 after it.
void BeginStartGuard();
// What did not finish, should the guard expire now ("the window was not created").
void StartStep(const char* whatDidNotFinish);
void EndStartGuard(bool started);

// Our own X error handlers for the display SDL opened: the window destroyed by another
// program and the lost connection each end the game with one line and status 1; other
// errors, which leave the game playing, are not printed.
void WatchXWindow(unsigned long window);

}  // namespace quillfane
