#include <string>
#include <vector>

#include "common/platform.h"
#include "common/program_info.h"
#include "zxsort/sort_options.h"
#include "zxsort/sort_run.h"

int main(int argc, char** argv) {
  // Each hour's records and texts are allocated and freed in turn: kept in
  // the heap, not handed back and faulted in again for the next hour.
  platform::tuneAllocatorForLargeRun(argv);
  if (int status = answerHelpOrVersion(argc, argv, "zxsort", sortHelpText); status >= 0) {
    return status;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  return runSort(args);
}
