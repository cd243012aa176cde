#ifndef PARSER_INFLATER_H_
#define PARSER_INFLATER_H_

#include <cstddef>
#include <memory>

/// Decompresses the members of a gzip file one at a time: the seam between
/// the log decoder and the deflate library the platform offers.
class Inflater {
 public:
  /// What one call of inflate() reached.
  enum class Step { kMore, kMemberEnd, kError };

  virtual ~Inflater() = default;
  /// Prepares for a member whose gzip header is the next input.
  virtual void startMember() = 0;
  /// Decompresses from `*in` (`*inLength` bytes) into `*out` (`*outRoom`
  /// bytes), advancing all four. kMore when input ran out or output is
  /// full, kMemberEnd once the member's trailer was read and checked (the
  /// input then points just past it), kError for data that is corrupt.
  virtual Step inflate(const unsigned char** in, std::size_t* inLength,
                       unsigned char** out, std::size_t* outRoom) = 0;
};

/// The fastest inflater built in: ISA-L's where it was found, else zlib's.
std::unique_ptr<Inflater> makeInflater();

/// The zlib inflater, whatever else is built in.
std::unique_ptr<Inflater> makeZlibInflater();

#endif  // PARSER_INFLATER_H_
