#include "parser/values_ahead.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "parser/log_reader.h"

ValuesAhead::ValuesAhead(LogReader& reader, FieldSource& source, std::size_t positions)
    : reader_(reader),
      source_(source),
      positions_(positions),
      decodesValues_(source.decodesValues()),
      lineRoom_(kLineReadLimit + 1 + kLinePadding + source.valueBytes() + positions),
      batchBytes_(std::max(kBatchBytes, 2 * lineRoom_)) {
  for (std::size_t i = 0; i < kBatches; ++i) {
    auto batch = std::make_unique<Batch>();
    batch->bytes.reset(new char[batchBytes_]);
    batch->lines.reserve(kBatchLines);
    batch->values.reserve(kBatchLines * positions_);
    free_.push_back(batch.get());
    batches_.push_back(std::move(batch));
  }
}

ValuesAhead::~ValuesAhead() { stop(); }

bool ValuesAhead::start() {
  try {
    thread_ = std::thread(&ValuesAhead::readLoop, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void ValuesAhead::stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ValuesAhead::readLoop() {
  while (Batch* batch = takeFree()) {
    fill(batch);
    const bool last = batch->last;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ready_.push_back(batch);
    }
    changed_.notify_all();
    if (last) return;
  }
}

void ValuesAhead::fill(Batch* batch) {
  batch->used = 0;
  batch->lines.clear();
  batch->values.clear();
  batch->last = false;
  while (batch->lines.size() < kBatchLines && batchBytes_ - batch->used >= lineRoom_) {
    char* text = batch->bytes.get() + batch->used;
    std::size_t length = 0;
    if (!reader_.readLine(text, &length)) {
      batch->last = true;
      return;
    }
    length = removeBlankBeforeBreak(text, length);
    std::memset(text + length, ' ', kLinePadding);
    batch->used += length + kLinePadding;
    Line line;
    line.text = text;
    line.length = length;
    const std::size_t first = batch->values.size();
    batch->values.resize(first + positions_);
    std::string_view* values = batch->values.data() + first;
    line.outcome = source_.readPadded(std::string_view(text, length), values, &line.found);
    for (std::size_t p = 0; p < positions_; ++p) values[p] = keep(batch, values[p], text, length);
    if (line.outcome != SourceOutcome::kComplete) {
      line.problem = keep(batch, source_.problem(), nullptr, 0);
    }
    batch->lines.push_back(line);
  }
}

std::string_view ValuesAhead::keep(Batch* batch, std::string_view text, const char* line,
                                   std::size_t length) {
  if (line != nullptr && text.data() >= line && text.data() + text.size() <= line + length) {
    return text;
  }
  // lineRoom_ holds the most the source's values and problem take; a
  // problem past that would be cut, never written beyond the batch.
  const std::size_t size = std::min(text.size(), batchBytes_ - batch->used);
  char* to = batch->bytes.get() + batch->used;
  if (size > 0) std::memcpy(to, text.data(), size);
  batch->used += size;
  return std::string_view(to, size);
}

ValuesAhead::Batch* ValuesAhead::takeFree() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return stop_ || !free_.empty(); });
  if (stop_) return nullptr;
  Batch* batch = free_.back();
  free_.pop_back();
  return batch;
}

ValuesAhead::Batch* ValuesAhead::takeReady(Batch* done) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (done != nullptr) {
    free_.push_back(done);
    changed_.notify_all();
  }
  changed_.wait(lock, [this] { return !ready_.empty() || stop_; });
  if (ready_.empty()) return nullptr;
  Batch* batch = ready_.front();
  ready_.pop_front();
  return batch;
}

const char* ValuesAhead::nextLine(char* /*buffer*/, std::size_t* length) {
  while (current_ == nullptr || next_ == current_->lines.size()) {
    if (current_ != nullptr && current_->last) return nullptr;
    current_ = takeReady(current_);
    next_ = 0;
    if (current_ == nullptr) return nullptr;
  }
  line_ = &current_->lines[next_];
  values_ = current_->values.data() + next_ * positions_;
  ++next_;
  *length = line_->length;
  return line_->text;
}

SourceOutcome ValuesAhead::read(std::string_view /*line*/, std::string_view* values,
                                int* found) {
  std::copy(values_, values_ + positions_, values);
  *found = line_->found;
  return line_->outcome;
}

std::string_view ValuesAhead::problem() const { return line_->problem; }
