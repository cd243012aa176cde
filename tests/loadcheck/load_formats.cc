#include "load_formats.h"

#include <cctype>
#include <charconv>
#include <cstddef>

namespace {

/// Resolves the backslash escapes of loader and bcp strings: \r, \n, \t,
/// \0, \\ and an escaped quote.
std::string unescape(std::string_view raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out.push_back(raw[i]);
      continue;
    }
    char next = raw[++i];
    switch (next) {
      case 'r': out.push_back('\r'); break;
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case '0': out.push_back('\0'); break;
      default: out.push_back(next); break;
    }
  }
  return out;
}

/// Reads a whole decimal number.
bool readInt(std::string_view text, int* value) {
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, *value);
  return result.ec == std::errc() && result.ptr == end;
}

/// Blank, tab or line break.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/// Whitespace-separated tokens of a bcp format file; a token that begins
/// with a double quote runs to the closing unescaped double quote and keeps
/// its quotes.
bool bcpTokens(std::string_view text, std::vector<std::string_view>* tokens,
               std::string* error) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (isBlank(text[i])) {
      ++i;
      continue;
    }
    std::size_t start = i;
    if (text[i] == '"') {
      ++i;
      while (i < text.size() && text[i] != '"') i += text[i] == '\\' ? 2 : 1;
      if (i >= text.size()) {
        *error = "unterminated quoted terminator";
        return false;
      }
      ++i;
    } else {
      while (i < text.size() && !isBlank(text[i])) ++i;
    }
    tokens->push_back(text.substr(start, i - start));
  }
  return true;
}

/// A token of a loader control file.
struct Token {
  enum Kind { kWord, kSingleQuoted, kDoubleQuoted, kPunct } kind;
  std::string_view text;  // quoted tokens: the raw text between the quotes
};

/// Tokens of a loader control file: words, quoted strings (raw, escapes
/// kept), parentheses and commas; "--" comments are skipped.
bool controlTokens(std::string_view text, std::vector<Token>* tokens,
                   std::string* error) {
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (isBlank(c)) {
      ++i;
    } else if (text.substr(i, 2) == "--") {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == '(' || c == ')' || c == ',') {
      tokens->push_back({Token::kPunct, text.substr(i, 1)});
      ++i;
    } else if (c == '\'' || c == '"') {
      std::size_t start = ++i;
      while (i < text.size() && text[i] != c) i += text[i] == '\\' ? 2 : 1;
      if (i >= text.size()) {
        *error = "unterminated string";
        return false;
      }
      tokens->push_back({c == '\'' ? Token::kSingleQuoted : Token::kDoubleQuoted,
                         text.substr(start, i - start)});
      ++i;
    } else {
      std::size_t start = i;
      while (i < text.size() && !isBlank(text[i]) && text[i] != '(' &&
             text[i] != ')' && text[i] != ',' && text[i] != '\'' &&
             text[i] != '"') {
        ++i;
      }
      tokens->push_back({Token::kWord, text.substr(start, i - start)});
    }
  }
  return true;
}

/// Walks the tokens of a control file.
class ControlParser {
 public:
  /// Parses `tokens`; a failure is described in `error`.
  ControlParser(const std::vector<Token>& tokens, std::string* error)
      : tokens_(tokens), error_(error) {}

  /// Reads the whole statement into `control`.
  bool parse(LoaderControl* control) {
    if (!keyword("OPTIONS") || !punct("(")) return false;
    while (more() && tokens_[at_].text != ")") {
      control->options.append(tokens_[at_++].text);
    }
    if (!punct(")") || !keyword("LOAD") || !keyword("DATA") ||
        !keyword("INFILE") || !quoted(Token::kSingleQuoted, &control->inputPath)) {
      return false;
    }
    std::string processing;
    if (!quoted(Token::kDoubleQuoted, &processing) ||
        !recordTerminator(processing, &control->recordTerminator)) {
      return false;
    }
    std::string enclosure, terminator;
    if (!keyword("APPEND") || !keyword("INTO") || !keyword("TABLE") ||
        !word(&control->table) || !keyword("FIELDS") ||
        !keyword("TERMINATED") || !keyword("BY") ||
        !quoted(Token::kSingleQuoted, &terminator) ||
        !keyword("OPTIONALLY") || !keyword("ENCLOSED") || !keyword("BY") ||
        !quoted(Token::kSingleQuoted, &enclosure) || !punct("(")) {
      return false;
    }
    control->fieldTerminator = unescape(terminator);
    control->enclosure = unescape(enclosure);
    if (more() && tokens_[at_].text == ")") {
      ++at_;
    } else {
      for (;;) {
        LoaderColumn column;
        if (!columnSpec(&column)) return false;
        control->columns.push_back(column);
        if (more() && tokens_[at_].text == ",") {
          ++at_;
          continue;
        }
        if (!punct(")")) return false;
        break;
      }
    }
    if (more()) return fail("text after the field list");
    return true;
  }

