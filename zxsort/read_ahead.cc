#include "zxsort/read_ahead.h"

#include <system_error>
#include <utility>

ReadAhead::ReadAhead(std::FILE* data, const ColumnLayout& layout, const RunLog* log,
                     unsigned int tick, bool threaded, std::function<bool()> nearlyFull)
    : layout_(layout), reader_(data, &layout_, log) {
  reader_.holdLogLines(&held_);
  reader_.setMemoryCheck(std::move(nearlyFull));
  if (threaded) {
    reader_.setPace([this](std::size_t held) { pace(held); });
    try {
      thread_ = std::thread(&ReadAhead::readLoop, this, tick);
      return;
    } catch (const std::system_error&) {
      // No thread to be had: read on demand.
    }
  }
  seedGroupIds(tick);
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

void ReadAhead::readOne() {
  held_.clear();
  ok_ = reader_.readInterval(&buffer_);
}

namespace {

// Thrown on the reading thread to leave a read when the caller stops.
struct ReadStopped {};

}  // namespace

void ReadAhead::pace(std::size_t held) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this, held] { return stop_ || callerWaiting_ || held <= aheadLimit_; });
  if (stop_) throw ReadStopped{};
}

// The group identifiers come from the C library generator, whose state may
// belong to the thread (as on Windows): it is seeded where it is drawn.
void ReadAhead::readLoop(unsigned int tick) {
  seedGroupIds(tick);
  for (;;) {
    try {
      readOne();
    } catch (const ReadStopped&) {
      return;
    }
    const bool last = !ok_ || reader_.exhausted();
    std::unique_lock<std::mutex> lock(mutex_);
    ready_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !ready_ || stop_; });
    if (stop_ || last) return;
  }
}

bool ReadAhead::next(IntervalRecords* interval, ColumnLayout* layout,
                     std::vector<HeldLogLine>* heldLines) {
  std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
  // The caller is done with its interval: its memory goes before the next
  // interval is read into new memory.
  *interval = IntervalRecords();
  if (thread_.joinable()) {
    lock.lock();
    callerWaiting_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return ready_; });
    callerWaiting_ = false;
  } else {
    readOne();
  }
  std::swap(*interval, buffer_);
  heldLines->swap(held_);
  layout->groupId = layout_.groupId;
  layout->recordCount = layout_.recordCount;
  layout->currentStart = layout_.currentStart;
  exhausted_ = reader_.exhausted();
  const bool ok = ok_;
  if (lock.owns_lock()) {
    aheadLimit_ = interval->arena.used() / kAheadShareDivisor;
    ready_ = false;
    lock.unlock();
    changed_.notify_all();
  }
  return ok;
}

std::int64_t ReadAhead::skippedLines() {
  // After the last interval the thread reads no more; the lock orders its
  // last count before this reading.
  std::lock_guard<std::mutex> lock(mutex_);
  return reader_.skippedLines();
}
