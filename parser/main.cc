// The parser program: converts one access log into bulk-load files.
#include <cstdio>

#include "common/program_info.h"
#include "common/run_log.h"
#include "parser/help_text.h"
#include "parser/run_driver.h"
#include "parser/run_options.h"

int main(int argc, char** argv) {
  if (int status = answerHelpOrVersion(argc, argv, "parser", parserHelpText); status >= 0) {
    return status;
  }
  RunOptions options = parseCommandLine(argc, argv);
  RunLog runLog("parser");
  runLog.setPath(options.runLogPath);
  if (!options.problem.empty()) {
    std::fprintf(stderr, "parser: %s\n%s", options.problem.c_str(), usageText());
    runLog.logFormat(5, "Invalid command line: %s", options.problem.c_str());
    return kRunUsage;
  }
  return runParser(options, runLog);
}
