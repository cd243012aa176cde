#include "parser/server_config.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

/// Include levels followed before a configuration is taken for a loop.
constexpr int kMaxIncludeDepth = 16;
/// Files read for one search at most.
constexpr int kMaxFiles = 4096;
/// Largest configuration file read.
constexpr std::uintmax_t kMaxFileSize = 16u << 20;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string lowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

/// True when `name` matches the shell wildcard `pattern` (*, ? and [...]).
bool wildcardMatch(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
      continue;
    }
    bool matched = false;
    std::size_t nextP = p + 1;
    if (p < pattern.size() && pattern[p] == '[') {
      std::size_t close = pattern.find(']', p + 2);
      if (close != std::string_view::npos) {
        std::string_view set = pattern.substr(p + 1, close - p - 1);
        bool negate = !set.empty() && (set[0] == '!' || set[0] == '^');
        if (negate) set.remove_prefix(1);
        bool inSet = false;
        for (std::size_t i = 0; i < set.size(); ++i) {
          if (i + 2 < set.size() && set[i + 1] == '-') {
            inSet = inSet || (name[n] >= set[i] && name[n] <= set[i + 2]);
            i += 2;
          } else {
            inSet = inSet || name[n] == set[i];
          }
        }
        matched = inSet != negate;
        nextP = close + 1;
      }
    } else if (p < pattern.size()) {
      matched = pattern[p] == '?' || pattern[p] == name[n];
    }
    if (matched) {
      p = nextP;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool hasWildcard(std::string_view text) {
  return text.find_first_of("*?[") != std::string_view::npos;
}

/// The files an include of `pattern` names: the file itself, every file
/// under a directory, or the entries matching a wildcard in its last part;
/// sorted by name.
std::vector<fs::path> includedFiles(const std::string& pattern, const fs::path& base) {
  fs::path path(pattern);
  if (path.is_relative()) path = base / path;
  std::vector<fs::path> files;
  std::error_code ec;
  const std::string last = path.filename().string();
  if (hasWildcard(last)) {
    for (fs::directory_iterator it(path.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
      if (wildcardMatch(last, it->path().filename().string()) &&
          !fs::is_directory(it->path(), ec)) {
        files.push_back(it->path());
      }
    }
  } else if (fs::is_directory(path, ec)) {
    for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end;
         it.increment(ec)) {
      if (it->is_regular_file(ec)) files.push_back(it->path());
    }
  } else {
    files.push_back(path);
  }
  std::sort(files.begin(), files.end());
  return files;
}

/// Reads a whole file; false when it cannot be read or is too large.
bool readWholeFile(const fs::path& path, std::string* text) {
  std::error_code ec;
  std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxFileSize) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

/// The search for one format through a configuration and its includes.
class FormatSearch {
 public:
  FormatSearch(ServerKind server, std::string_view name, const fs::path& main)
      : server_(server), name_(name), root_(main.parent_path()) {}

  /// Reads `path`; false with `*error` when the main file cannot be read,
  /// an nginx file is malformed, or the includes go too deep.
  bool read(const fs::path& path, int depth, std::string* error) {
    if (depth > kMaxIncludeDepth || ++files_ > kMaxFiles) {
      *error = "includes nested too deep (or too many files) at " + path.string();
      return false;
    }
    std::string text;
    if (!readWholeFile(path, &text)) {
      if (depth == 0) {
        *error = "cannot read the configuration file " + path.string();
        return false;
      }
      return true;  // an include that names nothing readable
    }
    return server_ == ServerKind::kApache ? readApache(text, depth, error)
                                          : readNginx(text, path, depth, error);
  }

  bool found() const { return found_; }
  const std::string& format() const { return format_; }
  EscapeStyle escapes() const { return escapes_; }

 private:
  bool readIncludes(const std::string& pattern, int depth, std::string* error) {
    for (const fs::path& file : includedFiles(pattern, root_)) {
      if (!read(file, depth + 1, error)) return false;
    }
    return true;
  }

  bool readApache(std::string_view text, int depth, std::string* error) {
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
      std::size_t end = text.find('\n', at);
      if (end == std::string_view::npos) end = text.size();
      std::string_view physical = text.substr(at, end - at);
      at = end + 1;
      if (physical.ends_with('\r')) physical.remove_suffix(1);
      if (physical.ends_with('\\')) {
        line.append(physical.substr(0, physical.size() - 1));
        continue;
      }
      line.append(physical);
      std::vector<std::string> words = apacheWords(line);
      line.clear();
      if (words.empty() || words[0].starts_with('#')) continue;
      std::string directive = lowerAscii(words[0]);
      if (directive == "serverroot" && words.size() >= 2) {
        root_ = fs::path(words[1]);
      } else if (directive == "logformat" && words.size() >= 3 && words[2] == name_) {
        format_ = words[1];
        found_ = true;  // a later definition replaces it, as in Apache
      } else if (directive == "include" || directive == "includeoptional") {
        for (std::size_t i = 1; i < words.size(); ++i) {
          if (!readIncludes(words[i], depth, error)) return false;
        }
      }
    }
    return true;
  }

  bool readNginx(std::string_view text, const fs::path& path, int depth,
                 std::string* error) {
    std::vector<NginxToken> tokens;
    if (!nginxTokens(text, &tokens, error)) {
      *error += " in " + path.string();
      return false;
    }
    std::vector<const NginxToken*> words;
    for (const NginxToken& token : tokens) {
      if (token.special == 0) {
        words.push_back(&token);
        continue;
      }
      if (token.special == ';' && !words.empty()) {
        if (!nginxDirective(words, depth, error)) return false;
      }
      words.clear();
    }
    return true;
  }

  bool nginxDirective(const std::vector<const NginxToken*>& words, int depth,
                      std::string* error) {
    const std::string& directive = words[0]->text;
    if (directive == "include" && words.size() == 2) {
      return readIncludes(words[1]->text, depth, error);
    }
    if (directive != "log_format" || words.size() < 2 || words[1]->text != name_ ||
        found_) {
      return true;
    }
    std::size_t i = 2;
    EscapeStyle escapes = EscapeStyle::kBackslash;
    if (i < words.size() && words[i]->text.starts_with("escape=")) {
      if (!nginxEscapeStyle(words[i]->text.substr(7), &escapes)) {
        *error = "log_format " + name_ + ": unknown " + words[i]->text;
        return false;
      }
      ++i;
    }
    if (i == words.size()) {
      *error = "log_format " + name_ + " has no format";
      return false;
    }
    format_.clear();
    for (; i < words.size(); ++i) format_ += words[i]->text;
    escapes_ = escapes;
    found_ = true;
    return true;
  }

  ServerKind server_;
  std::string name_;
  fs::path root_;
  int files_ = 0;
  bool found_ = false;
  std::string format_;
  EscapeStyle escapes_ = EscapeStyle::kBackslash;
};

}  // namespace

