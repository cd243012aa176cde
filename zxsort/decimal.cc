#include "zxsort/decimal.h"

#include <cfloat>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <string>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

}  // namespace

double readDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::size_t start = i;
  std::size_t digits = 0;
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  std::size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (e < text.size() && isDigit(text[e])) {
      while (e < text.size() && isDigit(text[e])) ++e;
      end = e;
    }
  }
  double value = 0.0;
  auto [ptr, error] = std::from_chars(text.data() + start, text.data() + end,
                                      value, std::chars_format::general);
  (void)ptr;
  if (error == std::errc::result_out_of_range) {
    // Rare: let the C library tell overflow from underflow on the text
    // already checked to be a plain decimal number.
    std::string number(text.substr(start, end - start));
    value = std::strtod(number.c_str(), nullptr);
    if (value > DBL_MAX) value = DBL_MAX;
  } else if (error != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}
