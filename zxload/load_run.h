#ifndef ZXLOAD_LOAD_RUN_H_
#define ZXLOAD_LOAD_RUN_H_

#include <string>

#include "zxload/load_options.h"
#include "zxload/load_target.h"

/// Exit statuses of zxload.
enum LoadStatus {
  kLoadOk = 0,           ///< every file loaded or already recorded as loaded
  kLoadUsage = 1,        ///< unusable command line
  kLoadInput = 2,        ///< a file or a file beside it missing, unreadable or inconsistent
  kLoadMalformed = 3,    ///< a line of a file does not read as a row
  kLoadDatabase = 4,     ///< the database cannot be opened or failed
  kLoadOlderLoad = 5,    ///< would replace a load whose rows carry no load id
};

/// Loads `file` into `target` in one transaction, replacing the earlier
/// loads of its source and data set unless the options keep them; prints
/// what it did on standard output, the failure on standard error.
LoadStatus loadFile(const std::string& file, const LoadOptions& options, LoadTarget* target);

/// Runs the whole command line.
int runLoad(int argc, char** argv);

#endif  // ZXLOAD_LOAD_RUN_H_
