#ifndef SUMMARY_COUNTING_H_
#define SUMMARY_COUNTING_H_

#include <cstdint>
#include <string_view>

/// `value` rounded to a whole number, halves away from zero (as SQLite's
/// round() does); values past 2^62 are clamped.
inline std::int64_t wholeNumber(double value) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62
  if (!(value < kLimit)) return value != value ? 0 : static_cast<std::int64_t>(kLimit);
  if (!(value > -kLimit)) return -static_cast<std::int64_t>(kLimit);
  return value >= 0 ? static_cast<std::int64_t>(value + 0.5) : -static_cast<std::int64_t>(-value + 0.5);
}

/// Whether a stored value stands for no value: empty or "-".
inline bool isNoValue(std::string_view value) { return value.empty() || value == "-"; }

/// The class index of a status: 0 for 1xx ... 4 for 5xx, 5 for the rest.
inline int statusClass(double status) {
  if (status >= 100 && status < 600) return static_cast<int>(status) / 100 - 1;
  return 5;
}

/// Status classes: 1xx to 5xx and other.
inline constexpr int kStatusClasses = 6;

/// `value` with a negative zero made positive: databases differ in whether
/// they keep the sign of a zero, so figures never depend on it.
inline double plainZero(double value) { return value + 0.0; }

/// A sum of numbers that does not depend on the order they come in, so
/// that rows added one by one and partial sums merged give the same
/// result: numbers with at most three decimals (all that zxsort writes)
/// are added exactly as thousandths; any other number, and a sum past 2^63
/// thousandths, goes to a double beside them.
class ExactSum {
 public:
  void add(double value);
  void merge(const ExactSum& other);
  double value() const;
  /// The exact part, in thousandths, and the rest (for storing).
  std::int64_t thousandths() const { return thousandths_; }
  double other() const { return other_; }
  static ExactSum of(std::int64_t thousandths, double other) {
    ExactSum sum;
    sum.thousandths_ = thousandths;
    sum.other_ = other;
    return sum;
  }

 private:
  /// Adds `thousandths` to the exact part, or to the rest when it overflows.
  void addThousandths(std::int64_t thousandths);

  std::int64_t thousandths_ = 0;
  double other_ = 0;
};

/// Whether `value` is a number of thousandths `*thousandths` (|value| below
/// 2^43, so that each such number is one double).
bool asThousandths(double value, std::int64_t* thousandths);

#endif  // SUMMARY_COUNTING_H_
