#include "parser/user_agent.h"

#include <cstring>
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

namespace {

/// A hash of the agent's bytes, read eight at a time.
std::uint64_t agentHash(std::string_view text) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t hash = text.size();
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 29;
  }
  std::uint64_t last = 0;
  if (at < text.size()) std::memcpy(&last, text.data() + at, text.size() - at);
  hash = (hash ^ last) * kMultiplier;
  return hash ^ (hash >> 32);
}

}  // namespace

UserAgentCache::UserAgentCache() : slots_(new Slot[kSlots]) {}

BrowserAndOs UserAgentCache::lookup(std::string_view userAgent) {
  if (userAgent.size() > kLongestKept) return browserAndOs(userAgent);
  Slot& slot = slots_[agentHash(userAgent) % kSlots];
  if (slot.used && slot.length == userAgent.size() &&
      std::memcmp(slot.text, userAgent.data(), userAgent.size()) == 0) {
    return slot.found;
  }
  slot.found = browserAndOs(userAgent);
  slot.length = static_cast<std::uint16_t>(userAgent.size());
  if (!userAgent.empty()) std::memcpy(slot.text, userAgent.data(), userAgent.size());
  slot.used = true;
  return slot.found;
}
