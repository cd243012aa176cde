#ifndef PARSER_OUTPUT_FILE_H_
#define PARSER_OUTPUT_FILE_H_

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

/// An output file that is created (replacing an old one) only when its
/// first bytes are written. Bytes are written without line-end
/// translation, so what the caller passes is what the file holds.
///
/// Writes are gathered in a block of kBlockSize bytes, allocated with the
/// file, and handed to the system a block at a time: rows are small and
/// many, and a copy into the block costs far less than a library call.
class LazyFile {
 public:
  /// Bytes gathered before they are written to the file.
  static constexpr std::size_t kBlockSize = 256 * 1024;

  /// A file at `path`, not yet created.
  explicit LazyFile(std::string path) : path_(std::move(path)) {}
  ~LazyFile() { close(); }
  LazyFile(const LazyFile&) = delete;
  LazyFile& operator=(const LazyFile&) = delete;

  /// Creates the file on first use and appends `bytes`. False when the file
  /// cannot be created or the bytes cannot be written.
  bool write(std::string_view bytes);
  /// True once the file was created.
  bool isOpen() const { return file_ != nullptr; }
  /// True when a write or the close failed after the file was created.
  bool hadError() const { return error_; }
  /// Writes what is gathered and closes the file if it was created; false
  /// when writing or closing failed.
  bool close();
  /// The file's path.
  const std::string& path() const { return path_; }

 private:
  /// Creates the file and its block; false when it cannot be created.
  bool open();
  /// Writes the gathered bytes to the file; false when that fails.
  bool flushBlock();
  /// Writes `bytes` to the file directly; false when that fails.
  bool writeThrough(std::string_view bytes);

  std::string path_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> block_;
  std::size_t blockUsed_ = 0;
  bool error_ = false;
};

#endif  // PARSER_OUTPUT_FILE_H_
