#include "parser/field_splitter.h"

#include <array>
#include <cstring>

namespace {

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
constexpr std::array<bool, 256> kEndsPlain = plainFieldEnds(false);
constexpr std::array<bool, 256> kEndsPlainOrEquals = plainFieldEnds(true);

/// Length of `line` without its trailing line break.
std::size_t lengthWithoutBreak(std::string_view line) {
  std::size_t end = line.size();
  while (end > 0 && isLineBreak(line[end - 1])) --end;
  return end;
}

/// Position of the first `closer` at or after `from` that is followed by a
/// separator or the line end, or npos.
std::size_t findCloser(std::string_view line, std::size_t from, char closer) {
  const char* base = line.data();
  std::size_t size = line.size();
  while (from < size) {
    const void* hit = std::memchr(base + from, closer, size - from);
    if (hit == nullptr) return std::string_view::npos;
    std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    if (at + 1 == size || isSeparator(base[at + 1])) return at;
    from = at + 1;
  }
  return std::string_view::npos;
}

}  // namespace

bool FieldSplitter::next(FieldSpan* field) {
  if (finished_) return false;
  const std::size_t size = line_.size();
  const std::size_t start = position_;
  std::size_t terminator;  // index of the character that ended the value

  if (start < size && line_[start] == '"') {
    std::size_t close = findCloser(line_, start, '"');
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
    const bool* ends = equalsEndsField_ ? kEndsPlainOrEquals.data() : kEndsPlain.data();
    const char* text = line_.data();
    std::size_t at = start;
    while (at < size && !ends[static_cast<unsigned char>(text[at])]) ++at;
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

int countFields(std::string_view line, bool equalsEndsField) {
  FieldSplitter splitter(line, equalsEndsField);
  FieldSpan field;
  int count = 0;
  while (splitter.next(&field)) ++count;
  return count;
}
