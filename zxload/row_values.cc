#include "zxload/row_values.h"

#include <charconv>
#include <cstring>

namespace {

/// True for an ASCII digit.
bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// Skips digits from `at`; returns how many.
std::size_t skipDigits(std::string_view text, std::size_t* at) {
  std::size_t start = *at;
  while (*at < text.size() && isDigit(text[*at])) ++*at;
  return *at - start;
}

}  // namespace

bool scanNumber(std::string_view text, NumberParts* parts) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) parts->negative = text[at++] == '-';
  std::size_t start = at;
  skipDigits(text, &at);
  parts->whole = text.substr(start, at - start);
  if (at < text.size() && text[at] == '.') {
    parts->wholeForm = false;
    start = ++at;
    skipDigits(text, &at);
    parts->fraction = text.substr(start, at - start);
  }
  if (parts->whole.empty() && parts->fraction.empty()) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    parts->wholeForm = false;
    ++at;
    bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    start = at;
    for (; at < text.size() && isDigit(text[at]); ++at) {
      if (parts->exponent < 1000000) parts->exponent = parts->exponent * 10 + (text[at] - '0');
    }
    if (at == start) return false;
    if (negative) parts->exponent = -parts->exponent;
  }
  return at == text.size();
}

namespace {

/// The power of ten of the first significant digit, or false for zero.
bool decimalOrder(const NumberParts& parts, long* order) {
  std::size_t first = parts.whole.find_first_not_of('0');
  if (first != std::string_view::npos) {
    *order = static_cast<long>(parts.whole.size() - first) - 1 + parts.exponent;
    return true;
  }
  first = parts.fraction.find_first_not_of('0');
  if (first == std::string_view::npos) return false;
  *order = -static_cast<long>(first) - 1 + parts.exponent;
  return true;
}

/// True when a whole number of digits `digits` fits 64 signed bits.
bool wholeFits(std::string_view digits, bool negative) {
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return true;
  digits.remove_prefix(first);
  constexpr std::string_view kLargest = "9223372036854775807";
  if (digits.size() != kLargest.size()) return digits.size() < kLargest.size();
  return digits <= kLargest || (negative && digits == "9223372036854775808");
}

/// The value of a checked number as a double; false when it is too large
/// for one or so small that it would become zero.
bool asDouble(std::string_view text, double* value) {
  const char* start = text.data() + (text[0] == '+' ? 1 : 0);
  auto result = std::from_chars(start, text.data() + text.size(), *value);
  return result.ec == std::errc();
}

/// Days in `month` (1 to 12) of `year`.
int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return month == 2 && leap ? 29 : kDays[month - 1];
}

/// Why the number `text` with `parts` does not fit a column of `type`.
const char* rangeProblem(std::string_view text, const NumberParts& parts, ColumnType type) {
  if (parts.wholeForm && type == ColumnType::kInteger) {
    return wholeFits(parts.whole, parts.negative) ? nullptr : kOutOfIntegerRange;
  }
  // PostgreSQL's numeric type takes no exponent beyond that, even for 0.
  if (type == ColumnType::kInteger && (parts.exponent > 1000 || parts.exponent < -1000)) {
    return kOutOfIntegerRange;
  }
  long order = 0;
  if (!decimalOrder(parts, &order)) return nullptr;  // zero
  double value = 0;
  if ((order <= -300 || order >= 300) && !asDouble(text, &value)) return kOutOfRealRange;
  if (type != ColumnType::kInteger || order < 18) return nullptr;
  if (order > 18 || !asDouble(text, &value)) return kOutOfIntegerRange;
  constexpr double kTwoTo63 = 9223372036854775808.0;
  return value >= -kTwoTo63 && value < kTwoTo63 ? nullptr : kOutOfIntegerRange;
}

}  // namespace

std::string excerpt(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 40)) {
    auto byte = static_cast<unsigned char>(c);
    out.push_back(byte >= 0x20 && byte < 0x7f ? c : '?');
  }
  if (text.size() > 40) out += "...";
  return out;
}

const char* numberRangeProblem(std::string_view text, ColumnType type) {
  NumberParts parts;
  scanNumber(text, &parts);
  return rangeProblem(text, parts, type);
}

