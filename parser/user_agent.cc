#include "parser/user_agent.h"

#include <iterator>

namespace {

constexpr std::string_view kBrowserTokens[] = {"MSIE", "Netscape"};

constexpr std::string_view kOsTokens[] = {
    "Windows 98",     "Windows NT",     "Linux",     "Win95",    "Win98",
    "WinNT",          "Macintosh",      "Win32",     "WinNT4.0", "WinNT5.0",
    "Windows NT 5.0", "Windows NT 4.0", "WinNT_5.0", "WinNT_4.0"};

// What the text from a token to the end must contain for each class, in
// the order the rules are tried.
struct OsClass {
  std::string_view marker;
  std::string_view name;
};
constexpr OsClass kOsClasses[] = {{"95", "Win95"},     {"98", "Win98"},
                                  {"32", "Win32"},     {"NT", "WinNT"},
                                  {"Linux", "Linux"},  {"Macintosh", "Macintosh"}};

// The class of the text from a matched token to the end; empty when no
// rule applies.
std::string_view classify(std::string_view tail) {
  for (const OsClass& rule : kOsClasses) {
    if (tail.find(rule.marker) != std::string_view::npos) return rule.name;
  }
  return {};
}

}  // namespace

BrowserAndOs browserAndOs(std::string_view userAgent) {
  BrowserAndOs result;
  for (std::string_view token : kBrowserTokens) {
    if (userAgent.find(token) != std::string_view::npos) result.browser = token;
  }
  // Where each operating-system token occurs first. Most begin with "Win":
  // they are looked for only where a "Win" stands.
  constexpr std::string_view kWin = "Win";
  std::size_t first[std::size(kOsTokens)];
  for (std::size_t k = 0; k < std::size(kOsTokens); ++k) {
    first[k] = kOsTokens[k].starts_with(kWin) ? std::string_view::npos
                                               : userAgent.find(kOsTokens[k]);
  }
  for (std::size_t at = userAgent.find(kWin); at != std::string_view::npos;
       at = userAgent.find(kWin, at + 1)) {
    const std::string_view rest = userAgent.substr(at);
    for (std::size_t k = 0; k < std::size(kOsTokens); ++k) {
      if (first[k] == std::string_view::npos && kOsTokens[k].starts_with(kWin) &&
          rest.starts_with(kOsTokens[k])) {
        first[k] = at;
      }
    }
  }
  for (std::size_t k = 0; k < std::size(kOsTokens); ++k) {
    if (first[k] == std::string_view::npos) continue;
    std::string_view found = classify(userAgent.substr(first[k]));
    if (!found.empty()) result.os = found;
  }
  return result;
}
