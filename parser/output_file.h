#ifndef PARSER_OUTPUT_FILE_H_
#define PARSER_OUTPUT_FILE_H_

#include <cstdio>
#include <string>
#include <string_view>

/// An output file that is created (replacing an old one) only when its
/// first bytes are written. Bytes are written without line-end
/// translation, so what the caller passes is what the file holds.
class LazyFile {
 public:
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
  /// Closes the file if it was created; false when flushing failed.
  bool close();
  /// The file's path.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  bool error_ = false;
};

#endif  // PARSER_OUTPUT_FILE_H_
