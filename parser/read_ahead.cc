#include "parser/read_ahead.h"

#include <system_error>
#include <utility>

namespace {

// Without a thread: one block read, one held back, one being decoded.
constexpr std::size_t kSameThreadBlocks = 3;

}  // namespace

bool decodeOnThread() { return std::thread::hardware_concurrency() > 1; }

ReadAhead::ReadAhead(std::unique_ptr<LogDecoder> decoder, bool threaded)
    : decoder_(std::move(decoder)),
      blockSize_(threaded ? kBlockSize : kSameThreadBlockSize) {
  std::size_t count = threaded ? kThreadedBlocks : kSameThreadBlocks;
  for (std::size_t i = 0; i < count; ++i) {
    blocks_.push_back(std::make_unique<Block>());
    blocks_.back()->bytes.reset(new char[blockSize_]);
    free_.push_back(blocks_.back().get());
  }
  if (!threaded) return;
  try {
    thread_ = std::thread(&ReadAhead::decodeLoop, this);
  } catch (const std::system_error&) {
    // Decoding then happens on the reader's thread, with more and larger
    // blocks than it needs.
  }
}

ReadAhead::~ReadAhead() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ReadAhead::decodeLoop() {
  while (decodeBlock()) {
  }
}

const ReadAhead::Block* ReadAhead::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (reading_ != nullptr) {
    free_.push_back(reading_);
    reading_ = nullptr;
    changed_.notify_all();
  }
  while (ready_.empty() && !finished_) {
    if (thread_.joinable()) {
      changed_.wait(lock);
    } else {
      lock.unlock();
      decodeBlock();
      lock.lock();
    }
  }
  if (ready_.empty()) return nullptr;
  reading_ = ready_.front();
  ready_.pop_front();
  return reading_;
}

bool ReadAhead::decodeBlock() {
  Block* block = takeFreeBlock();
  if (block == nullptr) return false;
  LogDecoder::Outcome outcome =
      decoder_->fill(block->bytes.get(), blockSize_, &block->length);
  if (outcome == LogDecoder::Outcome::kIrregular) {
    // The block held back and this one may hold bytes zlib would not
    // deliver; the reader rereads them.
    giveBack(block);
    if (heldBack_ != nullptr) giveBack(std::exchange(heldBack_, nullptr));
    finish(true);
    return false;
  }
  // A full block lies beyond the one held back: more than the unsafe tail
  // of any member, or a member's checked end.
  static_assert(kSameThreadBlockSize > LogDecoder::kUnsafeTail &&
                kBlockSize > LogDecoder::kUnsafeTail);
  if (heldBack_ != nullptr) handOver(std::exchange(heldBack_, nullptr));
  if (outcome == LogDecoder::Outcome::kFull) {
    heldBack_ = block;
    return true;
  }
  if (block->length > 0) {
    handOver(block);
  } else {
    giveBack(block);
  }
  finish(false);
  return false;
}

ReadAhead::Block* ReadAhead::takeFreeBlock() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return stop_ || !free_.empty(); });
  if (stop_) return nullptr;
  Block* block = free_.back();
  free_.pop_back();
  return block;
}

void ReadAhead::handOver(Block* block) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_.push_back(block);
  }
  changed_.notify_all();
}

void ReadAhead::giveBack(Block* block) {
  std::lock_guard<std::mutex> lock(mutex_);
  free_.push_back(block);
}

void ReadAhead::finish(bool irregular) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    irregular_ = irregular;
  }
  changed_.notify_all();
}
