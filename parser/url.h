#ifndef PARSER_URL_H_
#define PARSER_URL_H_

#include <cstddef>
#include <string_view>

#include "parser/parser_types.h"

/// Longest file type `fileTypeOf` gives (an extension of up to 5 letters).
constexpr std::size_t kMaxFileTypeLength = 5;

/// A file type: a lower-case extension of at most 5 characters, or "-".
class FileType {
 public:
  /// "-", the file type of a URL without a short extension.
  FileType() { assign("-"); }
  /// The file type `text` lower-cased (A to Z), cut to 5 characters.
  explicit FileType(std::string_view text) { assign(text); }
  /// The text.
  std::string_view view() const { return std::string_view(text_, size_); }

 private:
  /// Stores `text` lower-cased, cut to 5 characters.
  void assign(std::string_view text);

  /// The characters, zero-terminated.
  char text_[kMaxFileTypeLength + 1];
  /// Number of characters.
  std::size_t size_ = 0;
};

/// The site and hosted site of a URL; both refer into the URL.
struct UrlSite {
  std::string_view site;
  std::string_view hostedSite;
};

/// The URL cut at its first '?', then at its first '@', then at its
/// first ';'.
std::string_view stripUrl(std::string_view url);

/// Turns every `from` in `text` into `to`, in place.
void replaceChar(char* text, std::size_t length, char from, char to);

/// The URL of a request line: the text after the first blank up to the
/// next blank; `text` itself when it holds no blank.
std::string_view requestUrl(std::string_view text);

/// The site (the host between "//" and the next '/', without its port)
/// and the hosted site of the path behind it; both empty when the URL has
/// no "//" or no '/' after the host.
UrlSite urlSite(std::string_view url);

/// The hosted site named in a path: the segment around the first
/// occurrence of the first of ".com", ".net", ".edu", ".gov", ".org" that
/// the path contains, provided a '/' follows it; empty otherwise.
std::string_view hostedSiteOf(std::string_view path);

/// The file type of a URL: the extension of its last segment in lower
/// case when that extension is at most 5 characters and does not start
/// with a non-zero number (and is not exactly "0"); "-" otherwise.
FileType fileTypeOf(std::string_view url);

/// The longest URL kept in the data file for a database: 1024 (Oracle and
/// none), 875 (SQL Server), 255 (Sybase).
std::size_t urlLimit(DbKind db);

#endif  // PARSER_URL_H_
