#ifndef ZXFES_SIBLING_CONSOLE_H_
#define ZXFES_SIBLING_CONSOLE_H_

#include <cstddef>

/// Titles of the top-level windows of the sibling management console, in
/// the order they are looked for.
inline constexpr const char* kSiblingConsoleTitles[] = {
    "Dravock V2.0",        "Jobs - Dravock",     "Users - Dravock",
    "Sources - Dravock",   "Destinations - Dravock", "Policies - Dravock",
    "Network - Dravock",
};

/// Looks for the titles in order with `find` (title -> window, null when
/// absent) and returns the first window found, or a null window.
template <typename Finder>
auto findFirstSiblingWindow(Finder find) -> decltype(find("")) {
  for (const char* title : kSiblingConsoleTitles) {
    auto window = find(title);
    if (window) return window;
  }
  return decltype(find("")){};
}

#endif  // ZXFES_SIBLING_CONSOLE_H_
