#ifndef ZXSORT_RECORD_WRITER_H_
#define ZXSORT_RECORD_WRITER_H_

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "zxsort/column_layout.h"
#include "zxsort/data_record.h"

/// The time stamp cut to its hour; values too short to hold the rewritten
/// part are returned unchanged. `buffer` holds the result (32 bytes).
std::string_view cutToHour(std::string_view stamp, char* buffer);

/// The time stamp set to minute text `minute` (two characters) of its hour;
/// values too short are returned unchanged. `buffer` holds the result (32 bytes).
std::string_view setToMinute(std::string_view stamp, const char minute[2], char* buffer);

/// Turns surviving records back into lines of the sort file.
class RecordWriter {
 public:
  /// Writes to `out` (binary mode) the lines of records laid out by `layout`.
  RecordWriter(std::FILE* out, const ColumnLayout* layout);
  /// Writes what is still buffered.
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  /// Hands the buffered lines to the file.
  void flush();

  /// Appends the line of `record`, read in the interval starting at `start`.
  void writeRecord(const DataRecord& record, int start);

  /// The hourly line of `record`, in the data file's column order.
  void rebuildRecord(const DataRecord& record, std::string* line);

  /// The ten-column billing line of `record` for the interval start `start`.
  void rebuildBillingRecord(const DataRecord& record, int start, std::string* line);

 private:
  std::FILE* out_;
  const ColumnLayout* layout_;
  std::vector<std::string_view> slots_;  // one value per column
  std::vector<int> keySlots_;            // billing slot of each key value
  // Where an hourly line's values come from: a run of consecutive key or
  // numeric values (copied with their commas), or one attribute value.
  enum Source { kFromKey = 0, kFromNumbers = 1, kFromAttribute, kNoSource };
  struct Segment {
    int source;
    int first, last;  // value indexes in the source text
    int position;     // first column
  };
  // Builds `plan_` from the layout.
  void planHourlyLine();
  // Puts the attribute values, rewritten where needed, into their slots;
  // `stamp` and `refcount` (32 bytes each) hold rewritten texts.
  void placeAttributes(const DataRecord& record, char* stamp, char* refcount);
  // The hourly line by copying runs of values; false (line undefined) when
  // the record's texts are not in the form the plan expects.
  bool rebuildBySegments(const DataRecord& record, std::string* line);
  // The group identifier of the interval as text, plain or quoted.
  std::string_view groupIdText(bool quoted);

  std::vector<Segment> plan_;  // hourly line: column runs in order
  std::string line_;
  std::vector<char> buffer_ = std::vector<char>(1 << 16);  // lines not yet written
  std::size_t pending_ = 0;
  int groupIdOf_ = -1;  // the identifier groupIdPlain_ holds
  std::string groupIdPlain_, groupIdQuoted_;
};

#endif  // ZXSORT_RECORD_WRITER_H_
