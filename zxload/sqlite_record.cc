#include "zxload/sqlite_record.h"

#include <charconv>
#include <cstring>

namespace {

/// Serial type of a whole number, as SQLite picks it (0 and 1 need no
/// bytes in file format 4).
std::uint64_t integerSerial(std::int64_t value) {
  std::uint64_t u = value < 0 ? ~static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  if (u <= 127) return (value & 1) == value ? 8 + static_cast<std::uint64_t>(value) : 1;
  if (u <= 32767) return 2;
  if (u <= 8388607) return 3;
  if (u <= 2147483647) return 4;
  if (u <= 0x00007fffffffffffULL) return 5;
  return 6;
}

/// Bytes of the value of a number's serial type.
constexpr std::size_t kSerialBytes[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};

/// Writes the low `bytes` bytes of `value` big-endian at `out`.
void putBigEndian(std::uint8_t* out, std::uint64_t value, std::size_t bytes) {
  for (std::size_t i = bytes; i > 0; --i) {
    out[i - 1] = static_cast<std::uint8_t>(value);
    value >>= 8;
  }
}

}  // namespace

std::size_t putSqliteVarint(std::uint8_t* out, std::uint64_t value) {
  if (value <= 0x7f) {
    out[0] = static_cast<std::uint8_t>(value);
    return 1;
  }
  if (value & (0xff000000ULL << 32)) {  // nine bytes: the last one holds 8 bits
    out[8] = static_cast<std::uint8_t>(value);
    value >>= 8;
    for (int i = 7; i >= 0; --i) {
      out[i] = static_cast<std::uint8_t>((value & 0x7f) | 0x80);
      value >>= 7;
    }
    return 9;
  }
  std::uint8_t reversed[9];
  std::size_t n = 0;
  do {
    reversed[n++] = static_cast<std::uint8_t>((value & 0x7f) | 0x80);
    value >>= 7;
  } while (value != 0);
  reversed[0] &= 0x7f;
  for (std::size_t i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  return n;
}

std::size_t sqliteVarintLength(std::uint64_t value) {
  std::size_t n = 1;
  while (n < 9 && (value >> (7 * n)) != 0) ++n;
  return n;
}

void SqliteRecord::clear(std::size_t columns, std::size_t bytes) {
  // The body is joined after the header when the record is finished.
  std::size_t most = 9 + 9 * columns + bytes;
  if (header_.size() < most) header_.resize(most);
  if (body_.size() < bytes) body_.resize(bytes);
  headerEnd_ = 9;
  bodyEnd_ = 0;
}

void SqliteRecord::addNull() { addSerial(0); }

void SqliteRecord::addInteger(std::int64_t value) {
  std::uint64_t serial = integerSerial(value);
  addSerial(serial);
  std::size_t bytes = kSerialBytes[serial];
  if (bytes > 0) putBigEndian(bodyRoom(bytes), static_cast<std::uint64_t>(value), bytes);
}

void SqliteRecord::addReal(double value) {
  // SQLite's integer affinity: a double that survives the round trip
  // through a 64-bit integer, the two extremes excepted, is kept whole.
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (value > -kTwoTo63 && value < kTwoTo63) {
    auto whole = static_cast<std::int64_t>(value);
    if (static_cast<double>(whole) == value && whole > INT64_MIN && whole < INT64_MAX) {
      addInteger(whole);
      return;
    }
  }
  addSerial(7);
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putBigEndian(bodyRoom(8), bits, 8);
}

void SqliteRecord::addNumber(std::string_view text, bool integerColumn) {
  const char* end = text.data() + text.size();
  const char* start = text.data() + (text.front() == '+' ? 1 : 0);
  if (integerColumn) {
    std::int64_t whole = 0;
    auto result = std::from_chars(start, end, whole);
    if (result.ec == std::errc() && result.ptr == end) {
      addInteger(whole);
      return;
    }
  }
  double real = 0;
  std::from_chars(start, end, real);
  addReal(real);
}

void SqliteRecord::addText(std::string_view text) {
  addSerial(2 * static_cast<std::uint64_t>(text.size()) + 13);
  if (!text.empty()) std::memcpy(bodyRoom(text.size()), text.data(), text.size());
}

std::string_view SqliteRecord::finish() {
  // The header's size counts its own varint.
  std::size_t serials = headerEnd_ - 9;
  std::size_t size = serials + 1;
  if (serials > 126) {
    std::size_t varint = sqliteVarintLength(serials);
    size = serials + varint;
    if (varint < sqliteVarintLength(size)) ++size;
  }
  std::size_t varint = size - serials;
  std::uint8_t* start = header_.data() + 9 - varint;
  putSqliteVarint(start, size);
  if (bodyEnd_ > 0) std::memcpy(header_.data() + headerEnd_, body_.data(), bodyEnd_);
  return {reinterpret_cast<const char*>(start), size + bodyEnd_};
}
