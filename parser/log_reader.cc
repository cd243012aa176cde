#include "parser/log_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// Longest stretch read through zlib at once while skipping: below its
// output buffer, so zlib decompresses in the steps gzgets takes.
constexpr unsigned kSkipStep = 8192;

}  // namespace

LogReader::~LogReader() { close(); }

bool LogReader::open(const std::string& path, const ReadSettings& settings) {
  close();
  error_.clear();
  // Some platforms open a directory for reading; it is no log all the same.
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  // Reads are large; the decoder needs no buffer of the C library's.
  std::setvbuf(file, nullptr, _IONBF, 0);
  path_ = path;
  // Only inflating is worth a thread: a plain log is read faster by the
  // thread that converts it, from blocks in its own cache.
  unsigned char magic[2] = {0, 0};
  const bool gzip = std::fread(magic, 1, 2, file) == 2 && magic[0] == 0x1f &&
                    magic[1] == 0x8b;
  std::rewind(file);
  auto decoder = std::make_unique<LogDecoder>(
      file, settings.fastInflater ? makeInflater() : makeZlibInflater());
  readAhead_ = std::make_unique<ReadAhead>(std::move(decoder),
                                           settings.ownThread && gzip);
  return true;
}

bool LogReader::nextBlock() {
  const ReadAhead::Block* block = readAhead_->next();
  if (block == nullptr) {
    block_ = nullptr;
    blockLength_ = blockPosition_ = 0;
    return false;
  }
  block_ = block->bytes.get();
  blockLength_ = block->length;
  blockPosition_ = 0;
  return true;
}

bool LogReader::readLine(char* buffer, std::size_t* length) {
  if (gzFile_ != nullptr) return readLineThroughZlib(buffer, length);
  if (readAhead_ == nullptr || ended_) return false;
  // As gzgets: up to the first line break or kLineReadLimit - 1 bytes.
  std::size_t copied = 0;
  constexpr std::size_t kLimit = kLineReadLimit - 1;
  while (true) {
    if (blockPosition_ == blockLength_ && !nextBlock()) break;
    const char* from = block_ + blockPosition_;
    std::size_t take = std::min(blockLength_ - blockPosition_, kLimit - copied);
    const void* lineBreak = std::memchr(from, '\n', take);
    if (lineBreak != nullptr) take = static_cast<const char*>(lineBreak) - from + 1;
    std::memcpy(buffer + copied, from, take);
    copied += take;
    blockPosition_ += take;
    if (lineBreak != nullptr || copied == kLimit) break;
  }
  if (block_ == nullptr && readAhead_->irregular()) {
    // What zlib makes of the rest, this line included, is zlib's to say.
    if (!startRereading()) return false;
    return readLineThroughZlib(buffer, length);
  }
  if (copied == 0) {
    ended_ = true;
    return false;
  }
  lineStart_ += copied;
  buffer[copied] = '\0';
  *length = std::strlen(buffer);
  return true;
}

bool LogReader::startRereading() {
  readAhead_.reset();
  gzFile file = gzopen(path_.c_str(), "rb");
  if (file == nullptr) {
    error_ = "the log could not be reopened";
    return false;
  }
  gzFile_ = file;
  char scratch[kSkipStep];
  for (std::uint64_t left = lineStart_; left > 0;) {
    unsigned step = static_cast<unsigned>(std::min<std::uint64_t>(left, kSkipStep));
    int got = gzread(file, scratch, step);
    if (got != static_cast<int>(step)) {
      int code = Z_OK;
      const char* message = gzerror(file, &code);
      error_ = code != Z_OK && message != nullptr && *message != '\0'
                   ? message
                   : "the log changed while it was read";
      return false;
    }
    left -= step;
  }
  return true;
}

bool LogReader::readLineThroughZlib(char* buffer, std::size_t* length) {
  if (failed()) return false;
  gzFile file = static_cast<gzFile>(gzFile_);
  if (gzgets(file, buffer, kLineReadLimit) == nullptr) {
    int code = Z_OK;
    const char* message = gzerror(file, &code);
    if (code != Z_OK && code != Z_STREAM_END) {
      error_ = message != nullptr && *message != '\0' ? message : "read error";
    } else if (!gzeof(file)) {
      error_ = "read stopped before the end of the data";
    }
    return false;
  }
  *length = std::strlen(buffer);
  return true;
}

void LogReader::close() {
  readAhead_.reset();
  block_ = nullptr;
  blockLength_ = blockPosition_ = 0;
  lineStart_ = 0;
  ended_ = false;
  if (gzFile_ != nullptr) {
    gzclose(static_cast<gzFile>(gzFile_));
    gzFile_ = nullptr;
  }
}
