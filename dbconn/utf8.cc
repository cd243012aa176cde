#include "dbconn/utf8.h"

std::size_t utf8Length(const unsigned char* s, std::size_t n) {
  unsigned char c = s[0];
  if (c < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xbf;
  if (c >= 0xc2 && c <= 0xdf) length = 2;
  else if (c >= 0xe0 && c <= 0xef) {
    length = 3;
    if (c == 0xe0) low = 0xa0;
    if (c == 0xed) high = 0x9f;  // no surrogates
  } else if (c >= 0xf0 && c <= 0xf4) {
    length = 4;
    if (c == 0xf0) low = 0x90;
    if (c == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (n < length || s[1] < low || s[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (s[i] < 0x80 || s[i] > 0xbf) return 0;
  }
  return length;
}

std::string validUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = utf8Length(s + i, text.size() - i);
    if (length > 0) {
      out.append(text.data() + i, length);
      i += length;
    } else {
      out.push_back(static_cast<char>(0xc0 | (s[i] >> 6)));
      out.push_back(static_cast<char>(0x80 | (s[i] & 0x3f)));
      ++i;
    }
  }
  return out;
}

void appendPostgresText(std::string_view text, bool rawBytes, std::string* out) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t plain = 0;
  for (std::size_t i = 0; i < n;) {
    unsigned char c = s[i];
    if ((c != 0 && c < 0x80) || (rawBytes && c != 0)) {
      ++i;
      continue;
    }
    out->append(text.data() + plain, i - plain);
    std::size_t length = c == 0 ? 0 : utf8Length(s + i, n - i);
    if (length > 0) {
      out->append(text.data() + i, length);
      i += length;
    } else if (c == 0) {
      out->append(rawBytes ? "?" : "\xef\xbf\xbd");
      ++i;
    } else {
      out->push_back(static_cast<char>(0xc0 | (c >> 6)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
      ++i;
    }
    plain = i;
  }
  out->append(text.data() + plain, n - plain);
}
