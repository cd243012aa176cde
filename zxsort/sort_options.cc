#include "zxsort/sort_options.h"

#include <climits>
#include <cstddef>

#include "common/options.h"

bool readLeadingInt(const std::string& text, int* value) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' ||
                             text[i] == '\r' || text[i] == '\n' ||
                             text[i] == '\v' || text[i] == '\f')) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  long long number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (number <= static_cast<long long>(INT_MAX) + 1) {
      number = number * 10 + (text[i] - '0');
    }
  }
  if (negative) number = -number;
  if (number > INT_MAX) number = INT_MAX;
  if (number < INT_MIN) number = INT_MIN;
  *value = static_cast<int>(number);
  return true;
}

namespace {

// Reads "name:code" into `measure`; false when the value is malformed.
bool readMeasure(const std::string& value, BillingMeasure* measure) {
  std::size_t colon = value.find(':');
  if (colon == std::string::npos) return false;
  std::string code = value.substr(colon + 1);
  if (code.empty() || code[0] < '0' || code[0] > '9') return false;
  int operation = 0;
  if (!readLeadingInt(code, &operation)) return false;
  measure->columnName = value.substr(0, colon);
  measure->operation = operation;
  return true;
}

// Index 0..2 of a whole-argument "-b1".."-b3", or -1.
int measureIndex(const std::string& arg) {
  if (arg == "-b1") return 0;
  if (arg == "-b2") return 1;
  if (arg == "-b3") return 2;
  return -1;
}

}  // namespace

OptionsResult parseSortArguments(const std::vector<std::string>& args,
                                 SortOptions* options) {
  OptionsResult result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!isOption(arg)) continue;
    char letter = optionLetter(arg);
    bool takesValue = letter == 'm' || letter == 'i' || letter == 'v' ||
                      letter == 'd' || letter == 'l';
    if (takesValue) {
      if (i + 1 >= args.size()) {
        result.status = -9;
        result.message = std::string("Missing value for option ") + arg;
        return result;
      }
      const std::string& value = args[++i];
      switch (letter) {
        case 'm': readLeadingInt(value, &options->mode); break;
        case 'i': readLeadingInt(value, &options->interval); break;
        case 'v': options->basePath = pathValue(value); break;
        case 'd': options->dataTypesPath = pathValue(value); break;
        case 'l': options->runLogPath = pathValue(value); break;
      }
      continue;
    }
    int index = measureIndex(arg);
    if (index < 0 || options->mode != 1) continue;
    if (i + 1 >= args.size() || !readMeasure(args[i + 1], &options->measures[index])) {
      result.status = -10;
      return result;
    }
    ++i;
  }
  return result;
}

int checkModeAndInterval(SortOptions* options, std::string* message) {
  if (options->mode == 0) {
    options->interval = 60;
    return 0;
  }
  if (options->mode != 1) {
    *message = "Invalid mode";
    return -9;
  }
  int interval = options->interval;
  bool valid = interval > 0 && interval <= 60 &&
               (interval == 1 || interval % 5 == 0);
  if (!valid) {
    *message = "Invalid interval";
    return -9;
  }
  return 0;
}

std::string missingRequiredOption(const SortOptions& options) {
  if (options.basePath.empty()) return "missing option -v BASEPATH";
  if (options.dataTypesPath.empty()) return "missing option -d DATATYPES";
  if (options.runLogPath.empty()) return "missing option -l RUNLOG";
  return "";
}

const char* sortUsageText() {
  return "usage: zxsort -m 0 -v BASEPATH -d DATATYPES -l RUNLOG\n"
         "       zxsort -m 1 -i MINUTES -v BASEPATH -d DATATYPES -l RUNLOG"
         " -b1 COL:OP -b2 COL:OP -b3 COL:OP\n"
         "(OP: 10 min, 11 max, 12 average, 13 sum)\n";
}
