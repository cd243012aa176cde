#ifndef PARSER_FIELD_SPLITTER_H_
#define PARSER_FIELD_SPLITTER_H_

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

/// One field of a log line: where its value starts and how long it is. A
/// negative length marks a malformed field (a lone double quote).
struct FieldSpan {
  std::size_t start = 0;
  long length = 0;
};

/// How the fields of a line are cut, beyond the rules every layout shares.
struct SplitRules {
  /// An '=' also ends a plain field and is skipped like one blank (used to
  /// count the fields of a header sample line).
  bool equalsEndsField = false;
  /// Inside a quoted field a backslash escapes the next quote or backslash
  /// (`\"`, `\\`), so an escaped quote never closes the field; the value
  /// keeps its bytes as written (the web server layouts).
  bool backslashEscapes = false;
};

/// Cuts a log line into fields in place, one field per call of next().
///
/// A field is quoted (starts with '"', the value runs to the closing quote
/// that findClosingQuote() finds), bracketed (starts with '[', runs through
/// the first ']' followed by a separator or the line end, brackets kept) or
/// plain (runs to the first blank, tab, carriage return or line feed). A
/// blank or tab ends a value; further blanks after it are skipped, a further
/// tab starts an empty field. A carriage return, line feed or the line end
/// makes the field the last one, so a separator directly before the line end
/// yields one more, empty field. Nothing is copied or allocated.
class FieldSplitter {
 public:
  /// Splits `line` by the shared rules and `rules`.
  explicit FieldSplitter(std::string_view line, SplitRules rules = {})
      : line_(line), rules_(rules) {}

  /// Finds the next field; false when the line has no more fields.
  bool next(FieldSpan* field);

  /// The value of `field`, empty for a malformed one.
  std::string_view valueOf(const FieldSpan& field) const {
    std::size_t length =
        field.length > 0 ? static_cast<std::size_t>(field.length) : 0;
    return std::string_view(line_.data() + field.start, length);
  }

 private:
  std::string_view line_;
  std::size_t position_ = 0;
  SplitRules rules_;
  bool finished_ = false;
};

namespace field_splitter_detail {

/// True for the characters that may follow a closing quote or bracket.
inline bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/// True for the characters that end the line.
inline bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

/// Characters that end a plain field, indexed by their unsigned value.
constexpr std::array<bool, 256> plainFieldEnds(bool withEquals) {
  std::array<bool, 256> ends{};
  ends[' '] = ends['\t'] = ends['\r'] = ends['\n'] = true;
  if (withEquals) ends['='] = true;
  return ends;
}
inline constexpr std::array<bool, 256> kEndsPlain = plainFieldEnds(false);
inline constexpr std::array<bool, 256> kEndsPlainOrEquals =
    plainFieldEnds(true);

/// Index of the first character at or after `at` that ends a plain field
/// (blank, tab, carriage return, line feed), or `size`. Every such character
/// is below '!', so eight bytes at a time are tested for one below '!' and
/// the table decides about the first one found.
inline std::size_t findPlainEnd(const char* text, std::size_t at,
                                std::size_t size) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    while (size - at >= 8) {
      std::uint64_t word;
      std::memcpy(&word, text + at, 8);
      // The lowest marked byte is exactly the first byte below '!'; marks
      // above it may be borrows and are not looked at.
      const std::uint64_t below = (word - kOnes * '!') & ~word & kHighBits;
      if (below == 0) {
        at += 8;
        continue;
      }
      at += static_cast<std::size_t>(std::countr_zero(below)) / 8;
      if (kEndsPlain[static_cast<unsigned char>(text[at])]) return at;
      ++at;  // another control character: part of the value
    }
  }
  while (at < size && !kEndsPlain[static_cast<unsigned char>(text[at])]) ++at;
  return at;
}

