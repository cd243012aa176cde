#ifndef PARSER_VALUE_CONVERSIONS_H_
#define PARSER_VALUE_CONVERSIONS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "parser/time_pattern.h"

/// How a value read through a server's format definition is brought into
/// the form its report column takes, before the usual normalisation.
enum class ValueConversion : int {
  /// As written.
  kNone,
  /// Enclosed in brackets: nginx's $time_local becomes the common log
  /// format's time.
  kBracketed,
  /// Durations in seconds, milliseconds, microseconds or nanoseconds, to
  /// seconds with six decimals.
  kSeconds,
  kMilliseconds,
  kMicroseconds,
  kNanoseconds,
  /// Milliseconds or microseconds since 1970, to seconds since 1970.
  kEpochMilliseconds,
  kEpochMicroseconds,
  /// An ISO 8601 date and time, to seconds since 1970.
  kIsoTime,
  /// Apache's %{FORMAT}t: the time parts the line's values carry, to
  /// seconds since 1970 (the layout matcher collects the parts).
  kTimePattern,
  /// Seconds since 1970, an ISO 8601 time or a common log format time
  /// (with or without its brackets), to seconds since 1970.
  kAutoTime,
  /// The URL of a request line, as the request-line treatment finds it (a
  /// request line loaded into a URL column).
  kRequestLineUrl,
};

/// Longest text a duration or a time conversion yields.
constexpr std::size_t kConvertedNumberLength = 64;

/// A duration of `value` units of 10^-`scale` seconds in seconds, in the
/// "%lf" form the squid template's elapsed milliseconds take (1500 ms give
/// "1.500000"): exact decimal arithmetic, rounded half up at the sixth
/// decimal. Zero, "-", negative values and texts that are no number are
/// returned unchanged (the column's rules apply to them). `out` holds
/// kConvertedNumberLength bytes.
std::string_view durationInSeconds(std::string_view value, int scale, char* out);

/// Seconds since 1970 of a count of 10^-`scale` seconds since 1970 (its
/// fraction dropped), or "-" when `value` is no such count.
std::string_view epochInSeconds(std::string_view value, int scale, char* out);

/// Seconds since 1970 of `instant` in decimal, or "-" when it is not after
/// 1970 (the time stamp rules write the placeholder for it).
std::string_view instantText(std::int64_t instant, char* out);

/// Room for the converted values of one line, reused line after line.
class ValueScratch {
 public:
  explicit ValueScratch(std::size_t capacity)
      : buffer_(new char[capacity]), capacity_(capacity) {}
  /// Forgets the values of the previous line.
  void clear() { used_ = 0; }
  /// Bytes it holds at most.
  std::size_t capacity() const { return capacity_; }
  /// Room for `length` bytes, or null when the scratch is full.
  char* room(std::size_t length) {
    return capacity_ - used_ >= length ? buffer_.get() + used_ : nullptr;
  }
  /// Keeps the `length` bytes just written at room() and returns them.
  std::string_view keep(std::size_t length) {
    std::string_view kept(buffer_.get() + used_, length);
    used_ += length;
    return kept;
  }
  /// Copies `text` into the scratch (or returns it unchanged when full).
  std::string_view copy(std::string_view text);

 private:
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};

/// Converts values of one run, remembering what local-time conversion
/// learnt. kTimePattern is not converted here (see LayoutMatcher).
class ValueConverter {
 public:
  /// `value` converted by `conversion`; the result lives in `scratch` or is
  /// `value` itself. "-" stays "-".
  std::string_view convert(ValueConversion conversion, std::string_view value,
                           ValueScratch& scratch);
  /// The local-time conversion of zone-less times.
  LocalInstants& localInstants() { return local_; }

 private:
  /// The instant of an ISO 8601 or common log format time; false for
  /// another text.
  bool instantOfText(std::string_view value, std::int64_t* instant);

  LocalInstants local_;
};

#endif  // PARSER_VALUE_CONVERSIONS_H_
