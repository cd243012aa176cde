#ifndef PARSER_READ_AHEAD_H_
#define PARSER_READ_AHEAD_H_

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "parser/log_decoder.h"

/// Runs a LogDecoder ahead of the reader, on a thread of its own or on the
/// reader's, and hands its data over in large blocks through a bounded
/// queue: one lock per block, never per line. A block is handed over only
/// once the data after it shows that zlib would deliver it too, so when
/// the decoder meets an irregularity everything handed over is data zlib
/// yields as well.
class ReadAhead {
 public:
  /// Bytes of one block when decoding on a thread; on the reader's thread
  /// smaller blocks stay in its cache.
  static constexpr std::size_t kBlockSize = 512 * 1024;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // Small enough for the sanitizer's cached allocations, so that opening
  // a log costs a fuzz target no fresh mappings; block edges come sooner.
  static constexpr std::size_t kSameThreadBlockSize = 64 * 1024;
#else
  static constexpr std::size_t kSameThreadBlockSize = 128 * 1024;
#endif
  /// Blocks in circulation when decoding on a thread: one read, one held
  /// back, one being decoded, the rest waiting in the queue.
  static constexpr std::size_t kThreadedBlocks = 6;

  /// A stretch of the data.
  struct Block {
    std::unique_ptr<char[]> bytes;
    std::size_t length = 0;
  };

  /// Starts decoding with `decoder`; on a thread when `threaded` (falling
  /// back to the caller's thread if none can be started).
  ReadAhead(std::unique_ptr<LogDecoder> decoder, bool threaded);
  /// Stops the decoding thread, whatever it was doing.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  /// The next block, nullptr once the data is exhausted; the block returned
  /// before is given back.
  const Block* next();
  /// After next() returned nullptr: true when the data ended at an
  /// irregularity rather than at its regular end.
  bool irregular() const { return irregular_; }
  /// True when a decoding thread runs.
  bool threaded() const { return thread_.joinable(); }

 private:
  /// Decodes one block and hands over what became safe; false once the
  /// decoder is finished or asked to stop.
  bool decodeBlock();
  /// A free block; nullptr when asked to stop.
  Block* takeFreeBlock();
  void handOver(Block* block);
  void giveBack(Block* block);
  void finish(bool irregular);
  void decodeLoop();

  std::unique_ptr<LogDecoder> decoder_;
  std::size_t blockSize_;
  std::vector<std::unique_ptr<Block>> blocks_;
  Block* heldBack_ = nullptr;
  Block* reading_ = nullptr;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Block*> free_;
  std::deque<Block*> ready_;
  bool finished_ = false;
  bool irregular_ = false;
  bool stop_ = false;
  std::thread thread_;
};

/// True when the machine has more than one core to decode on.
bool decodeOnThread();

#endif  // PARSER_READ_AHEAD_H_
