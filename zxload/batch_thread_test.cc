#include "zxload/batch_thread.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

/// Feeds `rows` rows of two columns (0: the row's number, 1: text of
/// `longAt`'s row is longer than a batch, NULL on every third row) through
/// a BatchThread; returns what was consumed, one string a row.
std::vector<std::string> passThrough(std::size_t rows, std::size_t longAt) {
  std::vector<std::string> seen;
  std::vector<RowValue> unpacked(3);
  BatchThread feed({0, 2}, [&](const ValueBatch& batch) {
    for (std::size_t r = 0; r < batch.rows(); ++r) {
      batch.row(r, &unpacked);
      seen.push_back(std::string(unpacked[0].text) + (unpacked[2].null ? "|null" : "|") +
                     std::to_string(unpacked[2].text.size()));
    }
  });
  std::vector<RowValue> values(3);
  for (std::size_t r = 0; r < rows; ++r) {
    std::string number = std::to_string(r);
    std::string text(r == longAt ? ValueBatch::kBytes + 10 : r % 7, 'x');
    values[0].text = number;
    values[2] = {text, r % 3 == 0};
    feed.filling().add(values);
    if (feed.filling().full()) feed.handOver();
  }
  feed.finish();
  return seen;
}

TEST(BatchThread, EveryRowConsumedOnceInOrder) {
  for (std::size_t rows : {0u, 5u, 20000u}) {
    std::vector<std::string> seen = passThrough(rows, 9000);
    ASSERT_EQ(seen.size(), rows);
    for (std::size_t r = 0; r < rows; ++r) {
      std::size_t size = r == 9000 ? ValueBatch::kBytes + 10 : r % 7;
      ASSERT_EQ(seen[r], std::to_string(r) + (r % 3 == 0 ? "|null" : "|") + std::to_string(size));
    }
  }
}

TEST(BatchThread, FailureRethrownAndAbandonStops) {
  std::vector<RowValue> values(1);
  values[0].text = "v";
  std::size_t consumed = 0;
  BatchThread failing({0}, [&](const ValueBatch& batch) {
    consumed += batch.rows();
    throw std::runtime_error("refused");
  });
  for (std::size_t r = 0; r < 5 * ValueBatch::kRows; ++r) {
    failing.filling().add(values);
    if (failing.filling().full()) failing.handOver();
  }
  EXPECT_THROW(failing.finish(), std::runtime_error);
  EXPECT_EQ(consumed, ValueBatch::kRows);  // nothing after the failure

  // Abandoned with batches waiting: returns without consuming them all.
  BatchThread slow({0}, [](const ValueBatch&) { std::this_thread::sleep_for(std::chrono::milliseconds(20)); });
  for (std::size_t r = 0; r < 4 * ValueBatch::kRows; ++r) {
    slow.filling().add(values);
    if (slow.filling().full()) slow.handOver();
  }
  slow.abandon();
}

}  // namespace
