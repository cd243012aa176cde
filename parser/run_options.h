#ifndef PARSER_RUN_OPTIONS_H_
#define PARSER_RUN_OPTIONS_H_

#include <string>

#include "parser/parser_types.h"

/// Longest option value; a longer one makes the command line invalid.
constexpr std::size_t kMaxOptionLength = 511;
/// Rejected lines after which a run stops unless -e says otherwise.
constexpr int kDefaultMaxErrors = 200;

/// The settings of one parser run, as the command line gives them.
struct RunOptions {
  /// -l: the log to convert; every output name derives from it.
  std::string logPath;
  /// -d: the column data types file; its path selects the data set.
  std::string dataTypesPath;
  /// -o, or the log path with ".out" when -l comes later.
  std::string runLogPath;
  /// -b: the database name.
  std::string dbName;
  /// -t: a built-in format to assume instead of the log's header.
  std::string logFormatName;
  /// -f: the server's own format definition or JSON lines (see
  /// parseLogFormatOption); taken whole, blanks included.
  std::string logFormat;
  /// -e: rejected lines after which the run stops; 0 for no limit.
  int maxErrors = kDefaultMaxErrors;
  /// -a: the appliance the log comes from, part of the table names.
  std::string applianceName;
  /// True once -a was given (even with an empty value).
  bool applianceGiven = false;
  /// Empty for a usable command line, else what is wrong with it.
  std::string problem;

  /// The database kind named by -b.
  DbKind dbKind() const { return dbKindFromName(dbName); }
  /// The data set selected by the -d path.
  DataSet dataSet() const { return dataSetFromPath(dataTypesPath); }
};

/// Reads the command line: options start with '-' or '/', only their
/// second character counts, each takes the next argument as its value, and
/// later options overwrite earlier ones (-l also resets the run log to the
/// log path with ".out"). Missing -l or -d, a value missing at the end, a
/// value over 511 characters (4,095 for -f), an -f value of no known form,
/// or both -t and -f set `problem`.
RunOptions parseCommandLine(int argc, const char* const* argv);

/// The usage text printed for an unusable command line.
const char* usageText();

/// Every file name and table name a run derives from its options.
struct OutputNames {
  /// Rejected lines: the log path with ".err".
  std::string errorLines;
  /// Data file: ".csv", ".sf.csv" or ".st.csv".
  std::string data;
  /// Loader control or bcp format file: ".ctl", ".sf.ctl" or ".st.ctl".
  std::string control;
  /// Column description file: ".zx3", ".sf.zx3" or ".st.zx3".
  std::string columnDescription;
  /// Billing control file: ".b.ctl" for Oracle and MsSql, else ".b.zx3".
  std::string billingControl;
  /// The billing sort file the sorter writes: ".bsrt".
  std::string billingSort;
  /// The data set's table: "raw_", "smart_" or "str_" and the appliance.
  std::string dataTable;
  /// The billing table: "bill_" and the appliance.
  std::string billingTable;
  /// The table shown in the run log: "raw_" and the appliance, whatever
  /// the data set, or empty without an appliance.
  std::string applianceTable;
};

/// Derives the output names from the log path, the data set, the database
/// kind and the appliance name.
OutputNames makeOutputNames(const RunOptions& options);

/// The log path with `rawSuffix` appended, then for another data set the
/// first occurrence of `rawSuffix` in that name replaced by the data set's
/// form (".sf" or ".st" before it), dropping whatever followed it.
std::string dataSetName(const std::string& logPath, const char* rawSuffix,
                        DataSet dataSet);

#endif  // PARSER_RUN_OPTIONS_H_