bool isNumber(std::string_view text) {
  NumberParts parts;
  return scanNumber(text, &parts);
}

bool isTimestamp(std::string_view text) {
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (text.size() < kShape.size()) return false;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == 'd' ? !isDigit(text[i]) : text[i] != kShape[i]) return false;
  }
  auto number = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  int year = number(0) * 100 + number(2), month = number(5), day = number(8);
  if (year == 0 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
      number(11) > 23 || number(14) > 59 || number(17) > 59) {
    return false;
  }
  if (text.size() == kShape.size()) return true;
  std::size_t at = kShape.size() + 1;
  std::size_t digits = skipDigits(text, &at);
  return text[kShape.size()] == '.' && digits > 0 && digits <= 6 && at == text.size();
}

bool isZeroTimestamp(std::string_view text) {
  return text.substr(0, 10) == "0000-00-00";
}

bool RowSplitter::takeWhole(std::string_view text, RowValue* value) {
  const char* at = text.data();
  const char* end = at + text.size();
  bool negative = *at == '-';
  if (negative || *at == '+') ++at;
  if (at == end || end - at > 18) return false;
  std::int64_t whole = 0;
  for (; at < end; ++at) {
    if (!isDigit(*at)) return false;
    whole = whole * 10 + (*at - '0');
  }
  value->whole = true;
  value->integer = negative ? -whole : whole;
  return true;
}

RowSplitter::RowSplitter(const LoadPlan& plan) : plan_(plan), values_(plan.columns.size()) {}

bool RowSplitter::split(std::string_view line, std::string* error) {
  const std::size_t count = values_.size();
  const char* at = line.data();
  const char* end = line.data() + line.size();
  std::size_t k = 0;
  for (;;) {
    const void* comma = std::memchr(at, ',', static_cast<std::size_t>(end - at));
    const char* stop = comma != nullptr ? static_cast<const char*>(comma) : end;
    if (k == count) {
      std::size_t found = k + 1;
      for (const char* p = at; p < end; ++p) found += *p == ',';
      *error = std::to_string(found) + " values, expected " + std::to_string(count);
      return false;
    }
    if (!take(k++, std::string_view(at, static_cast<std::size_t>(stop - at)), error)) return false;
    if (stop == end) break;
    at = stop + 1;
  }
  if (k != count) {
    *error = std::to_string(k) + " values, expected " + std::to_string(count);
    return false;
  }
  return true;
}

bool RowSplitter::take(std::size_t k, std::string_view text, std::string* error) {
  const PlanColumn& column = plan_.columns[k];
  bool enclosed = text.size() >= 2 && text.front() == '\'' && text.back() == '\'';
  if (plan_.quotedText) {
    if (enclosed) {
      text = text.substr(1, text.size() - 2);
    } else if (column.type == ColumnType::kText) {
      *error = "column " + column.name + ": text value not enclosed in single quotes: " +
               excerpt(text);
      return false;
    }
  }
  RowValue& value = values_[k];
  value.text = text;
  value.null = false;
  value.whole = false;
  switch (column.type) {
    case ColumnType::kText:
      return true;
    case ColumnType::kTimestamp:
      if (text.empty() || text == "-" || isZeroTimestamp(text)) {
        value.null = true;
        return true;
      }
      if (isTimestamp(text)) return true;
      *error = "column " + column.name + ": not a time stamp: " + excerpt(text);
      return false;
    default:
      if (text.empty()) {
        value.null = true;
        return true;
      }
      if (takeWhole(text, &value)) return true;
      NumberParts parts;
      if (!scanNumber(text, &parts)) {
        *error = "column " + column.name + ": not a number: " + excerpt(text);
        return false;
      }
      // The usual numbers, short and without an exponent, fit every column.
      bool usual = parts.exponent == 0 && parts.whole.size() <= 18 && parts.fraction.size() < 290;
      if (const char* problem = usual ? nullptr : rangeProblem(text, parts, column.type)) {
        *error = "column " + column.name + ": " + problem + ": " + excerpt(text);
        return false;
      }
      return true;
  }
}
