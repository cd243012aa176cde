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

std::string sortHelpText(const std::string& programName) {
  const std::string& n = programName;
  return "usage: " + n + " -m 0 -v BASEPATH -d DATATYPES -l RUNLOG\n"
         "       " + n + " -m 1 -i MINUTES -v BASEPATH -d DATATYPES -l RUNLOG\n"
         "       " + std::string(n.size(), ' ') + " -b1 COL:OP -b2 COL:OP -b3 COL:OP\n"
         "       " + n + " --help | --version\n"
         "Reduces the data file BASEPATH.csv that parser wrote (columns named by\n"
         "BASEPATH.zx3) into the sort file the database loader reads: hour by hour,\n"
         "merging records with equal keys, into BASEPATH.srt (-m 0), or per billing\n"
         "interval, one record per user, address, URL, method and format with three\n"
         "measures, into BASEPATH.bsrt (-m 1).\n"
         "\n"
         "  -m MODE       0 hourly, 1 billing (give -m 1 before the measures)\n"
         "  -i MINUTES    billing interval: 1 or a multiple of 5 up to 60\n"
         "  -v BASEPATH   the log path that parser was given with -l\n"
         "  -d DATATYPES  the column data types file that parser was given\n"
         "  -l RUNLOG     run log to append to (parser's LOG.out)\n"
         "  -b1, -b2, -b3 COL:OP  billing measures: a used column of DATATYPES and\n"
         "                OP 10 minimum, 11 maximum, 12 average, 13 sum\n"
         "Options start with - or / and are chosen by their second character; in the\n"
         "values of -v, -d and -l every '+' stands for a blank.\n"
         "\n"
         "Exit status (on Linux the low 8 bits of it: -9 reads as 247):\n"
         "    0  success\n"
         "   -1  out of memory\n"
         "   -2  the sort file cannot be created\n"
         "   -4  the data file cannot be opened\n"
         "   -5  the column description file cannot be opened\n"
         "   -6  the column data types file cannot be opened\n"
         "   -7  a column of the description file is not a used column of DATATYPES\n"
         "   -9  invalid mode or interval, or an option without its value\n"
         "  -10  malformed measure, or a measure column that is not a used column\n"
         "  -11  the column layout is past its limits\n";
}
