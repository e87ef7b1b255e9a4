#include "platform/command_line.h"

#include <cstdio>
#include <string_view>

#include "usage_text.h"

namespace quillfane {

std::optional<int> HandleCommandLine(int argc, char** argv) {
  if (argc < 2) return std::nullopt;
  const std::string_view first = argv[1];
  const bool help = first == "--help" || first == "-h";
  const bool version = first == "--version";
  if (version && argc == 2) {
    std::printf("Quillfane %s\n", kVersionText);
    return 0;
  }
  if (help && argc == 2) {
    std::printf(
        "Usage: quillfane [--help | --version]\n"
        "Without an argument, opens the game's window: a white vector ship on a black\n"
        "playfield, to be flown until it is ended.\n\n"
        "Keys:\n%sIn brackets, a controller's buttons for the same.\n\nExit status:\n%s",
        kKeysHelp, kExitStatusHelp);
    return 0;
  }
  // Anything else, or anything after --help or --version.
  const char* wrong = help || version ? argv[2] : argv[1];
  std::fprintf(stderr, "quillfane: unknown argument '%s'; try 'quillfane --help'\n", wrong);
  return 2;
}

}  // namespace quillfane
