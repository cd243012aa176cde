#ifndef ZXREPORT_ROW_BATCH_H_
#define ZXREPORT_ROW_BATCH_H_

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zxreport/table_source.h"

/// Rows copied out of a scan: texts in one buffer, numbers beside them, a
/// NULL flag per value. A source appends each value of a row in column
/// order, then ends the row.
class RowBatch {
 public:
  explicit RowBatch(const std::vector<ScanColumn>& columns);
  void clear();
  void addText(std::string_view text) {
    if (size_ + text.size() > capacity_) grow(text.size());
    if (!text.empty()) std::memcpy(bytes_.get() + size_, text.data(), text.size());
    size_ += text.size();
    ends_.push_back(size_);
    nulls_.push_back(0);
  }
  void addNumber(double value) {
    numbers_.push_back(value);
    nulls_.push_back(0);
  }
  /// A NULL of the column of kind `number`.
  void addNull(bool number) {
    if (number) numbers_.push_back(0);
    else ends_.push_back(size_);
    nulls_.push_back(1);
  }
  void endRow() { ++rows_; }
  std::size_t rows() const { return rows_; }
  const std::vector<ScanColumn>& columns() const { return columns_; }

 private:
  friend class BatchRow;
  /// Makes room for `more` bytes of text.
  void grow(std::size_t more);

  const std::vector<ScanColumn>& columns_;
  std::unique_ptr<char[]> bytes_;  // the texts, one after another
  std::size_t size_ = 0, capacity_ = 0;
  std::vector<std::size_t> ends_;  // end of each text value in `bytes_`
  std::vector<double> numbers_;
  std::vector<std::uint8_t> nulls_;
  std::size_t rows_ = 0;
};

/// One row of a batch, as a scan row.
class BatchRow : public ScanRow {
 public:
  explicit BatchRow(const RowBatch& batch);
  /// Moves to row `row` of the batch.
  void at(std::size_t row) { row_ = row; }
  bool isNull(int column) const override {
    return batch_.nulls_[row_ * index_.size() + static_cast<std::size_t>(column)] != 0;
  }
  std::string_view text(int column) const override {
    std::size_t k = row_ * textCount_ + index_[column];
    std::size_t start = k == 0 ? 0 : batch_.ends_[k - 1];
    return std::string_view(batch_.bytes_.get() + start, batch_.ends_[k] - start);
  }
  double number(int column) const override {
    return batch_.numbers_[row_ * numberCount_ + index_[column]];
  }

 private:
  const RowBatch& batch_;
  std::vector<std::size_t> index_;  // place of each column among its kind
  std::size_t textCount_ = 0, numberCount_ = 0, row_ = 0;
};

/// Where a source puts the rows of a scan: the batch to fill, handed on
/// when full.
class BatchPipe {
 public:
  virtual ~BatchPipe() = default;
  /// The batch to append the next row to.
  virtual RowBatch& current() = 0;
  /// Called after each row.
  virtual void rowAdded() = 0;
};

#endif  // ZXREPORT_ROW_BATCH_H_
