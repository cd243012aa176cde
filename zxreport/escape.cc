#include "zxreport/escape.h"

#include <cstdio>

namespace {

/// Calls `take(character bytes)` for each character of `text`, invalid
/// bytes turned into their Latin-1 characters.
template <typename Take>
void forEachCharacter(std::string_view text, Take take) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = utf8Length(s + i, text.size() - i);
    if (length > 0) {
      take(text.substr(i, length));
      i += length;
    } else {
      const char latin1[2] = {static_cast<char>(0xc0 | (s[i] >> 6)),
                              static_cast<char>(0x80 | (s[i] & 0x3f))};
      take(std::string_view(latin1, 2));
      ++i;
    }
  }
}

bool isControl(std::string_view character) {
  unsigned char c = static_cast<unsigned char>(character[0]);
  return character.size() == 1 && (c < 0x20 || c == 0x7f);
}

}  // namespace

std::string displayText(std::string_view text, std::size_t maxChars, bool* cut) {
  std::string out;
  std::size_t characters = 0;
  *cut = false;
  forEachCharacter(text, [&](std::string_view character) {
    if (*cut) return;
    if (characters == maxChars) {
      out.append("\xe2\x80\xa6");  // ellipsis
      *cut = true;
      return;
    }
    ++characters;
    out.append(isControl(character) ? std::string_view("\xef\xbf\xbd") : character);
  });
  return out;
}

std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out.append("&amp;"); break;
      case '<': out.append("&lt;"); break;
      case '>': out.append("&gt;"); break;
      case '"': out.append("&quot;"); break;
      case '\'': out.append("&#39;"); break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  forEachCharacter(text, [&](std::string_view character) {
    unsigned char c = static_cast<unsigned char>(character[0]);
    if (character == "\xe2\x80\xa8" || character == "\xe2\x80\xa9") {
      out.append(character[2] == '\xa8' ? "\\u2028" : "\\u2029");
    } else if (character.size() > 1) {
      out.append(character);
    } else if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out.append(escaped);
    } else {
      out.push_back(static_cast<char>(c));
    }
  });
  out.push_back('"');
  return out;
}

std::string csvCell(std::string_view text) {
  std::string out = "\"";
  if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' ||
                        text[0] == '\t' || text[0] == '\r')) {
    out.push_back('\'');
  }
  for (char c : validUtf8(text)) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}
