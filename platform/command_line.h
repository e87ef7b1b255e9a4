#pragma once

#include <optional>

namespace quillfane {

// Answers --help and --version and refuses any other argument, before any window is opened.
// Returns the status to exit with, or nothing when the game is to start.
std::optional<int> HandleCommandLine(int argc, char** argv);

}  // namespace quillfane
