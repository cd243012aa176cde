#include "zxsort/line_reader.h"

#include <cstring>

LineReader::LineReader(std::FILE* file, std::size_t maxLength)
    : file_(file), maxLength_(maxLength) {
  capacity_ = 1 << 18;
  if (capacity_ < 4 * maxLength) capacity_ = 4 * maxLength;
  buffer_.reset(new char[capacity_]);
}

bool LineReader::fill() {
  if (atEnd_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  std::size_t got = std::fread(buffer_.get() + end_, 1, capacity_ - end_, file_);
  if (got == 0) atEnd_ = true;
  end_ += got;
  return got > 0;
}

void LineReader::skipRestOfLine() {
  for (;;) {
    const char* start = buffer_.get() + begin_;
    const void* feed = std::memchr(start, '\n', end_ - begin_);
    if (feed != nullptr) {
      begin_ = static_cast<std::size_t>(static_cast<const char*>(feed) - buffer_.get()) + 1;
      return;
    }
    begin_ = end_;
    if (!fill()) return;
  }
}

LineReader::Result LineReader::next(std::string_view* line) {
  if (pending_) {
    pending_ = false;
    *line = last_;
    return kLine;
  }
  for (;;) {
    std::size_t available = end_ - begin_;
    std::size_t window = available < maxLength_ ? available : maxLength_;
    const char* start = buffer_.get() + begin_;
    const void* feed = std::memchr(start, '\n', window);
    if (feed != nullptr) {
      std::size_t length = static_cast<std::size_t>(static_cast<const char*>(feed) - start) + 1;
      last_ = std::string_view(start, length);
      begin_ += length;
      *line = last_;
      return kLine;
    }
    if (available >= maxLength_) {
      skipRestOfLine();
      return kTooLong;
    }
    if (!fill()) {
      // The last line of a file without a final line feed.
      if (end_ == begin_) return kEnd;
      last_ = std::string_view(buffer_.get() + begin_, end_ - begin_);
      begin_ = end_;
      *line = last_;
      return kLine;
    }
  }
}
