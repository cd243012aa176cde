#include <string>
#include <vector>

#include "common/program_info.h"
#include "zxsort/sort_options.h"
#include "zxsort/sort_run.h"

int main(int argc, char** argv) {
  if (int status = answerHelpOrVersion(argc, argv, "zxsort", sortHelpText); status >= 0) {
    return status;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  return runSort(args);
}
