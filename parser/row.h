#ifndef PARSER_ROW_H_
#define PARSER_ROW_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "parser/column_table.h"

/// The data row under construction for one log line. The buffer is reserved
/// once and reused, so building a row allocates nothing. The row remembers
/// where the value of each column was written in the current line, so a
/// later field can rewrite an earlier one in place (the date and time merge).
class Row {
 public:
  /// Where a column's value stands in the row.
  struct Span {
    std::size_t offset = 0;
    std::size_t length = 0;
  };

  Row() {
    text_.reserve(64 * 1024);
    lineOf_.fill(0);
  }

  /// Empties the row for a new line.
  void clear() {
    text_.clear();
    ++line_;
  }
  /// True when nothing has been written to the row.
  bool empty() const { return text_.empty(); }
  /// Appends raw text (separators, quotes).
  void append(std::string_view text) { text_.append(text); }
  /// Appends one character.
  void append(char c) { text_.push_back(c); }
  /// Appends the value of `column` and remembers where it stands.
  void appendValue(int column, std::string_view value) {
    Span& span = spans_[column];
    span.offset = text_.size();
    span.length = value.size();
    lineOf_[column] = line_;
    text_.append(value);
  }
  /// Where the value of `column` was written in this line; false when it
  /// was not written.
  bool spanOf(int column, Span* span) const {
    if (column < 0 || column >= kMaxColumns || lineOf_[column] != line_) {
      return false;
    }
    *span = spans_[column];
    return true;
  }
  /// The row text.
  std::string_view view() const { return text_; }
  /// The row text for editing in place (its length must not change).
  char* data() { return text_.data(); }
  /// Length of the row text.
  std::size_t size() const { return text_.size(); }

 private:
  std::string text_;
  std::array<Span, kMaxColumns> spans_{};
  std::array<std::uint64_t, kMaxColumns> lineOf_;
  std::uint64_t line_ = 1;
};

#endif  // PARSER_ROW_H_
