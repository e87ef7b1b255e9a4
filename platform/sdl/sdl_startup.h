#pragma once

#include <string>

namespace quillfane {

// Opens /dev/null on each of the standard descriptors that is closed, so that no connection
// or file opened later takes its number: a message meant for standard error would otherwise
// be written into the display's connection.
void KeepStandardStreamsOpen();

// Why SDL could not start on the display chosen, on one line.
std::string DescribeStartFailure(const std::string& reason);
// SDL fell back to a driver that shows nothing, which only a driver asked for by name may be.
bool StartedUnseen(const char* driver);

// Window pixels to a raster pixel: QUILLFANE_SCALE (1 to 4) if set, else the desktop's scale
// rounded to a whole 1 to 4. False, with a reason, when QUILLFANE_SCALE is not one of those.
bool ChooseScale(double desktopScale, int& scale, std::string& error);

// One guard from the first display call to the first frame presented: a step still
// unfinished after 5 seconds is named on one line, with the display, and the status is 1.
// Interrupt, terminate and hang-up end the game at any moment: with status 1 before the
// first frame (it did not start), 0 after it.
void BeginStartGuard();
// What did not finish, should the guard expire now ("the window was not created").
void StartStep(const char* whatDidNotFinish);
void EndStartGuard(bool started);

bool IsUnset(const char* variable);
// Straight to standard error, as a signal handler may.
void Say(const char* line);

}  // namespace quillfane
