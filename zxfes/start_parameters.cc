#include "zxfes/start_parameters.h"

#include <string_view>

StartFlags parseStartParameters(unsigned long argc, const char* const* argv) {
  StartFlags flags;
  if (argc != 2 || argv == nullptr || argv[1] == nullptr) return flags;
  const std::string_view parameter(argv[1]);
  if (parameter == "-debug") {
    flags.debugMode = true;
  } else if (parameter == "-zxfes") {
    flags.interactiveLaunch = true;
  }
  return flags;
}
