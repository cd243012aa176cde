#include "parser/user_agent.h"

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
  // Most tokens begin with "Win": none of them occurs before the first
  // "Win", or at all without one.
  constexpr std::string_view kWin = "Win";
  const std::size_t firstWin = userAgent.find(kWin);
  for (std::string_view token : kOsTokens) {
    const bool win = token.starts_with(kWin);
    if (win && firstWin == std::string_view::npos) continue;
    std::size_t at = userAgent.find(token, win ? firstWin : 0);
    if (at == std::string_view::npos) continue;
    std::string_view found = classify(userAgent.substr(at));
    if (!found.empty()) result.os = found;
  }
  return result;
}