 private:
  /// True while tokens are left.
  bool more() const { return at_ < tokens_.size(); }
  /// Records `what` as the failure and returns false.
  bool fail(const std::string& what) {
    *error_ = what + " at token " + std::to_string(at_);
    return false;
  }
  /// Takes the keyword `name` (upper case), in any letter case.
  bool keyword(std::string_view name) {
    if (!more() || tokens_[at_].kind != Token::kWord) {
      return fail("expected " + std::string(name));
    }
    std::string_view text = tokens_[at_].text;
    if (text.size() != name.size()) return fail("expected " + std::string(name));
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (std::toupper(static_cast<unsigned char>(text[i])) != name[i]) {
        return fail("expected " + std::string(name));
      }
    }
    ++at_;
    return true;
  }
  /// Takes the punctuation `text`.
  bool punct(std::string_view text) {
    if (!more() || tokens_[at_].text != text ||
        tokens_[at_].kind != Token::kPunct) {
      return fail("expected '" + std::string(text) + "'");
    }
    ++at_;
    return true;
  }
  /// Takes a word.
  bool word(std::string* out) {
    if (!more() || tokens_[at_].kind != Token::kWord) return fail("expected a name");
    *out = tokens_[at_++].text;
    return true;
  }
  /// Takes a quoted string of `kind`, raw.
  bool quoted(Token::Kind kind, std::string* out) {
    if (!more() || tokens_[at_].kind != kind) return fail("expected a string");
    *out = tokens_[at_++].text;
    return true;
  }
  /// The INFILE processing clause "str 'TERMINATOR'".
  bool recordTerminator(std::string_view clause, std::string* out) {
    if (clause.substr(0, 4) != "str " || clause.size() < 6 ||
        clause[4] != '\'' || clause.back() != '\'') {
      return fail("expected a str clause");
    }
    *out = unescape(clause.substr(5, clause.size() - 6));
    return true;
  }
  /// Takes one column: a name, optionally DATE "mask" or CHAR(length).
  bool columnSpec(LoaderColumn* column) {
    if (!word(&column->name)) return false;
    if (!more() || tokens_[at_].kind != Token::kWord) return true;
    std::string type(tokens_[at_].text);
    if (type == "DATE") {
      ++at_;
      column->type = type;
      return quoted(Token::kDoubleQuoted, &column->mask);
    }
    if (type == "CHAR") {
      ++at_;
      column->type = type;
      std::string length;
      if (!punct("(") || !word(&length) || !readInt(length, &column->length)) {
        return fail("bad CHAR length");
      }
      return punct(")");
    }
    return fail("unknown field type " + type);
  }

  const std::vector<Token>& tokens_;
  std::string* error_;
  std::size_t at_ = 0;
};

/// For a field at the start of `rest` that begins with `enclosure`: the
/// position of the enclosure that closes it (one that stands before a
/// separator or the end); npos for a field that is not enclosed.
std::size_t enclosedEnd(std::string_view rest, std::string_view separator,
                        std::string_view enclosure) {
  if (enclosure.empty() || rest.substr(0, enclosure.size()) != enclosure) {
    return std::string_view::npos;
  }
  for (std::size_t from = enclosure.size();;) {
    std::size_t close = rest.find(enclosure, from);
    if (close == std::string_view::npos) return close;
    std::string_view after = rest.substr(close + enclosure.size());
    if (after.empty() || after.substr(0, separator.size()) == separator) {
      return close;
    }
    from = close + 1;
  }
}

}  // namespace

