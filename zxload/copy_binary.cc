#include "zxload/copy_binary.h"

#include <cstring>
#include <vector>

#include "dbconn/utf8.h"
#include "zxload/row_values.h"

namespace {

/// Appends `value` big-endian in `bytes` bytes.
void appendBig(std::uint64_t value, std::size_t bytes, std::string* out) {
  char data[8];
  for (std::size_t i = bytes; i > 0; --i) {
    data[i - 1] = static_cast<char>(value & 0xff);
    value >>= 8;
  }
  out->append(data, bytes);
}

/// Writes `value` big-endian in 4 bytes at `at`.
void putBig32(char* at, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) {
    at[i] = static_cast<char>(value & 0xff);
    value >>= 8;
  }
}

/// Days from 1970-01-01 to the given day of the proleptic Gregorian
/// calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

/// Numeric's sign words.
constexpr std::uint16_t kPositive = 0x0000, kNegative = 0x4000;

}  // namespace

void appendCopyHeader(std::string* out) {
  out->append("PGCOPY\n\377\r\n\0", 11);
  appendBig(0, 4, out);  // flags
  appendBig(0, 4, out);  // no header extension
}

void appendCopyTrailer(std::string* out) { appendBig(0xffff, 2, out); }

void appendFieldCount(std::size_t fields, std::string* out) { appendBig(fields, 2, out); }

void appendNullField(std::string* out) { appendBig(0xffffffffu, 4, out); }

void appendBigintField(std::int64_t value, std::string* out) {
  appendBig(8, 4, out);
  appendBig(static_cast<std::uint64_t>(value), 8, out);
}

void appendDoubleField(double value, std::string* out) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  appendBig(8, 4, out);
  appendBig(bits, 8, out);
}

void appendTextField(std::string_view text, bool rawBytes, std::string* out) {
  const std::size_t start = out->size();
  out->append(4, '\0');  // the length, known at the end
  appendPostgresText(text, rawBytes, out);
  putBig32(out->data() + start, static_cast<std::uint32_t>(out->size() - start - 4));
}

bool appendNumericField(std::string_view text, std::string* out) {
  NumberParts parts;
  if (!scanNumber(text, &parts)) return false;
  const long scale = static_cast<long>(parts.fraction.size()) - parts.exponent;
  const std::uint16_t dscale = scale > 0 ? static_cast<std::uint16_t>(scale) : 0;
  if (scale > 0x3fff) return false;
  // The digits, and the power of ten of the first: value = 0.DIGITS x 10^point.
  std::string digits(parts.whole);
  digits += parts.fraction;
  long point = static_cast<long>(parts.whole.size()) + parts.exponent;
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {  // zero: no digits, the scale kept
    appendBig(8, 4, out);
    appendBig(0, 2, out);
    appendBig(0, 2, out);
    appendBig(kPositive, 2, out);
    appendBig(dscale, 2, out);
    return true;
  }
  point -= static_cast<long>(first);
  std::size_t last = digits.find_last_not_of('0');
  std::string_view significant(digits.data() + first, last + 1 - first);
  // Base-10000 digits aligned on the decimal point: the decimal digit of
  // power e lies in group floor(e / 4).
  auto group = [](long power) { return power >= 0 ? power / 4 : -((-power + 3) / 4); };
  const long weight = group(point - 1);
  const long lowest = group(point - static_cast<long>(significant.size()));
  const long count = weight - lowest + 1;
  if (count > 0xffff || weight > 0x7fff || weight < -0x8000) return false;
  std::vector<std::uint16_t> groups(static_cast<std::size_t>(count), 0);
  static constexpr std::uint16_t kPower[] = {1, 10, 100, 1000};
  for (std::size_t i = 0; i < significant.size(); ++i) {
    long power = point - 1 - static_cast<long>(i);
    long g = group(power);
    groups[static_cast<std::size_t>(weight - g)] +=
        static_cast<std::uint16_t>((significant[i] - '0') * kPower[power - 4 * g]);
  }
  appendBig(8 + 2 * groups.size(), 4, out);
  appendBig(groups.size(), 2, out);
  appendBig(static_cast<std::uint16_t>(static_cast<std::int16_t>(weight)), 2, out);
  appendBig(parts.negative ? kNegative : kPositive, 2, out);
  appendBig(dscale, 2, out);
  for (std::uint16_t g : groups) appendBig(g, 2, out);
  return true;
}

void appendWholeNumericField(std::int64_t value, std::string* out) {
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  std::uint16_t groups[5];
  std::size_t count = 0;
  for (; magnitude != 0; magnitude /= 10000) groups[count++] = magnitude % 10000;
  std::size_t trailing = 0;  // zero groups at the end are left out
  while (trailing < count && groups[trailing] == 0) ++trailing;
  appendBig(8 + 2 * (count - trailing), 4, out);
  appendBig(count - trailing, 2, out);
  appendBig(count == 0 ? 0 : count - 1, 2, out);  // weight
  appendBig(value < 0 ? kNegative : kPositive, 2, out);
  appendBig(0, 2, out);  // scale
  for (std::size_t i = count; i > trailing; --i) appendBig(groups[i - 1], 2, out);
}

void appendTimestampField(std::string_view text, std::string* out) {
  auto number = [&](std::size_t at, std::size_t digits) {
    std::int64_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) value = value * 10 + (text[at + i] - '0');
    return value;
  };
  std::int64_t days = daysFromCivil(number(0, 4), static_cast<unsigned>(number(5, 2)),
                                    static_cast<unsigned>(number(8, 2))) -
                      daysFromCivil(2000, 1, 1);
  std::int64_t seconds = ((days * 24 + number(11, 2)) * 60 + number(14, 2)) * 60 + number(17, 2);
  std::int64_t micros = 0;
  if (text.size() > 20) {  // ".f" to ".ffffff"
    std::size_t digits = text.size() - 20;
    micros = number(20, digits);
    for (std::size_t i = digits; i < 6; ++i) micros *= 10;
  }
  appendBig(8, 4, out);
  appendBig(static_cast<std::uint64_t>(seconds * 1000000 + micros), 8, out);
}
