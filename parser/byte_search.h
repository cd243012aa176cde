#ifndef PARSER_BYTE_SEARCH_H_
#define PARSER_BYTE_SEARCH_H_

#include <cstdint>
#include <cstring>
#include <string_view>

/// True when one of the eight bytes of `word` is zero.
inline bool hasZeroByte(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  return ((word - kOnes) & ~word & kHighs) != 0;
}

/// True when `value` holds `a` or `b`. Values are short: eight bytes at a
/// time costs less than calls of memchr.
inline bool holdsEither(std::string_view value, char a, char b) {
  const std::size_t n = value.size();
  const char* text = value.data();
  if (n < 8) {
    for (std::size_t i = 0; i < n; ++i) {
      if (text[i] == a || text[i] == b) return true;
    }
    return false;
  }
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  const std::uint64_t manyA = kOnes * static_cast<unsigned char>(a);
  const std::uint64_t manyB = kOnes * static_cast<unsigned char>(b);
  auto holds = [&](std::size_t at) {
    std::uint64_t word;
    std::memcpy(&word, text + at, 8);
    return hasZeroByte(word ^ manyA) || hasZeroByte(word ^ manyB);
  };
  for (std::size_t at = 0; at + 8 <= n; at += 8) {
    if (holds(at)) return true;
  }
  // The last word may overlap the one before it.
  return holds(n - 8);
}

/// True when `value` holds `c`.
inline bool holds(std::string_view value, char c) {
  const std::size_t n = value.size();
  const char* text = value.data();
  if (n < 8) {
    for (std::size_t i = 0; i < n; ++i) {
      if (text[i] == c) return true;
    }
    return false;
  }
  const std::uint64_t many = 0x0101010101010101u * static_cast<unsigned char>(c);
  auto holdsAt = [&](std::size_t at) {
    std::uint64_t word;
    std::memcpy(&word, text + at, 8);
    return hasZeroByte(word ^ many);
  };
  for (std::size_t at = 0; at + 8 <= n; at += 8) {
    if (holdsAt(at)) return true;
  }
  return holdsAt(n - 8);
}

#endif  // PARSER_BYTE_SEARCH_H_
