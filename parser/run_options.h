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
  std::string logPath;
  std::string dataTypesPath;
  std::string runLogPath;
  std::string dbName;
  std::string logFormatName;
  int maxErrors = kDefaultMaxErrors;
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
/// log path with ".out"). Missing -l or -d, a value missing at the end, or
/// a value over 511 characters sets `problem`.
RunOptions parseCommandLine(int argc, const char* const* argv);

/// The usage text printed for an unusable command line.
const char* usageText();

/// Every file name and table name a run derives from its options.
struct OutputNames {
  std::string errorLines;
  std::string data;
  std::string control;
  std::string columnDescription;
  std::string billingControl;
  std::string billingSort;
  std::string dataTable;
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
