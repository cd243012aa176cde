#ifndef ZXSORT_SORT_RUN_H_
#define ZXSORT_SORT_RUN_H_

#include <string>
#include <vector>

/// Runs the sorter on the arguments (without the program name) and returns
/// its exit status: 0, or a negative status for each kind of failure.
int runSort(const std::vector<std::string>& args);

#endif  // ZXSORT_SORT_RUN_H_
