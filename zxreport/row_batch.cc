#include "zxreport/row_batch.h"

RowBatch::RowBatch(const std::vector<ScanColumn>& columns) : columns_(columns) {}

void RowBatch::grow(std::size_t more) {
  std::size_t capacity = capacity_ == 0 ? 1 << 20 : capacity_;
  while (capacity < size_ + more) capacity *= 2;
  auto bytes = std::make_unique<char[]>(capacity);
  if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
  bytes_ = std::move(bytes);
  capacity_ = capacity;
}

void RowBatch::clear() {
  size_ = 0;
  ends_.clear();
  numbers_.clear();
  nulls_.clear();
  rows_ = 0;
}

BatchRow::BatchRow(const RowBatch& batch) : batch_(batch) {
  for (const ScanColumn& column : batch.columns()) {
    index_.push_back(column.number ? numberCount_++ : textCount_++);
  }
}