/// Length of `line` without its trailing line break.
inline std::size_t lengthWithoutBreak(std::string_view line) {
  std::size_t end = line.size();
  while (end > 0 && isLineBreak(line[end - 1])) --end;
  return end;
}

/// Position of the first `closer` at or after `from` that is followed by a
/// separator or the line end, or npos.
inline std::size_t findCloser(std::string_view line, std::size_t from,
                              char closer) {
  const char* base = line.data();
  std::size_t size = line.size();
  while (from < size) {
    const void* hit = std::memchr(base + from, closer, size - from);
    if (hit == nullptr) return std::string_view::npos;
    std::size_t at =
        static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    if (at + 1 == size || isSeparator(base[at + 1])) return at;
    from = at + 1;
  }
  return std::string_view::npos;
}

}  // namespace field_splitter_detail

/// True when the character at `at` is escaped: an odd number of
/// backslashes stand right before it, all at or after `start`, where the
/// value begins. Shared by every layout that reads backslash escapes.
inline bool isBackslashEscaped(std::string_view line, std::size_t start, std::size_t at) {
  std::size_t backslashes = 0;
  while (at - backslashes > start && line[at - backslashes - 1] == '\\') ++backslashes;
  return backslashes % 2 == 1;
}

/// Position of the quote that closes the quoted field whose opening quote
/// stands at `open`: the first '"' from `open` on that is followed by a
/// separator (blank, tab, carriage return, line feed) or the line end and,
/// with `backslashEscapes`, is not escaped (preceded, inside the field, by
/// an odd number of backslashes). A lone quote before a separator closes
/// itself (`open` is returned). npos when the field is never closed.
std::size_t findClosingQuote(std::string_view line, std::size_t open,
                             bool backslashEscapes);

inline bool FieldSplitter::next(FieldSpan* field) {
  using namespace field_splitter_detail;
  if (finished_) return false;
  const std::size_t size = line_.size();
  const std::size_t start = position_;
  std::size_t terminator;  // index of the character that ended the value

  if (start < size && line_[start] == '"') {
    std::size_t close = rules_.backslashEscapes
                            ? findClosingQuote(line_, start, true)
                            : findCloser(line_, start, '"');
    if (close != std::string_view::npos) {
      // A lone quote before a separator closes itself: length -1.
      field->start = start + 1;
      field->length = static_cast<long>(close) - static_cast<long>(start) - 1;
      terminator = close + 1;
    } else {
      field->start = start + 1;
      std::size_t end = lengthWithoutBreak(line_);
      field->length = end > start + 1 ? static_cast<long>(end - start - 1) : 0;
      terminator = size;
    }
  } else if (start < size && line_[start] == '[') {
    std::size_t close = findCloser(line_, start + 1, ']');
    field->start = start;
    if (close != std::string_view::npos) {
      field->length = static_cast<long>(close + 1 - start);
      terminator = close + 1;
    } else {
      std::size_t end = lengthWithoutBreak(line_);
      field->length = end > start ? static_cast<long>(end - start) : 0;
      terminator = size;
    }
  } else {
    const char* text = line_.data();
    std::size_t at = start;
    if (rules_.equalsEndsField) {
      while (at < size && !kEndsPlainOrEquals[static_cast<unsigned char>(
                              text[at])]) {
        ++at;
      }
    } else {
      at = findPlainEnd(text, start, size);
    }
    field->start = start;
    field->length = static_cast<long>(at - start);
    terminator = at;
  }

  if (terminator >= size || isLineBreak(line_[terminator])) {
    finished_ = true;
    return true;
  }
  std::size_t next = terminator + 1;
  while (next < size && line_[next] == ' ') ++next;
  position_ = next;
  return true;
}

/// Number of fields in `line` by the rules of FieldSplitter, counting no
/// further than `limit`.
int countFields(std::string_view line, SplitRules rules = {},
                int limit = std::numeric_limits<int>::max());

#endif  // PARSER_FIELD_SPLITTER_H_
