#include <string>
#include <vector>

#include "zxsort/sort_run.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return runSort(args);
}
