#ifndef PARSER_LOG_READER_H_
#define PARSER_LOG_READER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "parser/read_ahead.h"

/// Longest read of one log line: gzgets with this limit yields at most
/// 8190 characters.
constexpr int kLineReadLimit = 8191;

/// How a LogReader decodes; every choice reads the same lines.
struct ReadSettings {
  /// Inflate a gzip log on a second thread (when one can be started).
  bool ownThread = decodeOnThread();
  /// Use the fastest inflater built in rather than zlib's.
  bool fastInflater = true;
};

/// Reads a log line by line as zlib's gzgets does, so plain and
/// gzip-compressed logs read alike: the data is decoded ahead in large
/// blocks (see ReadAhead); where it turns out irregular, reading goes on
/// through zlib's gz functions from the line where it stood.
class LogReader {
 public:
  LogReader() = default;
  ~LogReader();
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;

  /// Opens the log at `path` (binary); false when it cannot be opened or is
  /// a directory.
  bool open(const std::string& path, const ReadSettings& settings = {});
  /// Reads the next line (at most 8190 characters, line break kept) into
  /// `buffer` of kLineReadLimit + 1 bytes; `*length` counts up to the first
  /// NUL. False at the end of the data or on a read error (see failed()).
  bool readLine(char* buffer, std::size_t* length);
  /// True when reading stopped because the data is corrupt or truncated.
  bool failed() const { return !error_.empty(); }
  /// What zlib said about the failure.
  const std::string& error() const { return error_; }
  /// True once reading went over to zlib's gz functions.
  bool rereading() const { return gzFile_ != nullptr; }
  /// Closes the log.
  void close();

 private:
  /// Makes the next block current; false at the end of the decoded data.
  bool nextBlock();
  /// Reopens the log through zlib and skips the lines already read.
  bool startRereading();
  /// Reads a line through zlib.
  bool readLineThroughZlib(char* buffer, std::size_t* length);

  std::string path_;
  std::unique_ptr<ReadAhead> readAhead_;
  const char* block_ = nullptr;
  std::size_t blockLength_ = 0;
  std::size_t blockPosition_ = 0;
  // Bytes of the data before the line being read.
  std::uint64_t lineStart_ = 0;
  bool ended_ = false;
  void* gzFile_ = nullptr;  // gzFile
  std::string error_;
};

#endif  // PARSER_LOG_READER_H_
