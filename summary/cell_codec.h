#ifndef SUMMARY_CELL_CODEC_H_
#define SUMMARY_CELL_CODEC_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

/// Appends numbers and texts to the data of a summary cell: whole numbers
/// as variable-length integers (7 bits a byte, low first; signed ones
/// zig-zag folded), doubles as their 8 bytes, low first, and texts as their
/// length and bytes.
class CellWriter {
 public:
  /// Makes room for `bytes` more, so that a large cell grows once.
  void reserve(std::size_t bytes) { ensure(bytes); }
  void count(std::uint64_t value) {
    ensure(10);
    char* at = out_.data() + size_;
    while (value >= 0x80) {
      *at++ = static_cast<char>((value & 0x7f) | 0x80);
      value >>= 7;
    }
    *at++ = static_cast<char>(value);
    size_ = static_cast<std::size_t>(at - out_.data());
  }
  void number(std::int64_t value) {
    count((static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63));
  }
  void real(double value);
  void text(std::string_view value) {
    count(value.size());
    ensure(value.size());
    if (!value.empty()) std::memcpy(out_.data() + size_, value.data(), value.size());
    size_ += value.size();
  }
  std::string_view data() const { return std::string_view(out_.data(), size_); }
  std::string take() {
    out_.resize(size_);
    size_ = 0;
    return std::move(out_);
  }

 private:
  /// Makes room for `more` bytes after the written ones.
  void ensure(std::size_t more) {
    if (out_.size() - size_ < more) grow(more);
  }
  void grow(std::size_t more);

  std::string out_;       // the bytes written, then room
  std::size_t size_ = 0;  // bytes written
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
