#ifndef ZXSORT_INTERVAL_READER_H_
#define ZXSORT_INTERVAL_READER_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_log.h"
#include "zxsort/column_layout.h"
#include "zxsort/data_record.h"
#include "zxsort/line_reader.h"

/// A run-log line kept back to be written later, in order.
struct HeldLogLine {
  int level;         ///< run-log level
  std::string text;  ///< the message
};

/// Records of one interval (or of a part of one cut for lack of memory).
struct IntervalRecords {
  std::vector<DataRecord> records;  ///< in file order; grouping empties some
  TextArena arena;                  ///< holds every record's texts
};

/// Reads the data file interval by interval.
class IntervalReader {
 public:
  /// Steps of the record array; memory is checked once per step.
  static constexpr std::size_t kArrayStep = 4096;

  /// Reads `data` (opened in binary mode, at its first line) for `layout`;
  /// messages go to `log`.
  IntervalReader(std::FILE* data, ColumnLayout* layout, const RunLog* log);

  /// Replaces the physical-memory test (for tests).
  void setMemoryCheck(std::function<bool()> nearlyFull) {
    nearlyFull_ = std::move(nearlyFull);
  }

  /// Calls `pace` with the text bytes held each time the record array is
  /// full (every 4096 records), so that a reader ahead of its consumer can
  /// wait there.
  void setPace(std::function<void(std::size_t)> pace) { pace_ = std::move(pace); }

  /// Keeps the run-log lines in `held` (appended in order) instead of
  /// writing them; null writes them at once.
  void holdLogLines(std::vector<HeldLogLine>* held) { held_ = held; }

  /// Reads the next interval into `out`, sets the layout's `groupId`,
  /// `recordCount` and `currentStart` (-1 at the end of the data). False
  /// when memory for the records could not be had.
  bool readInterval(IntervalRecords* out);

  /// Lines skipped so far: a wrong number of values, or too long.
  std::int64_t skippedLines() const { return skippedLines_; }
  /// True once the data file has been read to its end. (An hour column may
  /// itself hold -1, so the layout's currentStart cannot tell.)
  bool exhausted() const { return exhausted_; }

 private:
  // True when the split line belongs to a later interval; sets the layout's
  // next start when it does.
  bool startsNextInterval();
  // Writes or holds one run-log line.
  void note(int level, std::string_view text);
  // Writes or holds the memory status line.
  void noteMemoryStatus();
  // Copies the split line's texts into the arena as one record.
  DataRecord buildRecord(TextArena* arena) const;

  ColumnLayout* layout_;
  const RunLog* log_;
  std::vector<HeldLogLine>* held_ = nullptr;
  LineReader reader_;
  std::function<bool()> nearlyFull_;
  std::function<void(std::size_t)> pace_;
  std::vector<std::string_view> values_;  // values of the current line
  int measurePositions_[3] = {-1, -1, -1};
  std::int64_t skippedLines_ = 0;
  bool exhausted_ = false;
};

/// Next group identifier, 0 to 32767, from the C library generator.
int nextGroupId();

/// Seeds the C library generator from the tick count, then reseeds it five
/// times with its own next number.
void seedGroupIds(unsigned int tick);

#endif  // ZXSORT_INTERVAL_READER_H_
