#ifndef ZXLOAD_ROW_VALUES_H_
#define ZXLOAD_ROW_VALUES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zxload/load_plan.h"

/// One value of a row as the database receives it.
struct RowValue {
  std::string_view text;  ///< the value, enclosing quotes removed
  bool null = false;      ///< no value: an empty number, or a time stamp
                          ///< that is "-", empty or all zeros (SQL NULL
                          ///< where the column type cannot hold the text)
  bool whole = false;     ///< a number of digits alone (a sign at most),
                          ///< at most 18 of them: its value is `integer`
  std::int64_t integer = 0;
};

/// Splits data rows into their values by the rules the files were written
/// with: values separated by commas (never inside a value), text values
/// enclosed in single quotes when the run quoted text; numbers and time
/// stamps are checked.
class RowSplitter {
 public:
  /// Prepares for rows of `plan`.
  explicit RowSplitter(const LoadPlan& plan);
  /// Splits `line` into `values()`; false with the reason in `error`.
  bool split(std::string_view line, std::string* error);
  /// The values of the last row split.
  const std::vector<RowValue>& values() const { return values_; }

 private:
  /// Checks and stores the value of column `k`.
  bool take(std::size_t k, std::string_view text, std::string* error);
  /// Stores `text` (not empty) when it is a whole number of at most 18
  /// digits (a sign at most), which fits every number column.
  static bool takeWhole(std::string_view text, RowValue* value);

  const LoadPlan& plan_;
  std::vector<RowValue> values_;
};

/// True when `text` is a decimal number: an optional sign, digits with an
/// optional fraction, an optional exponent.
bool isNumber(std::string_view text);

/// The digits of a decimal number and its exponent.
struct NumberParts {
  bool negative = false;
  std::string_view whole;     ///< digits before the point
  std::string_view fraction;  ///< digits after the point
  long exponent = 0;          ///< clamped to +-1,000,000
  bool wholeForm = true;      ///< neither a point nor an exponent
};

/// Reads `text` as a decimal number (see isNumber) into `parts`; false when
/// it is none.
bool scanNumber(std::string_view text, NumberParts* parts);

/// Why a number's value is refused.
inline constexpr char kOutOfIntegerRange[] = "out of the range of an integer column (64 bits)";
inline constexpr char kOutOfRealRange[] =
    "out of the range of a double (too large, or so small that it would become 0)";

/// Why the number `text` (see isNumber) cannot be stored exactly enough in
/// a column of `type`, or null when it can: in an integer column a whole
/// number outside the signed 64-bit range, any value outside it, or an
/// exponent beyond +-1000 (PostgreSQL's numeric refuses those); in any
/// number column a value too large for a double or so small that it would
/// become zero.
const char* numberRangeProblem(std::string_view text, ColumnType type);

/// True when `text` is "YYYY-MM-DD HH:MM:SS" naming a real moment (year 1
/// to 9999, the day within its month, hour 0 to 23, minute and second 0 to
/// 59), optionally followed by a fraction of a second of 1 to 6 digits.
bool isTimestamp(std::string_view text);

/// The first 40 bytes of `text` for a message, other bytes than printable
/// ASCII as '?', "..." when there was more.
std::string excerpt(std::string_view text);

/// True for the placeholder time stamp "0000-00-00 00:00:00[.000]".
bool isZeroTimestamp(std::string_view text);

#endif  // ZXLOAD_ROW_VALUES_H_
