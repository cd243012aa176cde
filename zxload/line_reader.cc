#include "zxload/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#ifdef ZXLOAD_HAVE_ISAL
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#endif

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

void Checksum::update(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_ += size;
#ifdef ZXLOAD_HAVE_ISAL
  // The same sums as zlib's, several times faster.
  crc_ = crc32_gzip_refl(crc_, bytes, size);
  adler_ = isal_adler32(adler_, bytes, size);
#else
  while (size > 0) {
    auto chunk = static_cast<uInt>(size < (1u << 30) ? size : (1u << 30));
    crc_ = static_cast<std::uint32_t>(crc32(crc_, bytes, chunk));
    adler_ = static_cast<std::uint32_t>(adler32(adler_, bytes, chunk));
    bytes += chunk;
    size -= chunk;
  }
#endif
}

FileDigest Checksum::digest() const {
  return {size_, (static_cast<std::uint64_t>(crc_) << 32) | adler_};
}

std::string FileDigest::hex() const {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(checksum));
  return text;
}

LineReader::LineReader(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), buffer_(2 * kReadSize) {
  if (fd_ < 0) error_ = std::strerror(errno);
}

LineReader::~LineReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool LineReader::size(std::uint64_t* bytes) {
  struct stat status;
  if (fd_ < 0) return false;
  if (::fstat(fd_, &status) != 0) {
    error_ = std::strerror(errno);
    return false;
  }
  *bytes = static_cast<std::uint64_t>(status.st_size);
  return true;
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
  checksum_.update(buffer_.data() + end_, static_cast<std::size_t>(got));
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

FileDigest LineReader::digest() const { return checksum_.digest(); }

bool digestFile(const std::string& path, FileDigest* digest, std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  std::vector<char> buffer(kReadSize);
  Checksum checksum;
  long got = 0;
  while ((got = readSome(fd, buffer.data(), buffer.size())) > 0) {
    checksum.update(buffer.data(), static_cast<std::size_t>(got));
  }
  if (got < 0) *error = std::strerror(errno);
  ::close(fd);
  *digest = checksum.digest();
  return got == 0;
}
