#ifndef ZXLOAD_ROW_VALUES_H_
#define ZXLOAD_ROW_VALUES_H_

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

  const LoadPlan& plan_;
  std::vector<RowValue> values_;
};

/// True when `text` is a decimal number: an optional sign, digits with an
/// optional fraction, an optional exponent.
bool isNumber(std::string_view text);

/// True when `text` is "YYYY-MM-DD HH:MM:SS" with the fields in their
/// ranges, optionally followed by a fraction of a second.
bool isTimestamp(std::string_view text);

/// True for the placeholder time stamp "0000-00-00 00:00:00[.000]".
bool isZeroTimestamp(std::string_view text);

#endif  // ZXLOAD_ROW_VALUES_H_
