#ifndef PARSER_ROW_BUILDER_H_
#define PARSER_ROW_BUILDER_H_

#include <limits>
#include <string_view>
#include <vector>

#include "parser/column_table.h"
#include "parser/header_layout.h"
#include "parser/line_converter.h"
#include "parser/normalise.h"
#include "parser/parser_types.h"
#include "parser/row.h"

class FieldSource;
class IdentifierTables;
class RunLog;

/// Largest value of "zx-groupid"; the next one after it is 0.
constexpr int kMaxGroupId = 30000;

/// True when values of `column` are enclosed in single quotes in the data
/// file: text columns, unless the database is Oracle or SQL Server.
bool needsQuotes(const ColumnDef& column, DbKind db);

/// True when an exclude rule of `column` has a value that occurs in `value`
/// (case-sensitive; an empty rule value occurs in every value).
bool isExcluded(const ColumnDef& column, std::string_view value);

/// Turns data lines into rows of the data file: splits the fields, applies
/// the exclude rules, normalises the values, writes them with quoting and
/// placeholders by column type, and appends the derived columns.
///
/// Fields after the layout's are only counted, or, where the layout ignores
/// trailing fields, not read at all.
///
/// Fields whose treatment is FieldTreatment::kNone are written as split from
/// the line, without a copy or a call of the normaliser; every other field
/// read (output flag 1 or 2) is copied and normalised in place.
///
/// Every written value occupies exactly one column: values are separated by
/// one comma, commas inside a value become blanks, and so do single quotes
/// inside a quoted value, because the data file has no escaping.
class RowBuilder : public LineConverter {
 public:
  RowBuilder(ColumnTable& table, const HeaderLayout& layout,
             const IdentifierTables& ids, DbKind db, DataSet dataSet,
             const RunLog& runLog);

  LineResult convertLine(std::string_view line, RunCounters& counters) override;
  int countFields(std::string_view line) const override;
  std::string_view row() const override { return row_.view(); }
  void finishRow() override;

  /// Sets and appends the values of the derived columns to the row.
  void appendDerivedColumns();

  /// Takes the values of every line from `source` (a format definition or
  /// JSON lines, -f) instead of splitting the line at blanks; the source
  /// gives one value per header position.
  void setFieldSource(FieldSource* source);

 private:
  /// What is resolved once per header position.
  struct Position {
    int column = -1;
    FieldTreatment treatment = FieldTreatment::kNone;
    bool quoted = false;
    bool isCategories = false;
    // The column's output flag, type and exclude rules, read once rather
    // than from the table for every line.
    int outputFlag = 0;
    bool isText = false;
    bool hasRules = false;
  };

  /// A derived column the table has, in row order.
  struct Derived {
    int slot = 0;
    int column = -1;
    bool quoted = false;
    // Set for every row (reference count, group and abort code), written
    // to the row (output flag 1), a text column: read once.
    bool computed = false;
    bool written = false;
    bool isText = false;
  };

  /// Writes `value` of `column` as the next value of the row; commas (and
  /// quotes in a quoted value) become blanks unless `mayNeedBlanks` is
  /// false because the value cannot hold them.
  void writeValue(int column, std::string_view value, bool quoted,
                  bool mayNeedBlanks);
  /// The value of the derived column in `slot` set for this row.
  void setDerivedValue(int slot, ColumnDef& column);
  /// Converts the value of header position `index` (exclusion, treatment,
  /// categories) and writes it to the row.
  void convertField(int index, std::string_view value, bool mayNeedBlanks,
                    RunCounters& counters, LineResult& result);
  /// Reports a field too long (or malformed) to convert; its column keeps
  /// an empty value so later values stay in their columns.
  void fieldError(int index, RunCounters& counters);
  /// convertLine for lines read through the field source.
  LineResult convertFromSource(std::string_view line, RunCounters& counters);

  ColumnTable& table_;
  const HeaderLayout& layout_;
  const IdentifierTables& ids_;
  DataSet dataSet_;
  const RunLog& runLog_;
  FieldNormaliser normaliser_;
  std::vector<Position> positions_;
  std::vector<Derived> derived_;
  FieldBuffer field_;
  SplitRules splitRules_;
  // Fields split at most: the layout's when it ignores trailing fields.
  int fieldLimit_ = std::numeric_limits<int>::max();
  bool ignoresTrailing_ = false;
  Row row_;
  bool rowHasValue_ = false;
  bool quotesValues_ = false;
  int groupCounter_ = 0;
  FieldSource* source_ = nullptr;
  // Written by countFields() too, which reads a line ahead.
  mutable std::vector<std::string_view> sourceValues_;
};

#endif  // PARSER_ROW_BUILDER_H_
