#ifndef HOSTBRIDGE_UTF_H_
#define HOSTBRIDGE_UTF_H_

#include <string>
#include <string_view>

/// Conversions between the UTF-16 text of Java strings and the UTF-8 text
/// of the POSIX host. Malformed input (lone surrogates, bad byte sequences)
/// becomes U+FFFD instead of being dropped or passed through.
namespace utf {

/// Converts UTF-16 text to UTF-8.
std::string toUtf8(std::u16string_view text);

/// Converts UTF-8 text to UTF-16.
std::u16string toUtf16(std::string_view text);

}  // namespace utf

#endif  // HOSTBRIDGE_UTF_H_
