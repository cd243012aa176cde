#include "parser/run_options.h"

#include <cstring>
#include <limits>

#include "common/options.h"
#include "parser/log_format.h"

namespace {

/// The option letters that take a value.
bool takesValue(char letter) {
  return std::strchr("ldobteaf", letter) != nullptr && letter != '\0';
}

/// Reads the start of `text` as a decimal integer with an optional sign
/// (clamped to the range of int); false when it does not start with one.
bool readInteger(std::string_view text, int* out) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  std::size_t digitsStart = pos;
  long long value = 0;
  constexpr long long kLimit = std::numeric_limits<int>::max();
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    if (value > kLimit + 1) value = kLimit + 1;
    ++pos;
  }
  if (pos == digitsStart) return false;
  if (negative) value = -value;
  if (value > kLimit) value = kLimit;
  *out = static_cast<int>(value);
  return true;
}

/// Stores one option's value; false (with `problem` set) when it is too
/// long.
bool applyOption(char letter, std::string_view argument, RunOptions& options) {
  if (letter == 'f') {
    // A format definition holds blanks: the whole argument is the value.
    LogFormatChoice choice;
    std::string error;
    if (argument.size() > kMaxLogFormatLength) {
      options.problem = "value of -f longer than " + std::to_string(kMaxLogFormatLength) +
                        " characters";
      return false;
    }
    if (!parseLogFormatOption(argument, &choice, &error)) {
      options.problem = error;
      return false;
    }
    options.logFormat = std::string(argument);
    return true;
  }
  bool isPath = letter == 'l' || letter == 'd' || letter == 'o' || letter == 'b';
  std::string value = isPath ? pathValue(argument) : firstWord(argument);
  if (letter != 'e' && value.size() > kMaxOptionLength) {
    options.problem = std::string("value of -") + letter + " longer than " +
                      std::to_string(kMaxOptionLength) + " characters";
    return false;
  }
  switch (letter) {
    case 'l':
      options.logPath = value;
      options.runLogPath = value + ".out";
      break;
    case 'd':
      options.dataTypesPath = value;
      break;
    case 'o':
      options.runLogPath = value;
      break;
    case 'b':
      options.dbName = value;
      break;
    case 't':
      options.logFormatName = value;
      break;
    case 'e':
      readInteger(value, &options.maxErrors);
      break;
    case 'a':
      options.applianceName = value;
      options.applianceGiven = true;
      break;
  }
  return true;
}

}  // namespace

RunOptions parseCommandLine(int argc, const char* const* argv) {
  RunOptions options;
  bool seenLog = false;
  bool seenTypes = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (!isOption(argument)) continue;
    char letter = optionLetter(argument);
    if (!takesValue(letter)) continue;
    if (i + 1 >= argc) {
      options.problem = std::string("option -") + letter + " without a value";
      return options;
    }
    if (!applyOption(letter, argv[++i], options)) return options;
    seenLog = seenLog || letter == 'l';
    seenTypes = seenTypes || letter == 'd';
  }
  if (!options.logFormat.empty() && !options.logFormatName.empty()) {
    options.problem = "options -t and -f exclude each other";
  } else if (!seenLog) {
    options.problem = "option -l (log file) missing";
  } else if (!seenTypes) {
    options.problem = "option -d (column data types file) missing";
  }
  return options;
}

const char* usageText() {
  return "usage: parser -l LOG -d DATATYPES [-o RUNLOG] [-b DATABASE] "
         "[-t FORMAT | -f LOGFORMAT] [-e MAXERRORS] [-a APPLIANCE]\n"
         "  DATABASE is sybase, oracle or mssql; '+' in the paths of -l, -d, "
         "-o and -b stands for a blank\n"
         "  LOGFORMAT is apache:FORMAT, apache:NAME, nginx:FORMAT, nginx:NAME,\n"
         "  apache-conf:FILE:NAME, nginx-conf:FILE:NAME, json or json:KEY=FIELD,...\n";
}

std::string dataSetName(const std::string& logPath, const char* rawSuffix,
                        DataSet dataSet) {
  std::string name = logPath + rawSuffix;
  if (dataSet == DataSet::Raw) return name;
  const char* infix = dataSet == DataSet::SmartFilter ? ".sf" : ".st";
  std::size_t at = name.find(rawSuffix);
  name.resize(at);
  name += infix;
  name += rawSuffix;
  return name;
}

OutputNames makeOutputNames(const RunOptions& options) {
  OutputNames names;
  DataSet dataSet = options.dataSet();
  DbKind db = options.dbKind();
  const std::string& log = options.logPath;
  names.errorLines = log + ".err";
  names.data = dataSetName(log, ".csv", dataSet);
  names.control = dataSetName(log, ".ctl", dataSet);
  names.columnDescription = dataSetName(log, ".zx3", dataSet);
  bool loaderControl = db == DbKind::Oracle || db == DbKind::MsSql;
  names.billingControl = log + (loaderControl ? ".b.ctl" : ".b.zx3");
  names.billingSort = log + ".bsrt";
  const char* prefix = dataSet == DataSet::SmartFilter ? "smart_"
                       : dataSet == DataSet::Streaming ? "str_"
                                                       : "raw_";
  names.dataTable = prefix + options.applianceName;
  names.billingTable = "bill_" + options.applianceName;
  if (options.applianceGiven) {
    names.applianceTable = "raw_" + options.applianceName;
  }
  return names;
}
