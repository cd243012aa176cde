#ifndef PARSER_LOG_READER_H_
#define PARSER_LOG_READER_H_

#include <string>
#include <string_view>

/// Longest read of one log line: gzgets with this limit yields at most
/// 8190 characters.
constexpr int kLineReadLimit = 8191;

/// Reads a log line by line through zlib, so plain and gzip-compressed
/// logs read alike.
class LogReader {
 public:
  LogReader() = default;
  ~LogReader();
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;

  /// Opens the log at `path` (mode "rb"); false when it cannot be opened or
  /// is a directory.
  bool open(const std::string& path);
  /// Reads the next line (at most 8190 characters, line break kept) into
  /// `buffer` of kLineReadLimit + 1 bytes; false at the end of the data or
  /// on a read error (see failed()).
  bool readLine(char* buffer, std::size_t* length);
  /// True when reading stopped because the data is corrupt or truncated.
  bool failed() const { return !error_.empty(); }
  /// What zlib said about the failure.
  const std::string& error() const { return error_; }
  /// Closes the log.
  void close();

 private:
  void* file_ = nullptr;  // gzFile
  std::string error_;
};

#endif  // PARSER_LOG_READER_H_
