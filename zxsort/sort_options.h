#ifndef ZXSORT_SORT_OPTIONS_H_
#define ZXSORT_SORT_OPTIONS_H_

#include <string>
#include <vector>

/// Aggregation codes of a billing measure.
enum MeasureOperation {
  kMeasureMinimum = 10,
  kMeasureMaximum = 11,
  kMeasureAverage = 12,
  kMeasureSum = 13,
};

/// One billing measure: the column that carries it and how it aggregates.
struct BillingMeasure {
  std::string columnName;  ///< database column name; empty when not given
  int operation = 0;       ///< one of MeasureOperation
};

/// The options of one sorter run.
struct SortOptions {
  int mode = 0;               ///< 0 hourly, 1 billing
  int interval = 60;          ///< billing interval in minutes
  std::string basePath;       ///< parser's files without their suffix
  std::string dataTypesPath;  ///< column data types file
  std::string runLogPath;     ///< run log; empty drops messages
  BillingMeasure measures[3]; ///< billing measures 1 to 3
};

/// Outcome of reading the command line.
struct OptionsResult {
  int status = 0;            ///< 0, -10 for a malformed measure, -9 for a missing value
  std::string message;       ///< run-log text for -9; empty otherwise
};

/// Reads the arguments (without the program name) from left to right into
/// `options`. A malformed -b1/-b2/-b3 value gives -10 with no message; an
/// option letter at the end without its value gives -9 and a message.
OptionsResult parseSortArguments(const std::vector<std::string>& args,
                                 SortOptions* options);

/// Checks mode and interval; forces the interval to 60 in hourly mode.
/// Returns 0, or -9 with `message` set to "Invalid mode" or "Invalid interval".
int checkModeAndInterval(SortOptions* options, std::string* message);

/// The first of -v, -d and -l that `options` lacks, as a one-line reason
/// ("missing option -v BASEPATH"); empty when all three are there.
std::string missingRequiredOption(const SortOptions& options);

/// The command-line summary printed with a missing option.
const char* sortUsageText();

/// What --help prints: usage, options and exit statuses, for the name the
/// program was started by.
std::string sortHelpText(const std::string& programName);

/// Reads a leading decimal integer the way "%d" does (blanks, sign, digits);
/// false when no digit follows. Values past the int range are clamped.
bool readLeadingInt(const std::string& text, int* value);

#endif  // ZXSORT_SORT_OPTIONS_H_
