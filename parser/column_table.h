#ifndef PARSER_COLUMN_TABLE_H_
#define PARSER_COLUMN_TABLE_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "parser/fixed_text.h"

class RunLog;

/// Most report columns a run knows, and most fields of a log format.
constexpr int kMaxColumns = 512;
/// Longest log field name and database column name.
constexpr std::size_t kMaxNameLength = 47;
/// Longest rules text.
constexpr std::size_t kMaxRulesLength = 255;
/// Longest column value.
constexpr std::size_t kMaxValueLength = 255;
/// Rules kept per column; later keywords and their values are dropped.
constexpr int kMaxRules = 5;
/// Values kept per rule; later values are dropped.
constexpr int kMaxRuleValues = 10;
/// Longest rule value; longer values are cut.
constexpr std::size_t kMaxRuleValueLength = 23;

/// SQL type codes; only numeric versus text matters to the parser.
enum SqlType : int {
  kSqlInteger = 0,
  kSqlFloat = 2,
  kSqlDouble = 3,
  kSqlText = 4,
};

/// Kinds of field rule; kRuleNone for an unknown keyword.
enum RuleKind : int {
  kRuleNone = -1,
  kRuleReplace = 0,
  kRuleESearch = 1,
  kRuleExclude = 2,
  kRuleSite = 3,
  kRuleHost = 4,
};

/// One rule of a column: its kind and its values in text order.
struct FieldRule {
  int kind = kRuleNone;
  std::array<FixedText<kMaxRuleValueLength>, kMaxRuleValues> values;
  int valueCount = 0;
};

/// One report column: a line of the column data types file plus the value
/// it holds while a log line is converted.
struct ColumnDef {
  /// An empty column. Written out so that `ColumnDef()` sets the members
  /// below without first zeroing the whole two-kilobyte entry.
  ColumnDef() {}

  FixedText<kMaxNameLength> logName;
  int sqlType = kSqlText;
  int outputFlag = 0;
  FixedText<kMaxNameLength> dbName;
  FixedText<kMaxRulesLength> rulesText;
  FixedText<kMaxValueLength> value;
  std::array<FieldRule, kMaxRules> rules;
  int ruleCount = 0;

  /// True for a text column (sqlType 4).
  bool isText() const { return sqlType == kSqlText; }
};

/// The SQL type code of a type name: SQLINTEGER 0, SQLFLOAT 2,
/// SQLDOUBLE 3, anything else 4 (exact comparison).
int sqlTypeFromName(std::string_view typeName);

/// Compares two names as if 'A'..'Z' were lower case, other bytes by their
/// unsigned value; negative, 0 or positive.
int compareIgnoringCase(std::string_view a, std::string_view b);

/// Parses `column.rulesText` into `column.rules` (keywords end with '=',
/// values with ':' or ';', a '"', line feed or end of text ends the rules).
void parseRules(ColumnDef& column);

/// The report columns of a run, sorted by log field name. One block,
/// allocated once per run.
class ColumnTable {
 public:
  /// Empties every entry.
  void clear();

  /// Loads the column data types file at `path`, sorts the entries and logs
  /// the count at level 3. Returns 0, or -7 when the file cannot be opened
  /// (nothing logged then). Lines are read 1,023 characters at a time;
  /// fields past their limits are cut; of several columns with names equal
  /// ignoring case, findColumn finds the one first in the file.
  int loadColumnTypes(const std::string& path, const RunLog& log);

  /// Index of the column whose log name equals `name` ignoring case, or -1.
  int findColumn(std::string_view name) const;

  /// Number of columns loaded.
  int count() const { return count_; }
  /// Column lines past the 512th that the last load ignored (they are
  /// reported at level 5; the run goes on with the first 512).
  long ignoredLines() const { return ignoredLines_; }
  /// The column at `index` (0 <= index < count()).
  ColumnDef& at(int index) { return entries_[index]; }
  const ColumnDef& at(int index) const { return entries_[index]; }

 private:
  /// Orders the entries by log name, ignoring case; equal names keep their
  /// order in the file.
  void sortByLogName();

  std::array<ColumnDef, kMaxColumns> entries_;
  int count_ = 0;
  long ignoredLines_ = 0;
};

#endif  // PARSER_COLUMN_TABLE_H_
