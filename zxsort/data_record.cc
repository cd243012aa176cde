#include "zxsort/data_record.h"

char* TextArena::allocate(std::size_t size) {
  while (current_ < chunks_.size()) {
    Chunk& chunk = chunks_[current_];
    if (chunk.size - used_ >= size) {
      char* result = chunk.data.get() + used_;
      used_ += size;
      return result;
    }
    ++current_;
    used_ = 0;
  }
  Chunk chunk;
  chunk.size = size > kChunkSize ? size : kChunkSize;
  chunk.data.reset(new char[chunk.size]);
  chunks_.push_back(std::move(chunk));
  current_ = chunks_.size() - 1;
  used_ = size;
  return chunks_.back().data.get();
}

void TextArena::reset() {
  current_ = 0;
  used_ = 0;
}

std::size_t TextArena::capacity() const {
  std::size_t total = 0;
  for (const Chunk& chunk : chunks_) total += chunk.size;
  return total;
}

std::size_t TextArena::used() const {
  if (chunks_.empty()) return 0;
  std::size_t total = used_;
  for (std::size_t k = 0; k < current_; ++k) total += chunks_[k].size;
  return total;
}
