#include "zxreport/report_options.h"

#include <charconv>
#include <string_view>

#include "summary/civil_time.h"

namespace {

/// Options that take a value, long and short forms.
struct OptionName {
  const char* longName;
  char letter;  ///< 0 when there is no short form
};

constexpr OptionName kOptions[] = {
    {"--sqlite", 's'},   {"--postgres", 'p'},   {"--appliance", 'a'}, {"--raw", 0},
    {"--billing", 0},    {"--streaming", 0},    {"--smartfilter", 0}, {"--from", 0},
    {"--to", 0},         {"--top", 0},          {"--output", 'o'},    {"--json", 0},
    {"--csv", 0},        {"--title", 0},        {"--ids", 0},         {"--measures", 0},
};

/// The long name of option `arg`, or nullptr when it is no option.
const char* longNameOf(std::string_view arg) {
  for (const OptionName& option : kOptions) {
    if (arg == option.longName) return option.longName;
    if (option.letter != 0 && arg.size() == 2 && arg[0] == '-' && arg[1] == option.letter) {
      return option.longName;
    }
  }
  return nullptr;
}

/// Reads a whole decimal number from `text`.
bool wholeNumber(std::string_view text, int* value) {
  auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

/// Stores the value of option `name`.
bool applyOption(std::string_view name, const std::string& value, ReportOptions* options,
                 std::string* error) {
  TimeArgument time;
  if (name == "--sqlite") options->sqlitePath = value;
  else if (name == "--postgres") options->postgresConninfo = value, options->postgres = true;
  else if (name == "--appliance") options->appliances.push_back(value);
  else if (name == "--raw") options->rawTables.push_back(value);
  else if (name == "--billing") options->billTables.push_back(value);
  else if (name == "--streaming") options->streamTables.push_back(value);
  else if (name == "--smartfilter") options->smartTables.push_back(value);
  else if (name == "--from" || name == "--to") {
    if (!parseTimeArgument(value, &time)) {
      *error = "bad time '" + value + "' for " + std::string(name) +
               " (YYYY-MM-DD, optionally followed by HH, HH:MM or HH:MM:SS)";
      return false;
    }
    if (name == "--from") options->from = time.start, options->fromText = value;
    else options->to = time.end, options->toText = value;
  } else if (name == "--top") {
    if (!wholeNumber(value, &options->top) || options->top < 1 || options->top > 1000) {
      *error = "--top takes a number from 1 to 1000, not '" + value + "'";
      return false;
    }
  } else if (name == "--output") options->htmlPath = value;
  else if (name == "--json") options->jsonPath = value;
  else if (name == "--csv") options->csvDir = value;
  else if (name == "--title") options->title = value;
  else if (name == "--ids") options->identifiersPath = value;
  else if (!parseMeasures(value, options->measures)) {
    *error = "--measures takes COLUMN:OP,COLUMN:OP,COLUMN:OP with OP 10 to 13, not '" + value + "'";
    return false;
  } else {
    options->measuresGiven = true;
  }
  return true;
}

/// Checks the options as a whole.
bool checkComplete(const ReportOptions& options, std::string* error) {
  if (options.sqlitePath.empty() && !options.postgres) *error = "give -s SQLITE_FILE or -p CONNINFO";
  else if (!options.sqlitePath.empty() && options.postgres) *error = "give -s or -p, not both";
  else if (!options.from.empty() && !options.to.empty() && options.from >= options.to) {
    *error = "empty range: --from " + options.fromText + " is not before the end of --to " +
             options.toText;
  } else if (options.htmlPath.empty()) *error = "-o needs a file name";
  else return true;
  return false;
}

}  // namespace

bool parseMeasures(const std::string& text, MeasureSpec measures[3]) {
  std::string_view rest = text;
  MeasureSpec parsed[3];
  for (int k = 0; k < 3; ++k) {
    std::size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    std::size_t colon = item.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    if (!wholeNumber(item.substr(colon + 1), &parsed[k].operation) ||
        parsed[k].operation < 10 || parsed[k].operation > 13) {
      return false;
    }
    parsed[k].column = std::string(item.substr(0, colon));
    if ((comma == std::string_view::npos) != (k == 2)) return false;
    if (comma != std::string_view::npos) rest = rest.substr(comma + 1);
  }
  for (int k = 0; k < 3; ++k) measures[k] = parsed[k];
  return true;
}

bool readReportOptions(int argc, char** argv, ReportOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options->help = true;
      return true;
    }
    const char* name = longNameOf(arg);
    if (name == nullptr) {
      *error = arg.empty() || arg[0] != '-' ? "unexpected argument '" + std::string(arg) + "'"
                                            : "unknown option " + std::string(arg);
      return false;
    }
    if (i + 1 == argc) {
      *error = "option " + std::string(arg) + " needs a value";
      return false;
    }
    if (!applyOption(name, argv[++i], options, error)) return false;
  }
  return checkComplete(*options, error);
}

const char* reportUsage() {
  return "usage: zxreport (-s SQLITE_FILE | -p CONNINFO) [-a APPLIANCE]...\n"
         "                [--raw TABLE]... [--billing TABLE]... [--streaming TABLE]...\n"
         "                [--smartfilter TABLE]... [--from TIME] [--to TIME] [--top N]\n"
         "                [-o FILE.html] [--json FILE] [--csv DIR] [--title TEXT]\n"
         "                [--ids IDENTIFIER_FILE] [--measures COL:OP,COL:OP,COL:OP]\n"
         "Writes a self-contained HTML report (default report.html) of the tables that\n"
         "zxload filled, and the same figures as JSON and CSV when asked.\n"
         "  -s, --sqlite FILE      SQLite database (opened read-only)\n"
         "  -p, --postgres CONN    PostgreSQL connection string, as psql takes it\n"
         "  -a, --appliance NAME   tables raw_NAME, bill_NAME, str_NAME, smart_NAME\n"
         "                         (default: every appliance the database has)\n"
         "  --raw, --billing, --streaming, --smartfilter TABLE\n"
         "                         name tables directly instead\n"
         "  --from TIME, --to TIME YYYY-MM-DD[ HH[:MM[:SS]]]; both ends included, to the\n"
         "                         precision given (--to 2026-12-07 includes that day)\n"
         "  --top N                rows of each ranking, 1 to 1000 (default 10)\n"
         "  -o, --output FILE      the HTML page\n"
         "  --json FILE            every figure as JSON\n"
         "  --csv DIR              every table as DIR/TABLE.csv\n"
         "  --title TEXT           heading of the page\n"
         "  --ids FILE             identifier file (datatypes.dat.id) naming transaction codes\n"
         "  --measures LIST        the billing measures as zxsort was given them,\n"
         "                         e.g. bytecount:13,bytecount:12,refcount:13\n"
         "  -h, --help             this text\n"
         "      --version          the program's name, package and version\n"
         "Exit status: 0 written; 1 unusable command line (also a bad time or an\n"
         "empty range); 2 the database has none of the tables; 3 the database cannot\n"
         "be opened, a query failed or a summary is damaged; 4 an output file cannot\n"
         "be written; 5 written, but no row lies in the range (the page says so).\n";
}
