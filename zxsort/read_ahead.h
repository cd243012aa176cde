#ifndef ZXSORT_READ_AHEAD_H_
#define ZXSORT_READ_AHEAD_H_

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "common/run_log.h"
#include "zxsort/column_layout.h"
#include "zxsort/interval_reader.h"
#include "zxsort/memory_check.h"

/// Reads the data file one interval ahead of its caller, on a second
/// thread, so that the next interval is read while the current one is
/// sorted and written. While the caller holds an interval, the interval
/// read ahead may grow to a share of its text (`kAheadShareDivisor`); the rest is
/// read once the caller has let go of its interval. Memory thus stays
/// below two intervals. Without a second thread it reads on demand.
class ReadAhead {
 public:
  /// Reads `data` for a copy of `layout`; seeds the group identifiers from
  /// `tick` on the reading thread. `threaded` false (or a thread that
  /// cannot be had) reads on the caller's thread. `nearlyFull` is the
  /// physical-memory test.
  ReadAhead(std::FILE* data, const ColumnLayout& layout, const RunLog* log,
            unsigned int tick, bool threaded,
            std::function<bool()> nearlyFull = memoryNearlyFull);
  /// Stops the reading thread, wherever it is in the file.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  /// Share of the caller's interval text the next one may reach before the
  /// caller is done: a quarter.
  static constexpr std::size_t kAheadShareDivisor = 4;

  /// Swaps the next interval into `interval` (whose records the caller is
  /// done with; their memory is released), sets `layout`'s `groupId`, `recordCount` and
  /// `currentStart` as a direct read would, and moves the read's run-log
  /// lines to `heldLines`. False when memory for the records failed.
  bool next(IntervalRecords* interval, ColumnLayout* layout,
            std::vector<HeldLogLine>* heldLines);

  /// Lines skipped; call only once `next` left `currentStart` at -1 or
  /// returned false.
  std::int64_t skippedLines();

  /// True once `next` has handed over the interval that ends the data file.
  bool exhausted() const { return exhausted_; }
  /// True when a machine with `cores` cores should read on a second thread.
  static bool worthThreading(unsigned int cores) { return cores > 1; }

 private:
  // Reads one interval into `buffer_` and records its outcome.
  void readOne();
  // On the reading thread: waits while the text read ahead is over its
  // share and the caller still holds its interval.
  void pace(std::size_t held);
  // The reading thread: reads an interval, waits for it to be taken.
  void readLoop(unsigned int tick);

  ColumnLayout layout_;  // the reader's copy
  IntervalReader reader_;
  IntervalRecords buffer_;  // the interval read ahead
  std::vector<HeldLogLine> held_;
  bool ok_ = true;
  bool exhausted_ = false;  // the caller has the last interval

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ready_ = false;  // buffer_ holds an interval not yet taken
  bool stop_ = false;
  bool callerWaiting_ = false;  // the caller let go of its interval
  std::size_t aheadLimit_ = static_cast<std::size_t>(-1);  // text bytes
};

#endif  // ZXSORT_READ_AHEAD_H_
