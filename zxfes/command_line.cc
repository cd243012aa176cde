#include "zxfes/command_line.h"

#include <string_view>

CommandAction chooseCommandAction(int argc, const char* const* argv) {
  const int arguments = argc - 1;
  if (arguments == 2 && std::string_view(argv[1]) == "-i") {
    return CommandAction::kInstall;
  }
  if (arguments != 1) return CommandAction::kRunAsService;
  const std::string_view only(argv[1]);
  if (only == "-r") return CommandAction::kRemove;
  if (only == "-shutdown") return CommandAction::kStopAndRemove;
  return CommandAction::kNothing;
}
