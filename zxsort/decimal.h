#ifndef ZXSORT_DECIMAL_H_
#define ZXSORT_DECIMAL_H_

#include <string_view>

/// Reads the longest leading decimal number of `text` (after leading
/// blanks): sign, digits, decimal point, exponent. Anything after it is
/// ignored; a text without a number reads as 0. Hexadecimal, "inf" and
/// "nan" are not numbers here. A magnitude past the double range reads as
/// the largest finite double of its sign; one below it as 0.
double readDecimal(std::string_view text);

#endif  // ZXSORT_DECIMAL_H_
