#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/window_base.h"

namespace quillfane {

// What main needs of a backend. Exactly one backend folder is built in, and it defines these.

// The status to exit with before any window opens (--help, --version, a wrong argument), or
// nothing when the game is to start.
std::optional<int> AnswerCommandLine(int argc, char** argv);
// The game's window, hidden; null, with a one-line reason in error, when it cannot be made.
std::unique_ptr<WindowBase> OpenWindow(std::string& error);
// Where the player sees it: standard error, a message box, the page.
void ReportStartFailure(const std::string& error);

}  // namespace quillfane
