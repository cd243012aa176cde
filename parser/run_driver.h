#ifndef PARSER_RUN_DRIVER_H_
#define PARSER_RUN_DRIVER_H_

#include <cstdint>

#include "parser/line_converter.h"
#include "parser/read_ahead.h"
#include "parser/run_options.h"

class RunLog;

/// Exit statuses of a parser run.
enum RunStatus : int {
  kRunOk = 0,
  kRunNoMemory = -1,
  kRunUsage = -2,
  kRunLogNotOpened = -3,
  kRunInvalidHeader = -4,
  kRunDataFileFailed = -5,
  kRunTypesNotOpened = -7,
  kRunNoRecords = -10,
  kRunTooManyErrors = -11,
  kRunFormatChanged = -12,
  kRunLogCorrupt = -13,
};

/// How a run spreads its work over threads; every choice writes the same
/// files.
struct RunThreads {
  /// Read JSON lines (a source that reads each line alone) on a second
  /// thread, ahead of the conversion (see ValuesAhead).
  bool valuesAhead = decodeOnThread();
};

/// Converts the log the options name: loads the column data types and the
/// identifier file, reads the header, converts every line, writes the load
/// files and the statistics. Returns the run's exit status.
int runParser(const RunOptions& options, const RunLog& runLog,
              const RunThreads& threads = {});

/// Writes the end-of-run statistics at level 3; `seconds` is the run's
/// duration in whole seconds.
void logStatistics(const RunLog& runLog, const RunCounters& counters,
                   std::int64_t seconds);

#endif  // PARSER_RUN_DRIVER_H_
