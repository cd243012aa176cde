#include "zxload/load_options.h"

#include <string_view>

namespace {

/// The kind named `name`, or false for an unknown name.
bool kindFromName(std::string_view name, DbKind* kind) {
  if (name == "sybase") *kind = DbKind::kSybase;
  else if (name == "oracle") *kind = DbKind::kOracle;
  else if (name == "mssql") *kind = DbKind::kMsSql;
  else if (name == "none") *kind = DbKind::kNone;
  else return false;
  return true;
}

/// The short letter of a long option, or 0.
char letterOfLongOption(std::string_view name) {
  if (name == "--kind") return 'k';
  if (name == "--datatypes") return 'd';
  if (name == "--sqlite") return 's';
  if (name == "--postgres") return 'p';
  if (name == "--appliance") return 'a';
  return 0;
}

/// The option letter of `arg`, or 0 when it is not a known option.
char optionLetter(std::string_view arg) {
  if (arg.size() > 2 && arg.substr(0, 2) == "--") return letterOfLongOption(arg);
  if (arg.size() == 2 && arg[0] == '-') {
    switch (arg[1]) {
      case 'k': case 'd': case 's': case 'p': case 'a': return arg[1];
      default: return 0;
    }
  }
  return 0;
}

/// Stores the value of option `letter`.
bool applyOption(char letter, const std::string& value, LoadOptions* options,
                 std::string* error) {
  switch (letter) {
    case 'k':
      if (!kindFromName(value, &options->kind)) {
        *error = "unknown database kind '" + value + "' (sybase, oracle, mssql or none)";
        return false;
      }
      options->kindGiven = true;
      return true;
    case 'd': options->dataTypesPath = value; return true;
    case 's': options->sqlitePath = value; return true;
    case 'p':
      options->postgresConninfo = value;
      options->postgres = true;
      return true;
    default:
      options->appliance = value;
      options->applianceGiven = true;
      return true;
  }
}

/// Checks that the options that must be there are there.
bool checkComplete(const LoadOptions& options, std::string* error) {
  if (!options.kindGiven) *error = "-k KIND is missing";
  else if (options.dataTypesPath.empty()) *error = "-d DATATYPES is missing";
  else if (options.sqlitePath.empty() && !options.postgres) *error = "give -s SQLITE_FILE or -p CONNINFO";
  else if (!options.sqlitePath.empty() && options.postgres) *error = "give -s or -p, not both";
  else if (options.files.empty()) *error = "no FILE to load";
  else return true;
  return false;
}

}  // namespace

bool readLoadOptions(int argc, char** argv, LoadOptions* options,
                     std::string* error) {
  if (argc < 2) {
    *error = "no arguments";
    return false;
  }
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      options->files.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyFiles = true;
      continue;
    }
    char letter = optionLetter(arg);
    if (letter == 0) {
      *error = "unknown option " + std::string(arg);
      return false;
    }
    if (i + 1 == argc) {
      *error = "option " + std::string(arg) + " needs a value";
      return false;
    }
    if (!applyOption(letter, argv[++i], options, error)) return false;
  }
  return checkComplete(*options, error);
}

const char* loadUsage() {
  return "usage: zxload -k sybase|oracle|mssql|none -d DATATYPES\n"
         "              (-s SQLITE_FILE | -p CONNINFO) [-a APPLIANCE] FILE...\n"
         "FILE is a data file (.csv, .sf.csv, .st.csv), an hourly sort file (.srt)\n"
         "or a billing sort file (.bsrt); each is loaded in one transaction.\n";
}

bool quotesText(DbKind kind) {
  return kind == DbKind::kNone || kind == DbKind::kSybase;
}
