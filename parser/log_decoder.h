#ifndef PARSER_LOG_DECODER_H_
#define PARSER_LOG_DECODER_H_

#include <cstddef>
#include <cstdio>
#include <memory>

#include "parser/inflater.h"

/// Turns a log file into its data as zlib's gz file functions read it: a
/// file that does not start with the gzip magic bytes is read as it is;
/// otherwise gzip members are decompressed one after another and whatever
/// follows the last one without the magic bytes is ignored. Anything else
/// (corrupt or truncated data, unusual headers, read errors) ends the data
/// as irregular: the caller then rereads from a safe point through zlib,
/// which decides what such a file yields.
class LogDecoder {
 public:
  /// What a fill() reached.
  enum class Outcome { kFull, kEnd, kIrregular };

  /// Reads `file` (opened in binary mode, closed by the decoder) with
  /// `inflater`.
  LogDecoder(std::FILE* file, std::unique_ptr<Inflater> inflater);
  ~LogDecoder();
  LogDecoder(const LogDecoder&) = delete;
  LogDecoder& operator=(const LogDecoder&) = delete;

  /// Writes the next data to `out` (`room` bytes) and
  /// sets `*length`. kFull when `out` is full, kEnd at the regular end of
  /// the data, kIrregular as described above (the bytes written by this
  /// call may then be wrong).
  Outcome fill(char* out, std::size_t room, std::size_t* length);

  /// Output a member can produce beyond what zlib would deliver before
  /// reporting an error there; bytes further back are safe.
  static constexpr std::size_t kUnsafeTail = 32 * 1024;

 private:
  enum class Mode { kLook, kPlain, kMember, kDone };

  /// Reads more input after the unread part; false at the end of the file
  /// or on a read error (see readFailed_).
  bool readInput();
  /// Chooses how to go on at the start of the file or after a member.
  Outcome look();
  /// Decompresses into [*out, end).
  Outcome inflateMember(unsigned char** out, unsigned char* end);

  std::FILE* file_;
  std::unique_ptr<Inflater> inflater_;
  std::unique_ptr<unsigned char[]> input_;
  const unsigned char* next_ = nullptr;
  std::size_t available_ = 0;
  bool fileEnded_ = false;
  bool readFailed_ = false;
  bool started_ = false;
  Mode mode_ = Mode::kLook;
};

#endif  // PARSER_LOG_DECODER_H_
