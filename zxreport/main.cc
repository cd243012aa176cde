// zxreport: the HTML, JSON and CSV report of the tables zxload filled.
#include <string>

#include "common/platform.h"
#include "common/program_info.h"
#include "zxreport/report_options.h"
#include "zxreport/report_run.h"

namespace {

/// The --help text.
std::string helpText(const std::string&) { return reportUsage(); }

}  // namespace

int main(int argc, char** argv) {
  platform::tuneAllocatorForLargeRun(argv);
  if (int status = answerHelpOrVersion(argc, argv, "zxreport", helpText); status >= 0) {
    return status;
  }
  return runReport(argc, argv);
}
