#ifndef ZXLOAD_LINE_READER_H_
#define ZXLOAD_LINE_READER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Size and checksum of a file's bytes.
struct FileDigest {
  std::uint64_t size = 0;      ///< bytes
  std::uint64_t checksum = 0;  ///< CRC-32 in the high half, Adler-32 in the low
  /// The checksum as 16 hexadecimal digits.
  std::string hex() const;
  /// True when both size and checksum agree.
  bool operator==(const FileDigest&) const = default;
};

/// CRC-32 and Adler-32 (zlib's sums) of a stream of bytes, and its size.
class Checksum {
 public:
  /// Adds `size` bytes at `data`.
  void update(const void* data, std::size_t size);
  /// The digest of the bytes added so far.
  FileDigest digest() const;

 private:
  std::uint64_t size_ = 0;
  std::uint32_t crc_ = 0;
  std::uint32_t adler_ = 1;
};

/// Reads a file line by line through one reused buffer, keeping the digest
/// of everything read. Lines end with LF or CR LF; the line end is not part
/// of the line.
class LineReader {
 public:
  /// Longest line accepted, line end included.
  static constexpr std::size_t kMaxLine = 1 << 20;

  /// Opens `path`; check `ok()`.
  explicit LineReader(const std::string& path);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  /// True when the file is open and no error happened.
  bool ok() const { return fd_ >= 0 && error_.empty(); }
  /// What went wrong, or empty.
  const std::string& error() const { return error_; }
  /// Stores the next line in `line` (valid until the next call); false at
  /// the end of the file or on an error (then `ok()` is false).
  bool next(std::string_view* line);
  /// The file's size now, or false with `error()` set.
  bool size(std::uint64_t* bytes);
  /// Number of the line last returned, from 1.
  std::uint64_t lineNumber() const { return lineNumber_; }
  /// Digest of the bytes read so far.
  FileDigest digest() const;

 private:
  /// Reads more bytes after the unread part; false at the end or on error.
  bool fill();

  int fd_ = -1;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // end of the bytes in the buffer
  bool atEnd_ = false;
  std::uint64_t lineNumber_ = 0;
  Checksum checksum_;
  std::string error_;
};

/// Reads the whole file `path` for its digest; false with a message when it
/// cannot be read.
bool digestFile(const std::string& path, FileDigest* digest, std::string* error);

#endif  // ZXLOAD_LINE_READER_H_
