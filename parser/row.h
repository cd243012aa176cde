#ifndef PARSER_ROW_H_
#define PARSER_ROW_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

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

  Row() : text_(new char[64 * 1024]), capacity_(64 * 1024) { lineOf_.fill(0); }

  /// Empties the row for a new line.
  void clear() {
    size_ = 0;
    ++line_;
  }
  /// True when nothing has been written to the row.
  bool empty() const { return size_ == 0; }
  /// Appends raw text (separators, quotes).
  void append(std::string_view text) {
    makeRoom(text.size());
    std::memcpy(text_.get() + size_, text.data(), text.size());
    size_ += text.size();
  }
  /// Appends one character.
  void append(char c) {
    makeRoom(1);
    text_[size_++] = c;
  }
  /// Appends the value of `column` and remembers where it stands.
  void appendValue(int column, std::string_view value) {
    Span& span = spans_[column];
    span.offset = size_;
    span.length = value.size();
    lineOf_[column] = line_;
    append(value);
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
  std::string_view view() const { return std::string_view(text_.get(), size_); }
  /// The row text for editing in place (its length must not change).
  char* data() { return text_.get(); }
  /// Length of the row text.
  std::size_t size() const { return size_; }

 private:
  /// Makes room for `more` bytes after the text.
  void makeRoom(std::size_t more) {
    if (size_ + more > capacity_) grow(size_ + more);
  }
  /// Moves the text to a buffer of at least `needed` bytes.
  void grow(std::size_t needed) {
    std::size_t capacity = capacity_ * 2 > needed ? capacity_ * 2 : needed;
    std::unique_ptr<char[]> larger(new char[capacity]);
    std::memcpy(larger.get(), text_.get(), size_);
    text_ = std::move(larger);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> text_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::array<Span, kMaxColumns> spans_{};
  std::array<std::uint64_t, kMaxColumns> lineOf_;
  std::uint64_t line_ = 1;
};

#endif  // PARSER_ROW_H_
