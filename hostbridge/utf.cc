#include "hostbridge/utf.h"

namespace utf {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

/// Appends the UTF-8 form of one code point.
void appendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

/// Appends the UTF-16 form of one code point.
void appendUtf16(std::u16string* out, char32_t c) {
  if (c < 0x10000) {
    out->push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 | (c >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
  }
}

/// True for the first unit of a surrogate pair.
bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
/// True for the second unit of a surrogate pair.
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

/// Decodes the UTF-8 sequence at text[*pos], advancing *pos past it; a
/// malformed sequence yields U+FFFD and consumes one byte.
char32_t decodeUtf8(std::string_view text, std::size_t* pos) {
  const auto lead = static_cast<unsigned char>(text[*pos]);
  ++*pos;
  if (lead < 0x80) return lead;
  int length;
  char32_t c;
  char32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 1, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 2, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 3, c = lead & 0x07, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  if (*pos + length > text.size()) return kReplacement;
  for (int i = 0; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[*pos + i]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (next & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    return kReplacement;
  }
  *pos += length;
  return c;
}

}  // namespace

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (isHighSurrogate(c) && i + 1 < text.size() &&
        isLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
      c = kReplacement;
    }
    appendUtf8(&out, c);
  }
  return out;
}

std::u16string toUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) appendUtf16(&out, decodeUtf8(text, &pos));
  return out;
}

}  // namespace utf
