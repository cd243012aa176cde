#ifndef PARSER_USER_AGENT_H_
#define PARSER_USER_AGENT_H_

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

#endif  // PARSER_USER_AGENT_H_
