#include "parser/value_conversions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "parser/url.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// Digits of a plain decimal number ("12", "0.5", ".25", "3."): the digits
/// without the point, and how many of them stand before it.
struct Decimal {
  char digits[kConvertedNumberLength];
  std::size_t count = 0;
  std::size_t point = 0;
};

/// Reads a plain decimal number of at most kConvertedNumberLength - 8
/// digits; false for anything else (signs, exponents, blanks).
bool readDecimal(std::string_view text, Decimal* number) {
  bool seenPoint = false;
  bool seenDigit = false;
  number->count = 0;
  for (char c : text) {
    if (c == '.' && !seenPoint) {
      seenPoint = true;
      number->point = number->count;
      continue;
    }
    if (!isDigit(c) || number->count >= kConvertedNumberLength - 8) return false;
    number->digits[number->count++] = c;
    seenDigit = true;
  }
  if (!seenPoint) number->point = number->count;
  return seenDigit;
}

/// Reads the whole of `text` as a finite number (exponents allowed).
bool readDouble(std::string_view text, double* number) {
  if (text.empty() || text.size() > 64) return false;
  char copy[72];
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  char* end = nullptr;
  *number = std::strtod(copy, &end);
  return end == copy + text.size() && std::isfinite(*number);
}

/// True for a number written with an exponent ("1.7e9").
bool isExponentNumber(std::string_view text) {
  if (text.empty() || !isDigit(text[0])) return false;
  bool exponent = false;
  for (char c : text) {
    if (c == 'e' || c == 'E') {
      exponent = true;
    } else if (!isDigit(c) && c != '.' && c != '+' && c != '-') {
      return false;
    }
  }
  return exponent;
}

/// The text of a positive double in "%lf" form, or `value` unchanged.
std::string_view fallbackSeconds(std::string_view value, int scale, char* out) {
  double number = 0;
  if (!readDouble(value, &number) || !(number > 0)) return value;
  number /= std::pow(10.0, scale);
  int written = std::snprintf(out, kConvertedNumberLength, "%lf", number);
  if (written <= 0 || static_cast<std::size_t>(written) >= kConvertedNumberLength) {
    return value;
  }
  return std::string_view(out, static_cast<std::size_t>(written));
}

}  // namespace

std::string_view durationInSeconds(std::string_view value, int scale, char* out) {
  Decimal number;
  if (!readDecimal(value, &number)) return fallbackSeconds(value, scale, out);
  bool zero = true;
  for (std::size_t i = 0; i < number.count; ++i) zero = zero && number.digits[i] == '0';
  if (zero) return value;
  // Moving the point `scale` places to the left, with leading zeros where
  // it passes the first digit, and one spare zero in front for a carry.
  char digits[2 * kConvertedNumberLength];
  std::size_t count = 0;
  digits[count++] = '0';
  long shifted = static_cast<long>(number.point) - scale;
  for (long i = shifted; i < 0; ++i) digits[count++] = '0';
  const std::size_t point = 1 + static_cast<std::size_t>(shifted < 0 ? 0 : shifted);
  std::memcpy(digits + count, number.digits, number.count);
  count += number.count;
  // Six decimals: pad, or cut and round half up.
  const std::size_t keep = point + 6;
  bool carry = count > keep && digits[keep] >= '5';
  while (count < keep) digits[count++] = '0';
  for (std::size_t i = keep; carry && i-- > 0;) {
    carry = digits[i] == '9';
    digits[i] = carry ? '0' : static_cast<char>(digits[i] + 1);
  }
  std::size_t first = 0;
  while (first + 1 < point && digits[first] == '0') ++first;
  std::size_t size = point - first;
  std::memcpy(out, digits + first, size);
  out[size++] = '.';
  std::memcpy(out + size, digits + point, 6);
  size += 6;
  return std::string_view(out, size);
}

std::string_view epochInSeconds(std::string_view value, int scale, char* out) {
  Decimal number;
  if (!readDecimal(value, &number) || number.point <= static_cast<std::size_t>(scale)) {
    return "-";
  }
  std::size_t length = number.point - static_cast<std::size_t>(scale);
  std::memcpy(out, number.digits, length);
  return std::string_view(out, length);
}

