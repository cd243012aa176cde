#ifndef ZXLOAD_SQLITE_RECORD_H_
#define ZXLOAD_SQLITE_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

/// Writes `value` as an SQLite variable-length integer at `out` (room for
/// 9 bytes); returns the bytes written.
std::size_t putSqliteVarint(std::uint8_t* out, std::uint64_t value);

/// Bytes of `value` as an SQLite variable-length integer.
std::size_t sqliteVarintLength(std::uint64_t value);

/// One row in SQLite's record format (a header of serial types, then the
/// values), holding exactly what SQLite itself stores when the same values
/// are bound to columns of numeric affinity (numbers) or of text affinity
/// (text) of a database of file format 4 in UTF-8.
class SqliteRecord {
 public:
  /// Starts a new record of at most `columns` values that need at most
  /// `bytes` bytes (text bytes, 8 for a number).
  void clear(std::size_t columns, std::size_t bytes);
  /// Appends a NULL.
  void addNull();
  /// Appends a whole number.
  void addInteger(std::int64_t value);
  /// Appends a double as a column of numeric affinity keeps it: a whole
  /// value strictly inside the 64-bit range as that integer, else 8 bytes.
  void addReal(double value);
  /// Appends a checked number (see isNumber) as binding it would: a whole
  /// number of an integer column that fits 64 bits as an integer, any
  /// other through a double.
  void addNumber(std::string_view text, bool integerColumn);
  /// Appends text, byte for byte.
  void addText(std::string_view text);
  /// Joins the header and the values; valid until the next change.
  std::string_view finish();

 private:
  std::vector<std::uint8_t> header_;  // serial types, from byte 9 on,
  std::size_t headerEnd_ = 9;         // then the body when finished
  std::vector<std::uint8_t> body_;
  std::size_t bodyEnd_ = 0;
  /// Room for `bytes` more in the body (reserved by `clear`).
  std::uint8_t* bodyRoom(std::size_t bytes) {
    std::uint8_t* at = body_.data() + bodyEnd_;
    bodyEnd_ += bytes;
    return at;
  }
  /// Appends a serial type to the header (room reserved by `clear`).
  void addSerial(std::uint64_t serial) {
    if (serial < 0x80) {
      header_[headerEnd_++] = static_cast<std::uint8_t>(serial);
    } else {
      headerEnd_ += putSqliteVarint(header_.data() + headerEnd_, serial);
    }
  }
};

#endif  // ZXLOAD_SQLITE_RECORD_H_
