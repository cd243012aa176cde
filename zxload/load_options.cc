#include "zxload/load_options.h"

#include <cstdlib>
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

/// A command-line option.
struct OptionSpec {
  std::string_view longName;
  char letter;      ///< the short form's letter, or the option's own code
  bool shortForm;   ///< also written "-" + letter
  bool takesValue;
};

constexpr OptionSpec kOptions[] = {
    {"--kind", 'k', true, true},       {"--datatypes", 'd', true, true},
    {"--sqlite", 's', true, true},     {"--postgres", 'p', true, true},
    {"--appliance", 'a', true, true},  {"--help", 'h', true, false},
    {"--source", 'S', false, true},    {"--wait", 'W', false, true},
    {"--keep", 'K', false, false},     {"--list", 'L', false, false},
    {"--rollback-journal", 'R', false, false},
};

/// The option written `arg`, or null when it is none.
const OptionSpec* findOption(std::string_view arg) {
  for (const OptionSpec& option : kOptions) {
    if (arg == option.longName ||
        (option.shortForm && arg.size() == 2 && arg[0] == '-' && arg[1] == option.letter)) {
      return &option;
    }
  }
  return nullptr;
}

/// Reads the seconds of --wait: a number from 0 up.
bool readSeconds(const std::string& value, double* seconds) {
  char* end = nullptr;
  double number = std::strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || !(number >= 0) || number > 1e9) return false;
  *seconds = number;
  return true;
}

/// Stores option `letter`, with its value when it takes one.
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
    case 'a':
      options->appliance = value;
      options->applianceGiven = true;
      return true;
    case 'S':
      if (value.empty()) {
        *error = "--source needs a path";
        return false;
      }
      options->source = value;
      return true;
    case 'W':
      if (!readSeconds(value, &options->waitSeconds)) {
        *error = "--wait needs a number of seconds from 0 up, not '" + value + "'";
        return false;
      }
      return true;
    case 'K': options->keep = true; return true;
    case 'L': options->list = true; return true;
    case 'R': options->rollbackJournal = true; return true;
    default: options->help = true; return true;
  }
}

/// Checks that the options that must be there are there.
bool checkComplete(const LoadOptions& options, std::string* error) {
  bool database = !options.sqlitePath.empty() || options.postgres;
  if (options.help) return true;
  if (!options.sqlitePath.empty() && options.postgres) *error = "give -s or -p, not both";
  else if (options.list && !database) *error = "give -s SQLITE_FILE or -p CONNINFO";
  else if (options.list && !options.files.empty()) *error = "--list takes no FILE";
  else if (options.list) return true;
  else if (!options.kindGiven) *error = "-k KIND is missing";
  else if (options.dataTypesPath.empty()) *error = "-d DATATYPES is missing";
  else if (!database) *error = "give -s SQLITE_FILE or -p CONNINFO";
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
  // Help wins over whatever else the command line holds.
  for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
    std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options->help = true;
      return true;
    }
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
    const OptionSpec* option = findOption(arg);
    if (option == nullptr) {
      *error = "unknown option " + std::string(arg);
      return false;
    }
    if (option->takesValue && i + 1 == argc) {
      *error = "option " + std::string(arg) + " needs a value";
      return false;
    }
    std::string value = option->takesValue ? argv[++i] : "";
    if (!applyOption(option->letter, value, options, error)) return false;
  }
  return checkComplete(*options, error);
}

const char* loadUsage() {
  return "usage: zxload -k sybase|oracle|mssql|none -d DATATYPES (-s SQLITE_FILE | -p CONNINFO)\n"
         "              [-a APPLIANCE] [--source PATH] [--keep] [--wait SECONDS]\n"
         "              [--rollback-journal] FILE...\n"
         "       zxload (-s SQLITE_FILE | -p CONNINFO) --list\n"
         "       zxload -h | --help\n";
}

const char* loadHelp() {
  return "usage: zxload -k sybase|oracle|mssql|none -d DATATYPES (-s SQLITE_FILE | -p CONNINFO)\n"
         "              [-a APPLIANCE] [--source PATH] [--keep] [--wait SECONDS]\n"
         "              [--rollback-journal] FILE...\n"
         "       zxload (-s SQLITE_FILE | -p CONNINFO) --list\n"
         "\n"
         "Loads data files (.csv, .sf.csv, .st.csv), hourly sort files (.srt) and billing\n"
         "sort files (.bsrt) into SQLite or PostgreSQL, each in one transaction, and\n"
         "records every load in the table zxload_files. A file whose source and data set\n"
         "(raw: .csv and .srt; smartfilter; streaming; billing) were loaded before with\n"
         "other content replaces that earlier load's rows in the same transaction.\n"
         "\n"
         "  -k, --kind KIND        how the files quote text: sybase, oracle, mssql, none\n"
         "  -d, --datatypes FILE   the column data types file\n"
         "  -s, --sqlite FILE      the SQLite database (created when missing)\n"
         "  -p, --postgres CONNINFO  a PostgreSQL connection string\n"
         "  -a, --appliance NAME   table raw_NAME, smart_NAME, str_NAME or bill_NAME\n"
         "                         (else the loader control file's INTO TABLE)\n"
         "      --source PATH      record PATH as the source of every FILE (default:\n"
         "                         the file's absolute path)\n"
         "      --keep             keep earlier loads of the same source and data set\n"
         "                         beside the new one instead of replacing them\n"
         "      --wait SECONDS     how long to wait for another load that holds the\n"
         "                         database (default: 60 for SQLite, no limit for\n"
         "                         PostgreSQL)\n"
         "      --rollback-journal SQLite: write through a rollback journal instead of\n"
         "                         the write-ahead log when no other connection has\n"
         "                         the database open, so that each page is written\n"
         "                         once; readers wait while such a load writes; the\n"
         "                         log is switched on again after the commit\n"
         "      --list             list the loads recorded, one a line, tab-separated:\n"
         "                         id, loaded at (UTC), table, data set, rows, bytes,\n"
         "                         checksum, source, file\n"
         "  -h, --help             this text\n"
         "      --version          the program's name, package and version\n"
         "\n"
         "Exit status:\n"
         "  0  every file loaded or already loaded (or the list or this text printed)\n"
         "  1  unusable command line\n"
         "  2  a file, the file beside it or the data types file cannot be read or does\n"
         "     not fit (also a table name the database cannot hold as written)\n"
         "  3  a malformed line or a value the column cannot hold (FILE:LINE: ...)\n"
         "  4  the database cannot be opened, a statement failed, or waiting gave up\n"
         "  5  the file would replace a load by an older zxload whose rows carry no load\n"
         "     id; nothing loaded (see --keep)\n";
}

bool quotesText(DbKind kind) {
  return kind == DbKind::kNone || kind == DbKind::kSybase;
}
