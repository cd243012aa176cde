#ifndef SUMMARY_CELL_CODEC_H_
#define SUMMARY_CELL_CODEC_H_

#include <cstdint>
#include <string>
#include <string_view>

/// Appends numbers and texts to the data of a summary cell: whole numbers
/// as variable-length integers (7 bits a byte, low first; signed ones
/// zig-zag folded), doubles as their 8 bytes, low first, and texts as their
/// length and bytes.
class CellWriter {
 public:
  /// Makes room for `bytes` more, so that a large cell grows once.
  void reserve(std::size_t bytes) { out_.reserve(out_.size() + bytes); }
  void count(std::uint64_t value) {
    if (value < 0x80) out_.push_back(static_cast<char>(value));
    else longCount(value);
  }
  void number(std::int64_t value) {
    count((static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63));
  }
  void real(double value);
  void text(std::string_view value) {
    count(value.size());
    out_.append(value);
  }
  const std::string& data() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  /// Appends a count of two bytes or more.
  void longCount(std::uint64_t value);

  std::string out_;
};

/// Reads what a CellWriter wrote. A read past the end, or a count larger
/// than the bytes left could hold, sets `failed()` and gives zeros and
/// empty texts from then on, so that a damaged cell cannot make a reader
/// run away.
class CellReader {
 public:
  explicit CellReader(std::string_view data) : data_(data) {}
  std::uint64_t count();
  std::int64_t number() {
    std::uint64_t folded = count();
    return static_cast<std::int64_t>(folded >> 1) ^ -static_cast<std::int64_t>(folded & 1);
  }
  double real();
  std::string_view text();
  /// A count of entries each at least `bytesEach` long; 0 (and failed)
  /// when the data left cannot hold that many.
  std::uint64_t entries(std::size_t bytesEach);
  bool failed() const { return failed_; }
  /// True when everything was read and nothing failed.
  bool done() const { return !failed_ && at_ == data_.size(); }

 private:
  std::string_view data_;
  std::size_t at_ = 0;
  bool failed_ = false;
};

#endif  // SUMMARY_CELL_CODEC_H_
