#include "zxload/line_reader.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

/// Bytes asked of the system per read.
constexpr std::size_t kReadSize = 1 << 20;

/// Reads into `out` at most `size` bytes, retrying interrupted reads.
long readSome(int fd, char* out, std::size_t size) {
  for (;;) {
    ssize_t got = ::read(fd, out, size);
    if (got >= 0 || errno != EINTR) return static_cast<long>(got);
  }
}

}  // namespace

std::string FileDigest::hex() const {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(checksum));
  return text;
}

LineReader::LineReader(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), buffer_(2 * kReadSize) {
  crc_ = crc32(0L, Z_NULL, 0);
  adler_ = adler32(0L, Z_NULL, 0);
  if (fd_ < 0) error_ = std::strerror(errno);
}

LineReader::~LineReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool LineReader::fill() {
  if (atEnd_ || !error_.empty()) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (buffer_.size() - end_ < kReadSize) buffer_.resize(end_ + kReadSize);
  long got = readSome(fd_, buffer_.data() + end_, kReadSize);
  if (got < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  if (got == 0) {
    atEnd_ = true;
    return false;
  }
  auto* bytes = reinterpret_cast<const Bytef*>(buffer_.data() + end_);
  crc_ = crc32(crc_, bytes, static_cast<uInt>(got));
  adler_ = adler32(adler_, bytes, static_cast<uInt>(got));
  size_ += static_cast<std::uint64_t>(got);
  end_ += static_cast<std::size_t>(got);
  return true;
}

bool LineReader::next(std::string_view* line) {
  if (fd_ < 0) return false;
  std::size_t searched = begin_;
  for (;;) {
    const char* start = buffer_.data() + searched;
    const void* lf = std::memchr(start, '\n', end_ - searched);
    if (lf != nullptr) {
      std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.data());
      std::size_t length = stop - begin_;
      if (length > 0 && buffer_[stop - 1] == '\r') --length;
      *line = std::string_view(buffer_.data() + begin_, length);
      begin_ = stop + 1;
      ++lineNumber_;
      return true;
    }
    searched = end_;
    if (end_ - begin_ >= kMaxLine) {
      error_ = "line " + std::to_string(lineNumber_ + 1) + " is longer than " +
               std::to_string(kMaxLine) + " bytes";
      return false;
    }
    std::size_t unread = end_ - begin_;
    if (!fill()) {
      if (atEnd_ && unread > 0) {
        error_ = "line " + std::to_string(lineNumber_ + 1) +
                 " has no line end: the file is cut short";
      }
      return false;
    }
    searched = begin_ + unread;
  }
}

FileDigest LineReader::digest() const {
  return {size_, (static_cast<std::uint64_t>(crc_) << 32) | (adler_ & 0xffffffffu)};
}

bool digestFile(const std::string& path, FileDigest* digest, std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  std::vector<char> buffer(kReadSize);
  unsigned long crc = crc32(0L, Z_NULL, 0);
  unsigned long adler = adler32(0L, Z_NULL, 0);
  std::uint64_t size = 0;
  long got = 0;
  while ((got = readSome(fd, buffer.data(), buffer.size())) > 0) {
    auto* bytes = reinterpret_cast<const Bytef*>(buffer.data());
    crc = crc32(crc, bytes, static_cast<uInt>(got));
    adler = adler32(adler, bytes, static_cast<uInt>(got));
    size += static_cast<std::uint64_t>(got);
  }
  if (got < 0) *error = std::strerror(errno);
  ::close(fd);
  *digest = {size, (static_cast<std::uint64_t>(crc) << 32) | (adler & 0xffffffffu)};
  return got == 0;
}
