#ifndef ZXLOAD_BATCH_THREAD_H_
#define ZXLOAD_BATCH_THREAD_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zxload/row_values.h"

/// The values of some columns of rows, copied out of the lines they were
/// split from (which the reader reuses), so that another thread can read
/// them. Its buffers are kept when it is cleared: once a few batches have
/// been filled, adding a row allocates nothing.
class ValueBatch {
 public:
  /// Rows of a batch at most.
  static constexpr std::size_t kRows = 2048;
  /// Bytes of text after which a batch counts as full.
  static constexpr std::size_t kBytes = 1 << 20;

  /// A batch of the columns `columns` (indexes into a row's values).
  explicit ValueBatch(std::vector<std::size_t> columns);
  /// Copies the text, NULL and whole number of the batch's columns of
  /// `values`.
  void add(const std::vector<RowValue>& values);
  /// Puts row `r`'s text, NULL and whole number of the batch's columns into
  /// `out` (as long as `values`, other columns untouched); valid until `clear`.
  void row(std::size_t r, std::vector<RowValue>* out) const;
  /// Rows added.
  std::size_t rows() const { return rows_; }
  /// True when no row should be added before it is handed on.
  bool full() const { return rows_ >= kRows || used_ >= kBytes; }
  /// Forgets the rows, keeping the buffers.
  void clear();

 private:
  struct Slot {  // a value: its bytes in bytes_ (a full batch stays far below 4 GiB)
    std::uint32_t offset;
    std::uint32_t size;
    bool null;
    bool whole;             // the number read while splitting, when whole
    std::int64_t integer;
  };
  std::vector<std::size_t> columns_;
  std::string bytes_;          // the values' text in the first used_ bytes, then room
  std::vector<Slot> slots_;    // a row's slots after another's, then room
  std::size_t used_ = 0;
  std::size_t rows_ = 0;
};

/// Hands filled batches to one thread that passes them, in the order they
/// were filled, to a function; a few batches circulate between the two.
/// The thread starts with the first batch handed over, so that a load of
/// fewer rows than a batch runs on the calling thread alone.
class BatchThread {
 public:
  using Consume = std::function<void(const ValueBatch&)>;
  /// Batches of `columns` go to `consume`, on the thread but for the last
  /// one when the thread never started.
  BatchThread(const std::vector<std::size_t>& columns, Consume consume);
  /// Stops the thread as `abandon` does.
  ~BatchThread();
  BatchThread(const BatchThread&) = delete;
  BatchThread& operator=(const BatchThread&) = delete;

  /// The batch to fill.
  ValueBatch& filling() { return *filling_; }
  /// Hands the batch filled to the thread and takes an empty one (waiting
  /// while every other batch is still in the thread's hands).
  void handOver();
  /// Waits until every row added has been consumed and stops the thread;
  /// rethrows what `consume` threw.
  void finish();
  /// Stops the thread after the batch it is at; the rest is dropped.
  void abandon();

  /// True when this process may run on more than one core.
  static bool spareCore();

 private:
  /// Consumes batches until told to stop.
  void run();
  /// Stops the thread; with `drain`, after the batches handed over.
  void stop(bool drain);

  static constexpr std::size_t kBatches = 4;

  Consume consume_;
  std::vector<std::unique_ptr<ValueBatch>> batches_;
  ValueBatch* filling_;
  std::mutex mutex_;
  std::condition_variable handed_, freed_;
  std::deque<ValueBatch*> full_;   // handed over, in order
  std::vector<ValueBatch*> empty_; // consumed, free to fill
  bool draining_ = false, abandoning_ = false;
  std::exception_ptr failure_;     // set by the thread, read after it ended
  std::thread thread_;
};

#endif  // ZXLOAD_BATCH_THREAD_H_
