#ifndef PARSER_USER_AGENT_H_
#define PARSER_USER_AGENT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

/// The browser and operating-system class read from a user agent; empty
/// when nothing is recognised. Both refer to static texts.
struct BrowserAndOs {
  std::string_view browser;
  std::string_view os;
};

/// Finds the browser token ("MSIE", "Netscape"; the later match wins) and
/// the operating-system class ("Win95", "Win98", "Win32", "WinNT", "Linux",
/// "Macintosh") of a user agent. Every operating-system token found is
/// classified by the text from its first occurrence to the end; a later
/// token that yields a class replaces the earlier class.
BrowserAndOs browserAndOs(std::string_view userAgent);

/// browserAndOs with the answers for recent user agents remembered: a log
/// repeats a few hundred agents over and over, and a hit costs a hash and
/// a compare instead of a dozen searches. Agents longer than kLongestKept
/// are always searched. Slots are allocated once, at construction.
class UserAgentCache {
 public:
  UserAgentCache();

  /// The same answer as browserAndOs(userAgent).
  BrowserAndOs lookup(std::string_view userAgent);

  static constexpr std::size_t kSlots = 1024;
  static constexpr std::size_t kLongestKept = 248;

 private:
  /// One remembered agent (its bytes, then its answer).
  struct Slot {
    std::uint16_t length = 0;
    bool used = false;
    BrowserAndOs found;
    char text[kLongestKept];
  };
  std::unique_ptr<Slot[]> slots_;
};

#endif  // PARSER_USER_AGENT_H_
