#ifndef ZXLOAD_LOAD_OPTIONS_H_
#define ZXLOAD_LOAD_OPTIONS_H_

#include <string>
#include <vector>

/// How the run that wrote the files quoted text values.
enum class DbKind { kNone, kSybase, kOracle, kMsSql };

/// Everything the command line says.
struct LoadOptions {
  DbKind kind = DbKind::kNone;  ///< database kind the files were written for
  bool kindGiven = false;       ///< -k was given
  std::string dataTypesPath;    ///< column data types file
  std::string sqlitePath;       ///< SQLite database file, or empty
  std::string postgresConninfo; ///< libpq connection string, or empty
  bool postgres = false;        ///< -p was given
  std::string appliance;        ///< table name suffix, when given
  bool applianceGiven = false;  ///< -a was given
  std::string source;           ///< --source: recorded as every file's source
  bool keep = false;            ///< --keep: earlier loads of a source stay
  bool rollbackJournal = false; ///< --rollback-journal: SQLite pages written once
  bool list = false;            ///< --list: show the loads instead of loading
  bool help = false;            ///< -h, --help
  double waitSeconds = -1;      ///< --wait; below 0: the database's default
  std::vector<std::string> files;  ///< the files to load, in order
};

/// Reads the command line into `options`; on failure returns false and
/// leaves the reason in `error`.
bool readLoadOptions(int argc, char** argv, LoadOptions* options,
                     std::string* error);

/// The short usage text (after a command-line error).
const char* loadUsage();

/// The usage with every option and exit status (-h, --help).
const char* loadHelp();

/// True when text values of `kind` are enclosed in single quotes.
bool quotesText(DbKind kind);

#endif  // ZXLOAD_LOAD_OPTIONS_H_
