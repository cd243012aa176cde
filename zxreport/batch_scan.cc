#include "zxreport/batch_scan.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "zxreport/row_batch.h"

namespace {

/// Rows handed over at a time.
constexpr std::size_t kBatchRows = 4096;
/// Full batches that may wait for the counting thread.
constexpr std::size_t kQueued = 4;

/// Full batches on their way to the counting thread, and empty ones back.
class BatchQueue {
 public:
  BatchQueue(const std::vector<ScanColumn>& columns, int producers)
      : columns_(columns), producers_(producers) {}
  /// An empty batch for a scanning thread.
  std::unique_ptr<RowBatch> empty() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.empty()) return std::make_unique<RowBatch>(columns_);
    std::unique_ptr<RowBatch> batch = std::move(spare_.back());
    spare_.pop_back();
    batch->clear();
    return batch;
  }
  /// Hands over a full batch, waiting while too many wait.
  void push(std::unique_ptr<RowBatch> batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return full_.size() < kQueued; });
    full_.push_back(std::move(batch));
    changed_.notify_all();
  }
  /// Tells that one scanning thread has handed over its last batch.
  void producerDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    --producers_;
    changed_.notify_all();
  }
  /// The next full batch, or nullptr when every scan has ended.
  std::unique_ptr<RowBatch> pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !full_.empty() || producers_ == 0; });
    if (full_.empty()) return nullptr;
    std::unique_ptr<RowBatch> batch = std::move(full_.front());
    full_.pop_front();
    changed_.notify_all();
    return batch;
  }
  /// Gives a batch back for reuse.
  void recycle(std::unique_ptr<RowBatch> batch) {
    std::lock_guard<std::mutex> lock(mutex_);
    spare_.push_back(std::move(batch));
  }

 private:
  const std::vector<ScanColumn>& columns_;
  int producers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<RowBatch>> full_;
  std::vector<std::unique_ptr<RowBatch>> spare_;
};

/// The batch one scanning thread fills, handed on when full.
class ProducerPipe : public BatchPipe {
 public:
  explicit ProducerPipe(BatchQueue& queue) : queue_(queue), current_(queue.empty()) {}
  RowBatch& current() override { return *current_; }
  void rowAdded() override {
    if (current_->rows() < kBatchRows) return;
    queue_.push(std::move(current_));
    current_ = queue_.empty();
  }
  /// Hands over the last rows.
  void finish() {
    if (current_->rows() > 0) queue_.push(std::move(current_));
    queue_.producerDone();
  }

 private:
  BatchQueue& queue_;
  std::unique_ptr<RowBatch> current_;
};

}  // namespace

bool scanInBatches(const std::vector<TableSource*>& sources, const std::string& table,
                   const std::vector<ScanColumn>& columns, const TimeRange& range,
                   const std::string& filter, const RowSink& sink, std::string* error) {
  std::vector<std::string> conditions;
  if (!sources[0]->split(table, static_cast<int>(sources.size()), &conditions)) {
    *error = sources[0]->error();
    return false;
  }
  for (std::string& condition : conditions) {
    if (!filter.empty()) condition = condition.empty() ? filter : condition + " AND " + filter;
  }
  const std::size_t parts = std::min(conditions.size(), sources.size());
  BatchQueue queue(columns, static_cast<int>(parts));
  std::vector<char> ok(parts, 0);
  std::vector<std::thread> scanners;
  for (std::size_t k = 0; k < parts; ++k) {
    scanners.emplace_back([&, k] {
      ProducerPipe pipe(queue);
      ok[k] = sources[k]->scan(table, columns, range, conditions[k], pipe);
      pipe.finish();
    });
  }
  while (std::unique_ptr<RowBatch> batch = queue.pop()) {
    BatchRow row(*batch);
    for (std::size_t r = 0; r < batch->rows(); ++r) {
      row.at(r);
      sink(row);
    }
    queue.recycle(std::move(batch));
  }
  for (std::thread& scanner : scanners) scanner.join();
  for (std::size_t k = 0; k < parts; ++k) {
    if (!ok[k]) {
      *error = sources[k]->error();
      return false;
    }
  }
  return true;
}