bool readBcpFormat(std::string_view text, BcpFormat* format,
                   std::string* error) {
  std::vector<std::string_view> tokens;
  if (!bcpTokens(text, &tokens, error)) return false;
  if (tokens.size() < 2) {
    *error = "no version and count";
    return false;
  }
  format->version = tokens[0];
  int count = 0;
  if (!readInt(tokens[1], &count) || count < 0) {
    *error = "bad field count";
    return false;
  }
  // Version 7.0 has seven items per field; later versions add a collation.
  const std::size_t perField = format->version == "7.0" ? 7 : 8;
  if (tokens.size() != 2 + perField * count) {
    *error = "expected " + std::to_string(count) + " fields of " +
             std::to_string(perField) + " items, found " +
             std::to_string(tokens.size() - 2) + " items";
    return false;
  }
  for (int k = 0; k < count; ++k) {
    const std::string_view* item = &tokens[2 + perField * k];
    BcpField field;
    field.dataType = item[1];
    field.serverName = item[6];
    std::string_view terminator = item[4];
    if (!readInt(item[0], &field.hostOrder) ||
        !readInt(item[2], &field.prefixLength) ||
        !readInt(item[3], &field.dataLength) ||
        !readInt(item[5], &field.serverOrder) || terminator.size() < 2 ||
        terminator.front() != '"' || terminator.back() != '"') {
      *error = "bad field line " + std::to_string(k + 1);
      return false;
    }
    field.terminator = unescape(terminator.substr(1, terminator.size() - 2));
    format->fields.push_back(field);
  }
  return true;
}

bool readLoaderControl(std::string_view text, LoaderControl* control,
                       std::string* error) {
  std::vector<Token> tokens;
  if (!controlTokens(text, &tokens, error)) return false;
  return ControlParser(tokens, error).parse(control);
}

bool splitRecords(std::string_view data, std::string_view terminator,
                  std::vector<std::string_view>* records) {
  while (!data.empty()) {
    std::size_t end = data.find(terminator);
    if (end == std::string_view::npos) return false;
    records->push_back(data.substr(0, end));
    data.remove_prefix(end + terminator.size());
  }
  return true;
}

std::vector<std::string> splitFields(std::string_view record,
                                     std::string_view separator,
                                     std::string_view enclosure) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  for (;;) {
    std::string_view rest = record.substr(at);
    std::size_t close = enclosedEnd(rest, separator, enclosure);
    if (close != std::string_view::npos) {
      fields.emplace_back(rest.substr(enclosure.size(), close - enclosure.size()));
      at += close + enclosure.size();
      if (at == record.size()) return fields;
      at += separator.size();
      continue;
    }
    std::size_t end = rest.find(separator);
    fields.emplace_back(rest.substr(0, end));
    if (end == std::string_view::npos) return fields;
    at += end + separator.size();
  }
}

bool splitBcpRecord(std::string_view* data, const BcpFormat& format,
                    std::vector<std::string>* fields) {
  fields->clear();
  for (const BcpField& field : format.fields) {
    std::size_t end = data->find(field.terminator);
    if (end == std::string_view::npos) return false;
    fields->emplace_back(data->substr(0, end));
    data->remove_prefix(end + field.terminator.size());
  }
  return true;
}

bool matchesDateMask(std::string_view value) {
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (value.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    bool digit = std::isdigit(static_cast<unsigned char>(value[i])) != 0;
    if (kShape[i] == 'd' ? !digit : value[i] != kShape[i]) return false;
  }
  int month = (value[5] - '0') * 10 + (value[6] - '0');
  int day = (value[8] - '0') * 10 + (value[9] - '0');
  int hour = (value[11] - '0') * 10 + (value[12] - '0');
  int minute = (value[14] - '0') * 10 + (value[15] - '0');
  int second = (value[17] - '0') * 10 + (value[18] - '0');
  return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 &&
         minute <= 59 && second <= 59;
}

std::vector<std::string> readColumnDescription(std::string_view text) {
  std::vector<std::string> names;
  if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") {
    text.remove_suffix(2);
  }
  if (text.empty()) return names;
  for (;;) {
    std::size_t comma = text.find(',');
    names.emplace_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return names;
    text.remove_prefix(comma + 1);
  }
}