std::vector<std::string> apacheWords(std::string_view line, std::vector<bool>* quoted) {
  std::vector<std::string> words;
  if (quoted != nullptr) quoted->clear();
  std::size_t at = 0;
  while (true) {
    while (at < line.size() && isBlank(line[at])) ++at;
    if (at >= line.size()) break;
    std::string word;
    char quote = line[at] == '"' || line[at] == '\'' ? line[at] : 0;
    if (quote != 0) ++at;
    while (at < line.size()) {
      char c = line[at];
      if (quote != 0 ? c == quote : isBlank(c)) break;
      if (c == '\\' && at + 1 < line.size() &&
          (line[at + 1] == '\\' || (quote != 0 && line[at + 1] == quote))) {
        word += line[at + 1];
        at += 2;
        continue;
      }
      word += c;
      ++at;
    }
    if (quote != 0 && at < line.size()) ++at;  // the closing quote
    words.push_back(std::move(word));
    if (quoted != nullptr) quoted->push_back(quote != 0);
  }
  return words;
}

bool nginxTokens(std::string_view text, std::vector<NginxToken>* tokens,
                 std::string* error) {
  tokens->clear();
  std::size_t at = 0;
  auto unescape = [&](std::string& word, char next) {
    switch (next) {
      case '"': case '\'': case '\\': word += next; return true;
      case 't': word += '\t'; return true;
      case 'r': word += '\r'; return true;
      case 'n': word += '\n'; return true;
      default: return false;
    }
  };
  while (at < text.size()) {
    char c = text[at];
    if (isBlank(c)) {
      ++at;
    } else if (c == '#') {
      while (at < text.size() && text[at] != '\n') ++at;
    } else if (c == ';' || c == '{' || c == '}') {
      tokens->push_back(NginxToken{std::string(1, c), 0, c});
      ++at;
    } else if (c == '"' || c == '\'') {
      NginxToken token;
      token.quote = c;
      std::size_t start = at++;
      while (at < text.size() && text[at] != c) {
        if (text[at] == '\\' && at + 1 < text.size() && unescape(token.text, text[at + 1])) {
          at += 2;
        } else {
          token.text += text[at++];
        }
      }
      if (at >= text.size()) {
        *error = "a quote without its end at character " + std::to_string(start + 1);
        return false;
      }
      ++at;
      tokens->push_back(std::move(token));
    } else {
      NginxToken token;
      bool variable = false;  // inside ${...}, braces belong to the word
      while (at < text.size() && !isBlank(text[at]) && text[at] != ';' &&
             (variable || (text[at] != '{' && text[at] != '}') ||
              (text[at] == '{' && token.text.ends_with('$')))) {
        if (text[at] == '{') variable = true;
        if (text[at] == '}') variable = false;
        if (text[at] == '\\' && at + 1 < text.size()) {
          if (!unescape(token.text, text[at + 1])) {
            token.text += text[at];
            token.text += text[at + 1];
          }
          at += 2;
          continue;
        }
        token.text += text[at++];
      }
      tokens->push_back(std::move(token));
    }
  }
  return true;
}

bool nginxEscapeStyle(std::string_view parameter, EscapeStyle* escapes) {
  if (parameter == "default" || parameter == "json") {
    *escapes = EscapeStyle::kBackslash;
  } else if (parameter == "none") {
    *escapes = EscapeStyle::kNone;
  } else {
    return false;
  }
  return true;
}

bool readConfiguredFormat(ServerKind server, const std::string& path,
                          std::string_view name, std::string* format,
                          EscapeStyle* escapes, std::string* error) {
  FormatSearch search(server, name, fs::path(path));
  if (!search.read(fs::path(path), 0, error)) return false;
  if (!search.found()) {
    *error = std::string(server == ServerKind::kApache ? "no LogFormat named "
                                                        : "no log_format named ") +
             std::string(name) + " in " + path + " or the files it includes";
    return false;
  }
  *format = search.format();
  *escapes = search.escapes();
  return true;
}
