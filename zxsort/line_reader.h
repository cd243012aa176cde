#ifndef ZXSORT_LINE_READER_H_
#define ZXSORT_LINE_READER_H_

#include <cstdio>
#include <memory>
#include <string_view>

/// Reads the lines of a file opened in binary mode through one fixed
/// buffer, keeping every byte (carriage returns included).
class LineReader {
 public:
  /// What `next` found.
  enum Result { kLine, kTooLong, kEnd };

  /// Reads `file` with lines of at most `maxLength` bytes, line feed included.
  LineReader(std::FILE* file, std::size_t maxLength);

  /// The next line with its line feed, valid until the following call. A
  /// longer line is consumed whole and reported as kTooLong.
  Result next(std::string_view* line);

  /// Makes the following `next` return the last line again.
  void unread() { pending_ = true; }

 private:
  // Moves the unread bytes to the front and reads more; false at the end.
  bool fill();
  // Consumes bytes up to and including the next line feed.
  void skipRestOfLine();

  std::FILE* file_;
  std::size_t maxLength_;
  std::unique_ptr<char[]> buffer_;  // not zeroed: only bytes read are looked at
  std::size_t capacity_;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // end of the bytes read
  bool atEnd_ = false;
  bool pending_ = false;
  std::string_view last_;
};

#endif  // ZXSORT_LINE_READER_H_
