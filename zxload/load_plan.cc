#include "zxload/load_plan.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>

#include "zxload/table_name.h"

namespace {

/// The files that describe a data file, by the data file's name.
struct Companions {
  std::string dataSet;      ///< raw, smartfilter, streaming or billing
  std::string tablePrefix;  ///< "raw_", "smart_", "str_" or "bill_"
  std::string description;  ///< column description file
  std::string control;      ///< loader control file that may name the table
  bool billing = false;     ///< a billing sort file
};

/// True when `text` ends with `suffix`.
bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() > suffix.size() &&
         text.substr(text.size() - suffix.size()) == suffix;
}

/// The companion files of `file`, or false when its name is none of the
/// load file names.
bool findCompanions(const std::string& file, Companions* out) {
  struct Suffix {
    std::string_view data, dataSet, prefix, description, control;
    bool billing;
  };
  static constexpr std::array<Suffix, 5> kSuffixes = {{
      {".sf.csv", "smartfilter", "smart_", ".sf.zx3", ".sf.ctl", false},
      {".st.csv", "streaming", "str_", ".st.zx3", ".st.ctl", false},
      {".csv", "raw", "raw_", ".zx3", ".ctl", false},
      {".srt", "raw", "raw_", ".zx3", ".ctl", false},
      {".bsrt", "billing", "bill_", ".b.zx3", ".b.ctl", true},
  }};
  for (const Suffix& s : kSuffixes) {
    if (!endsWith(file, s.data)) continue;
    std::string base = file.substr(0, file.size() - s.data.size());
    *out = {std::string(s.dataSet), std::string(s.prefix), base + std::string(s.description),
            base + std::string(s.control), s.billing};
    return true;
  }
  return false;
}

/// Reads a whole small file; false when it cannot be opened.
bool readSmallFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *text = content.str();
  return true;
}

/// The comma-separated names of a column description line.
std::vector<std::string> splitNames(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  std::vector<std::string> names;
  if (line.empty()) return names;
  for (;;) {
    std::size_t comma = line.find(',');
    names.emplace_back(line.substr(0, comma));
    if (comma == std::string_view::npos) return names;
    line.remove_prefix(comma + 1);
  }
}

/// The table the loader control file `path` names, as `rules` hold it;
/// `name->table` stays empty when there is no such file or clause (a bcp
/// format file names none). False with the reason, naming the file.
bool tableOfControlFile(const std::string& path, NameRules rules, TableName* name,
                        std::string* error) {
  std::string text;
  if (!readSmallFile(path, &text)) return true;
  TableName given;
  IntoTable found = findIntoTable(text, &given, error);
  if (found == IntoTable::kNone) return true;
  if (found == IntoTable::kFound && heldName(given, rules, name, error)) return true;
  *error = path + (found == IntoTable::kFound ? ": INTO TABLE: " : ": ") + *error;
  return false;
}

/// Storage type of a column of SQL type name `typeName`.
ColumnType typeOf(std::string_view dbName, std::string_view typeName) {
  if (dbName == "timestampid") return ColumnType::kTimestamp;
  if (typeName == "SQLINTEGER") return ColumnType::kInteger;
  if (typeName == "SQLFLOAT" || typeName == "SQLDOUBLE") return ColumnType::kReal;
  return ColumnType::kText;
}

/// The type names of the used columns (flag 1) of the data types file, by
/// database column name; the first line of a name decides.
bool readUsedTypes(const std::string& path, std::map<std::string, std::string>* types,
                   std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open the column data types file " + path;
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string logName, typeName, dbName;
    int flag = 0;
    if (!(fields >> logName >> typeName >> flag >> dbName) || flag != 1) continue;
    types->emplace(dbName, typeName);
  }
  return true;
}

/// Columns of a billing sort file with their fixed types.
bool billingColumns(const Companions& files, std::vector<PlanColumn>* columns,
                    std::string* error) {
  static constexpr std::array<std::string_view, 10> kNames = {
      "timestampid", "groupid", "userip", "username", "url",
      "method", "logformat", "billmeasure1", "billmeasure2", "billmeasure3"};
  std::string text;
  if (readSmallFile(files.description, &text) &&
      splitNames(text) != std::vector<std::string>(kNames.begin(), kNames.end())) {
    *error = files.description + " does not list the ten billing columns";
    return false;
  }
  for (std::string_view name : kNames) {
    ColumnType type = ColumnType::kText;
    if (name == "timestampid") type = ColumnType::kTimestamp;
    else if (name == "groupid" || name == "logformat") type = ColumnType::kInteger;
    else if (name.substr(0, 11) == "billmeasure") type = ColumnType::kReal;
    columns->push_back({std::string(name), type});
  }
  return true;
}

/// Columns of a data or hourly sort file from its column description.
bool describedColumns(const Companions& files, const std::string& dataTypesPath,
                      std::vector<PlanColumn>* columns, std::string* error) {
  std::string text;
  if (!readSmallFile(files.description, &text)) {
    *error = "cannot open the column description file " + files.description;
    return false;
  }
  std::map<std::string, std::string> types;
  if (!readUsedTypes(dataTypesPath, &types, error)) return false;
  for (const std::string& name : splitNames(text)) {
    auto found = types.find(name);
    if (found == types.end()) {
      *error = "column '" + name + "' of " + files.description +
               " is not a used column of " + dataTypesPath;
      return false;
    }
    for (const PlanColumn& earlier : *columns) {
      if (earlier.name == name) {
        *error = "column '" + name + "' stands twice in " + files.description;
        return false;
      }
    }
    columns->push_back({name, typeOf(name, found->second)});
  }
  if (columns->empty()) {
    *error = files.description + " names no column";
    return false;
  }
  return true;
}

}  // namespace

bool makeLoadPlan(const std::string& file, const LoadOptions& options,
                  LoadPlan* plan, std::string* error) {
  Companions files;
  if (!findCompanions(file, &files)) {
    *error = file + ": not a data file (.csv, .sf.csv, .st.csv) or sort file (.srt, .bsrt)";
    return false;
  }
  bool ok = files.billing ? billingColumns(files, &plan->columns, error)
                          : describedColumns(files, options.dataTypesPath, &plan->columns, error);
  if (!ok) return false;
  NameRules rules = options.postgres ? NameRules::kPostgres : NameRules::kSqlite;
  TableName name;
  if (options.applianceGiven) {
    // The appliance is taken as written, like a quoted name.
    TableName given{"", files.tablePrefix + options.appliance, false, true};
    if (!heldName(given, rules, &name, error)) {
      *error = "-a " + options.appliance + ": " + *error;
      return false;
    }
  } else {
    if (!tableOfControlFile(files.control, rules, &name, error)) return false;
    if (name.table.empty()) name.table = files.tablePrefix;
  }
  plan->schema = name.schema;
  plan->table = name.table;
  plan->dataSet = files.dataSet;
  plan->quotedText = quotesText(options.kind);
  return true;
}
