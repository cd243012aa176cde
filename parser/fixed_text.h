#ifndef PARSER_FIXED_TEXT_H_
#define PARSER_FIXED_TEXT_H_

#include <cstddef>
#include <cstring>
#include <string_view>

/// A text of at most N characters stored in place; longer input is cut to
/// N characters. Never allocates.
template <std::size_t N>
class FixedText {
 public:
  FixedText() { clear(); }

  /// Replaces the text, cutting it to N characters.
  void assign(std::string_view text) {
    std::size_t length = text.size() < N ? text.size() : N;
    // An empty view may carry a null pointer, which memmove must not get.
    if (length != 0) std::memmove(data_, text.data(), length);
    size_ = length;
    data_[length] = '\0';
  }
  /// Makes the text empty.
  void clear() {
    size_ = 0;
    data_[0] = '\0';
  }
  /// The text.
  std::string_view view() const { return std::string_view(data_, size_); }
  /// The text, zero-terminated.
  const char* c_str() const { return data_; }
  /// The characters, for editing in place; keep the length with resize().
  char* data() { return data_; }
  /// Sets the length to min(length, N) after an edit in place.
  void resize(std::size_t length) {
    size_ = length < N ? length : N;
    data_[size_] = '\0';
  }
  /// Number of characters.
  std::size_t size() const { return size_; }
  /// True when the text is empty.
  bool empty() const { return size_ == 0; }
  /// Largest number of characters the text holds.
  static constexpr std::size_t capacity() { return N; }

 private:
  char data_[N + 1];
  std::size_t size_;
};

#endif  // PARSER_FIXED_TEXT_H_