std::string_view instantText(std::int64_t instant, char* out) {
  if (instant <= 0) return "-";
  auto result = std::to_chars(out, out + kConvertedNumberLength, instant);
  return std::string_view(out, static_cast<std::size_t>(result.ptr - out));
}

std::string_view ValueScratch::copy(std::string_view text) {
  char* to = room(text.size());
  if (to == nullptr) return text;
  if (!text.empty()) std::memcpy(to, text.data(), text.size());
  return keep(text.size());
}

bool ValueConverter::instantOfText(std::string_view value, std::int64_t* instant) {
  TimeParts parts;
  if (readIsoTime(value, &parts)) return instantOf(parts, local_, instant);
  // The common log format's time, with or without its brackets.
  static const TimePattern kCommonLogTime = [] {
    TimePattern pattern;
    std::string error;
    pattern.compile("%d/%b/%Y:%H:%M:%S %z", &error);
    return pattern;
  }();
  if (value.size() >= 2 && value.front() == '[' && value.back() == ']') {
    value = value.substr(1, value.size() - 2);
  }
  std::size_t end = 0;
  return kCommonLogTime.read(value, 0, &end, &parts) && end == value.size() &&
         instantOf(parts, local_, instant);
}

std::string_view ValueConverter::convert(ValueConversion conversion,
                                         std::string_view value,
                                         ValueScratch& scratch) {
  if (value == "-" || conversion == ValueConversion::kNone ||
      conversion == ValueConversion::kTimePattern) {
    return value;
  }
  if (conversion == ValueConversion::kRequestLineUrl) {
    // What the request-line treatment does before it takes the URL.
    char* to = scratch.room(value.size());
    if (to == nullptr) return value;
    std::string_view stripped = stripUrl(value);
    if (!stripped.empty()) std::memcpy(to, stripped.data(), stripped.size());
    replaceChar(to, stripped.size(), ',', ' ');
    std::string_view url = requestUrl(std::string_view(to, stripped.size()));
    scratch.keep(stripped.size());
    return url;
  }
  if (conversion == ValueConversion::kBracketed) {
    char* to = scratch.room(value.size() + 2);
    if (to == nullptr) return value;
    to[0] = '[';
    if (!value.empty()) std::memcpy(to + 1, value.data(), value.size());
    to[value.size() + 1] = ']';
    return scratch.keep(value.size() + 2);
  }
  char* out = scratch.room(kConvertedNumberLength);
  if (out == nullptr) return value;
  std::string_view text;
  std::int64_t instant = 0;
  switch (conversion) {
    case ValueConversion::kSeconds: text = durationInSeconds(value, 0, out); break;
    case ValueConversion::kMilliseconds: text = durationInSeconds(value, 3, out); break;
    case ValueConversion::kMicroseconds: text = durationInSeconds(value, 6, out); break;
    case ValueConversion::kNanoseconds: text = durationInSeconds(value, 9, out); break;
    case ValueConversion::kEpochMilliseconds: text = epochInSeconds(value, 3, out); break;
    case ValueConversion::kEpochMicroseconds: text = epochInSeconds(value, 6, out); break;
    case ValueConversion::kIsoTime: {
      TimeParts parts;
      text = readIsoTime(value, &parts) && instantOf(parts, local_, &instant)
                 ? instantText(instant, out)
                 : std::string_view("-");
      break;
    }
    case ValueConversion::kAutoTime: {
      Decimal number;
      double seconds = 0;
      if (readDecimal(value, &number)) {
        text = value;  // seconds since 1970 already
      } else if (isExponentNumber(value) && readDouble(value, &seconds)) {
        // A number with an exponent, as some JSON writers put it.
        text = seconds > 0 && seconds < 9.2e18
                   ? instantText(static_cast<std::int64_t>(seconds), out)
                   : std::string_view("-");
      } else {
        text = instantOfText(value, &instant) ? instantText(instant, out)
                                              : std::string_view("-");
      }
      break;
    }
    default:
      text = value;
  }
  if (text.data() == out) return scratch.keep(text.size());
  return text;
}
