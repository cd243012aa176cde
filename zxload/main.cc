// zxload: loads data and sort files into SQLite or PostgreSQL.
#include <string>

#include "common/platform.h"
#include "common/program_info.h"
#include "zxload/load_options.h"
#include "zxload/load_run.h"

namespace {

/// The --help text.
std::string helpText(const std::string&) { return loadHelp(); }

}  // namespace

int main(int argc, char** argv) {
  platform::tuneAllocatorForLargeRun(argv);
  if (int status = answerHelpOrVersion(argc, argv, "zxload", helpText); status >= 0) {
    return status;
  }
  return runLoad(argc, argv);
}
