#include "summary/counting.h"

#include <cmath>

bool asThousandths(double value, std::int64_t* thousandths) {
  constexpr double kLimit = 8796093022208.0;  // 2^43: thousandths stay below 2^53
  if (!(value < kLimit && value > -kLimit)) return false;
  const double scaled = std::nearbyint(value * 1000);
  const auto whole = static_cast<std::int64_t>(scaled);
  if (static_cast<double>(whole) / 1000 != value) return false;
  *thousandths = whole;
  return true;
}

void ExactSum::addThousandths(std::int64_t thousandths) {
  std::int64_t sum;
  if (__builtin_add_overflow(thousandths_, thousandths, &sum)) {
    other_ += static_cast<double>(thousandths) / 1000;
  } else {
    thousandths_ = sum;
  }
}

void ExactSum::add(double value) {
  std::int64_t thousandths;
  if (asThousandths(value, &thousandths)) {
    addThousandths(thousandths);
  } else {
    other_ += value;
  }
}

void ExactSum::merge(const ExactSum& other) {
  addThousandths(other.thousandths_);
  other_ += other.other_;
}

double ExactSum::value() const {
  // Below 2^53 the thousandths are one double, and the division is
  // rounded once.
  return static_cast<double>(thousandths_) / 1000 + other_;
}
