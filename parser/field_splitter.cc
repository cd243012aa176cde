#include "parser/field_splitter.h"

std::size_t findClosingQuote(std::string_view line, std::size_t open,
                             bool backslashEscapes) {
  std::size_t from = open;
  while (true) {
    const std::size_t at = field_splitter_detail::findCloser(line, from, '"');
    if (at == std::string_view::npos || !backslashEscapes) return at;
    // Escapes are rare: backslashes are counted only before a candidate.
    if (!isBackslashEscaped(line, open + 1, at)) return at;
    from = at + 1;
  }
}

int countFields(std::string_view line, SplitRules rules, int limit) {
  FieldSplitter splitter(line, rules);
  FieldSpan field;
  int count = 0;
  while (count < limit && splitter.next(&field)) ++count;
  return count;
}
