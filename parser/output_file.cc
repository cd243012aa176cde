#include "parser/output_file.h"

#include <cstring>

bool LazyFile::open() {
  file_ = std::fopen(path_.c_str(), "wb");
  if (file_ == nullptr) return false;
  // The block below does the buffering; the library's own would only add
  // a second copy.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  block_ = std::make_unique<char[]>(kBlockSize);
  blockUsed_ = 0;
  return true;
}

bool LazyFile::write(std::string_view bytes) {
  if (file_ == nullptr && !open()) return false;
  if (bytes.size() > kBlockSize - blockUsed_) {
    if (!flushBlock()) return false;
    // Larger than a whole block: nothing is gained by copying it.
    if (bytes.size() > kBlockSize) return writeThrough(bytes);
  }
  if (!bytes.empty()) {
    std::memcpy(block_.get() + blockUsed_, bytes.data(), bytes.size());
    blockUsed_ += bytes.size();
  }
  return true;
}

bool LazyFile::flushBlock() {
  const std::size_t used = blockUsed_;
  blockUsed_ = 0;
  return writeThrough(std::string_view(block_.get(), used));
}

bool LazyFile::writeThrough(std::string_view bytes) {
  if (bytes.empty()) return true;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    error_ = true;
    return false;
  }
  return true;
}

bool LazyFile::close() {
  if (file_ == nullptr) return !error_;
  if (!flushBlock()) error_ = true;
  if (std::fclose(file_) != 0) error_ = true;
  file_ = nullptr;
  block_.reset();
  return !error_;
}
