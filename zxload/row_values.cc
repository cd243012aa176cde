#include "zxload/row_values.h"

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

/// A short, printable excerpt of a value for messages.
std::string excerpt(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 40)) {
    auto byte = static_cast<unsigned char>(c);
    out.push_back(byte >= 0x20 && byte < 0x7f ? c : '?');
  }
  if (text.size() > 40) out += "...";
  return out;
}

}  // namespace

bool isNumber(std::string_view text) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  std::size_t digits = skipDigits(text, &at);
  if (at < text.size() && text[at] == '.') {
    ++at;
    digits += skipDigits(text, &at);
  }
  if (digits == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    if (skipDigits(text, &at) == 0) return false;
  }
  return at == text.size();
}

bool isTimestamp(std::string_view text) {
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (text.size() < kShape.size()) return false;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == 'd' ? !isDigit(text[i]) : text[i] != kShape[i]) return false;
  }
  auto number = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  int month = number(5), day = number(8);
  if (month < 1 || month > 12 || day < 1 || day > 31 || number(11) > 23 ||
      number(14) > 59 || number(17) > 59) {
    return false;
  }
  if (text.size() == kShape.size()) return true;
  std::size_t at = kShape.size() + 1;
  return text[kShape.size()] == '.' && skipDigits(text, &at) > 0 && at == text.size();
}

bool isZeroTimestamp(std::string_view text) {
  return text.substr(0, 10) == "0000-00-00";
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
      if (isNumber(text)) return true;
      *error = "column " + column.name + ": not a number: " + excerpt(text);
      return false;
  }
}
