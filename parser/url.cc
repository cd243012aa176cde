#include "parser/url.h"

#include <cstring>
#include <iterator>

namespace {

constexpr std::string_view kHostedSiteSuffixes[] = {".com", ".net", ".edu",
                                                    ".gov", ".org"};

// `text` cut before the first `c`, whole when it holds none.
std::string_view cutAt(std::string_view text, char c) {
  std::size_t at = text.find(c);
  return at == std::string_view::npos ? text : text.substr(0, at);
}

// True when the extension begins, after the white space and sign atoi
// skips, with a number other than 0.
bool startsWithNonZeroNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) {
    ++at;
  }
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (text[at] != '0') return true;
  }
  return false;
}

}  // namespace

void FileType::assign(std::string_view text) {
  size_ = text.size() < kMaxFileTypeLength ? text.size() : kMaxFileTypeLength;
  for (std::size_t i = 0; i < size_; ++i) {
    char c = text[i];
    text_[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  text_[size_] = '\0';
}

std::string_view stripUrl(std::string_view url) {
  return cutAt(cutAt(cutAt(url, '?'), '@'), ';');
}

void replaceChar(char* text, std::size_t length, char from, char to) {
  char* end = text + length;
  while (text < end) {
    char* found = static_cast<char*>(std::memchr(text, from, end - text));
    if (found == nullptr) return;
    *found = to;
    text = found + 1;
  }
}

std::string_view requestUrl(std::string_view text) {
  std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return text;
  return cutAt(text.substr(blank + 1), ' ');
}

UrlSite urlSite(std::string_view url) {
  UrlSite result;
  std::size_t slashes = url.find("//");
  if (slashes == std::string_view::npos) return result;
  std::size_t hostStart = slashes + 2;
  std::size_t pathStart = url.find('/', hostStart);
  if (pathStart == std::string_view::npos) return result;
  result.site = cutAt(url.substr(hostStart, pathStart - hostStart), ':');
  result.hostedSite = hostedSiteOf(url.substr(pathStart));
  return result;
}

std::string_view hostedSiteOf(std::string_view path) {
  // One pass over the dots finds the first occurrence of the suffix that
  // comes first in the list, as one search per suffix in list order would.
  const std::size_t suffixCount = std::size(kHostedSiteSuffixes);
  std::size_t best = suffixCount;
  std::size_t bestAt = std::string_view::npos;
  for (std::size_t dot = path.find('.'); dot != std::string_view::npos && best > 0;
       dot = path.find('.', dot + 1)) {
    const std::string_view here = path.substr(dot, 4);
    for (std::size_t k = 0; k < best; ++k) {
      if (here == kHostedSiteSuffixes[k]) {
        best = k;
        bestAt = dot;
        break;
      }
    }
  }
  if (bestAt == std::string_view::npos) return {};
  std::size_t segmentEnd = path.find('/', bestAt);
  if (segmentEnd == std::string_view::npos) return {};
  std::size_t slashBefore = path.rfind('/', bestAt);
  std::size_t segmentStart = slashBefore == std::string_view::npos ? 0 : slashBefore + 1;
  return path.substr(segmentStart, segmentEnd - segmentStart);
}

FileType fileTypeOf(std::string_view url) {
  std::size_t lastSlash = url.rfind('/');
  if (lastSlash == std::string_view::npos) return FileType();
  std::string_view segment = url.substr(lastSlash + 1);
  std::size_t lastDot = segment.rfind('.');
  if (lastDot == std::string_view::npos) return FileType();
  std::string_view extension = segment.substr(lastDot + 1);
  if (extension.size() > kMaxFileTypeLength || extension == "0" ||
      startsWithNonZeroNumber(extension)) {
    return FileType();
  }
  return FileType(extension);
}

std::size_t urlLimit(DbKind db) {
  switch (db) {
    case DbKind::MsSql: return 875;
    case DbKind::Sybase: return 255;
    case DbKind::Oracle:
    case DbKind::None:
    default: return 1024;
  }
}
