#ifndef PARSER_NORMALISE_H_
#define PARSER_NORMALISE_H_

#include <cstdint>
#include <string_view>

#include "parser/column_table.h"
#include "parser/fixed_text.h"
#include "parser/header_layout.h"
#include "parser/parser_types.h"
#include "parser/row.h"

class IdentifierTables;
class RunLog;

/// Longest field value of a log line.
constexpr std::size_t kMaxFieldLength = 8191;

/// One field's value while it is normalised in place.
using FieldBuffer = FixedText<kMaxFieldLength>;

/// How a field is normalised; chosen once per header position from the
/// log field name of its column.
enum class FieldTreatment : int {
  kNone,
  kUrl,
  kRequestLineUrl,
  kUriStem,
  kEpochTime,
  kClfTime,
  kTransaction,
  kAction,
  kDate,
  kTime,
  kUserAgent,
  kElapsedMilliseconds,
  kReferer,
  kContentType,
  kCategories,
  kHierarchyCode,
};

/// The treatment of a field whose column has this log name (exact,
/// case-sensitive comparison).
FieldTreatment treatmentFor(std::string_view logName);

/// Brings field values into the form the reports use and fills the derived
/// columns that depend on them. Derived columns are resolved once, at
/// construction.
class FieldNormaliser {
 public:
  FieldNormaliser(ColumnTable& table, const IdentifierTables& ids, DbKind db,
                  const RunLog& runLog);

  /// Normalises `value` of column `column` in place. `row` is the row under
  /// construction (for the date and time merge); `writtenLines` is quoted
  /// in messages.
  void normaliseField(FieldBuffer& value, int column, FieldTreatment treatment,
                      Row& row, std::int64_t writtenLines);

  /// Sets the calendar columns from the first written "timestampid" value of
  /// the current line.
  void fillDateParts(const HeaderLayout& layout);

 private:
  ColumnTable& table_;
  const IdentifierTables& ids_;
  DbKind db_;
  const RunLog& runLog_;
};

#endif  // PARSER_NORMALISE_H_
