#ifndef PARSER_NORMALISE_H_
#define PARSER_NORMALISE_H_

#include <cstdint>
#include <string_view>

#include "parser/column_table.h"
#include "parser/dates.h"
#include "parser/fixed_text.h"
#include "parser/header_layout.h"
#include "parser/parser_types.h"
#include "parser/row.h"
#include "parser/user_agent.h"

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

/// Replaces a positive number of milliseconds by the seconds in "%lf" form
/// (1500 gives 1.500000); other values stay as they are.
void millisecondsToSeconds(FieldBuffer& value);

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
  /// the current line. A value without year, month, day and hour, or with
  /// the zero date of an unconvertible time, leaves them unchanged.
  void fillDateParts(const HeaderLayout& layout);

 private:
  /// URL treatment: strip, commas to blanks, request line (when asked),
  /// site, hosted site and file type, truncation to the URL limit.
  void normaliseUrl(FieldBuffer& value, bool isRequestLine,
                    std::int64_t writtenLines);
  /// Seconds since 1970 to the local date-time text.
  void epochToText(FieldBuffer& value, int column);
  /// A common-log-format time with its zone to the local date-time text.
  void clfToText(FieldBuffer& value, int column);
  /// A date field: completes a time written earlier in the row, or waits
  /// for its time with the placeholder time.
  void mergeDate(FieldBuffer& value, int column, Row& row);
  /// A time field: completes (and converts from UTC) a date written earlier
  /// in the row, or waits for its date with the placeholder date.
  void mergeTime(FieldBuffer& value, int column, Row& row);
  /// Sets a field and its column's copy to the local time of `instant`, or
  /// to the placeholder when it cannot be converted.
  void setLocalDateTime(FieldBuffer& value, int column, std::int64_t instant);
  /// Sets a field and its column's copy to `text`.
  void setDateValue(FieldBuffer& value, int column, std::string_view text);
  /// Sets the value of a derived column that exists (cut at 255).
  void setDerived(int column, std::string_view text);
  /// Sets the value of a derived column that exists to `number` in decimal.
  void setDerivedNumber(int column, long long number);
  /// Replaces `value` by `number` in decimal.
  static void setNumber(FieldBuffer& value, long long number);
  /// Sets the calendar columns from a time stamp text.
  void setCalendarColumns(std::string_view stamp);

  /// The report columns whose values are read and set.
  ColumnTable& table_;
  /// Identifiers of actions and transaction codes.
  const IdentifierTables& ids_;
  /// The database the data file is written for.
  DbKind db_;
  /// Where the truncation of a URL is reported.
  const RunLog& runLog_;
  /// Longest URL kept for `db_`.
  std::size_t urlLimit_;
  /// Local-time conversion with the current hour remembered.
  LocalClock clock_;
  /// Browser and operating-system class of recent user agents.
  UserAgentCache userAgents_;
  /// Date and hour ("YYYY-MM-DD HH") the calendar columns were last set
  /// from; only this normaliser writes those columns.
  FixedText<31> lastHourKey_;
  /// The time stamp the calendar columns were last filled from (a date
  /// text; empty when none fitted): lines of the same second repeat it.
  FixedText<63> lastStamp_;
  /// The instant last converted to local time and its text: lines of the
  /// same second repeat it.
  std::int64_t lastInstant_ = 0;
  bool haveLastInstant_ = false;
  FixedText<31> lastInstantText_;
  /// The number text (through its last digit) of the last epoch time
  /// stamp converted, and its local-time text; empty when none fitted.
  FixedText<31> lastEpochNumber_;
  FixedText<31> lastEpochText_;

  /// Column indexes resolved at construction; -1 when the column data
  /// types file lacks the column (it is then not filled).
  int siteNameColumn_;
  int hostedSiteColumn_;
  int fileTypeColumn_;
  int osColumn_;
  int statusCodeColumn_;
  int serverDescColumn_;
  int hourColumn_;
  int dayOfWeekColumn_;
  int monthColumn_;
  int quarterColumn_;
  int yearColumn_;
  /// The "date" and "time" columns, partners in the date and time merge.
  int dateColumn_;
  int timeColumn_;
};

#endif  // PARSER_NORMALISE_H_
