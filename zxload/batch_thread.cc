#include "zxload/batch_thread.h"

#include <sched.h>

#include <algorithm>
#include <cstring>
#include <utility>

ValueBatch::ValueBatch(std::vector<std::size_t> columns) : columns_(std::move(columns)) {
  bytes_.resize(kBytes + (kBytes >> 2));
  slots_.resize(kRows * columns_.size());
}

void ValueBatch::add(const std::vector<RowValue>& values) {
  // Room for the whole row first, then plain writes.
  std::size_t need = 0;
  for (std::size_t c : columns_) need += values[c].text.size();
  if (bytes_.size() - used_ < need) bytes_.resize(std::max(bytes_.size() * 2, used_ + need));
  if (slots_.size() < (rows_ + 1) * columns_.size()) slots_.resize((rows_ + 1) * columns_.size());
  Slot* slot = slots_.data() + rows_ * columns_.size();
  char* bytes = bytes_.data();
  for (std::size_t c : columns_) {
    const RowValue& value = values[c];
    const std::size_t size = value.text.size();
    *slot++ = Slot{static_cast<std::uint32_t>(used_), static_cast<std::uint32_t>(size), value.null,
                   value.whole, value.integer};
    if (size != 0) std::memcpy(bytes + used_, value.text.data(), size);
    used_ += size;
  }
  ++rows_;
}

void ValueBatch::row(std::size_t r, std::vector<RowValue>* out) const {
  const Slot* slot = slots_.data() + r * columns_.size();
  for (std::size_t c : columns_) {
    RowValue& value = (*out)[c];
    value.text = std::string_view(bytes_.data() + slot->offset, slot->size);
    value.null = slot->null;
    value.whole = slot->whole;
    value.integer = slot->integer;
    ++slot;
  }
}

void ValueBatch::clear() {
  used_ = 0;
  rows_ = 0;
}

BatchThread::BatchThread(const std::vector<std::size_t>& columns, Consume consume)
    : consume_(std::move(consume)) {
  for (std::size_t k = 0; k < kBatches; ++k) {
    batches_.push_back(std::make_unique<ValueBatch>(columns));
    empty_.push_back(batches_.back().get());
  }
  filling_ = empty_.back();
  empty_.pop_back();
}

BatchThread::~BatchThread() { abandon(); }

void BatchThread::handOver() {
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    full_.push_back(filling_);
  }
  handed_.notify_one();
  std::unique_lock<std::mutex> lock(mutex_);
  freed_.wait(lock, [this] { return !empty_.empty(); });
  filling_ = empty_.back();
  empty_.pop_back();
}

void BatchThread::finish() {
  if (thread_.joinable()) {
    if (filling_->rows() > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      full_.push_back(filling_);
      filling_ = nullptr;
    }
    stop(true);
    if (filling_ == nullptr) {  // the last batch handed over is consumed and free again
      filling_ = empty_.back();
      empty_.pop_back();
    }
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  } else if (filling_->rows() > 0) {
    consume_(*filling_);
    filling_->clear();
  }
}

void BatchThread::abandon() { stop(false); }

void BatchThread::stop(bool drain) {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    (drain ? draining_ : abandoning_) = true;
  }
  handed_.notify_one();
  thread_.join();
  draining_ = abandoning_ = false;
  // Batches left unconsumed are free again.
  for (ValueBatch* batch : full_) {
    batch->clear();
    empty_.push_back(batch);
  }
  full_.clear();
}

void BatchThread::run() {
  for (;;) {
    ValueBatch* batch = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      handed_.wait(lock, [this] { return abandoning_ || draining_ || !full_.empty(); });
      if (abandoning_ || full_.empty()) return;
      batch = full_.front();
      full_.pop_front();
    }
    if (!failure_) {
      try {
        consume_(*batch);
      } catch (...) {
        failure_ = std::current_exception();
      }
    }
    batch->clear();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      empty_.push_back(batch);
    }
    freed_.notify_one();
  }
}

bool BatchThread::spareCore() {
  cpu_set_t cores;
  CPU_ZERO(&cores);
  return sched_getaffinity(0, sizeof cores, &cores) != 0 || CPU_COUNT(&cores) > 1;
}
