#include "common/program_info.h"

#include <cstdio>
#include <string_view>

#include "common/version.h"

namespace {

/// True when `name` is longer than ".exe" and ends with it, in any case.
bool endsWithExe(std::string_view name) {
  constexpr std::string_view kExe = ".exe";
  if (name.size() <= kExe.size()) return false;
  std::string_view tail = name.substr(name.size() - kExe.size());
  for (std::size_t i = 0; i < kExe.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExe[i]) return false;
  }
  return true;
}

}  // namespace

std::string startedName(const char* argv0, const char* fallback) {
  std::string_view name = argv0 != nullptr ? argv0 : "";
  std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  if (endsWithExe(name)) name.remove_suffix(4);
  return name.empty() ? std::string(fallback) : std::string(name);
}

std::string versionLine(const std::string& programName) {
  return programName + " (" ACCESSLOG_PACKAGE_NAME ") " ACCESSLOG_VERSION "\n";
}

int answerHelpOrVersion(int argc, const char* const* argv,
                        const char* fallbackName, HelpWriter help) {
  if (argc != 2) return -1;
  std::string_view request = argv[1];
  std::string name = startedName(argv[0], fallbackName);
  std::string text;
  if (request == "--version") {
    text = versionLine(name);
  } else if (request == "--help" && help != nullptr) {
    text = help(name);
  } else {
    return -1;
  }
  bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  if (std::fflush(stdout) != 0 || !written) {
    std::fprintf(stderr, "%s: cannot write to standard output\n", name.c_str());
    return 1;
  }
  return 0;
}
