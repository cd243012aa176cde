#include "zxreport/row_batch.h"

RowBatch::RowBatch(const std::vector<ScanColumn>& columns) : columns_(columns) {}

void RowBatch::clear() {
  bytes_.clear();
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
