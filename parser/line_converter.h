#ifndef PARSER_LINE_CONVERTER_H_
#define PARSER_LINE_CONVERTER_H_

#include <cstdint>
#include <string_view>

/// Counters of one parser run (64-bit; printed forms are plain decimals).
struct RunCounters {
  std::int64_t linesRead = 0;
  std::int64_t totalBytes = 0;
  std::int64_t longestLine = 0;
  std::int64_t commentLines = 0;
  std::int64_t errorLines = 0;
  std::int64_t writtenLines = 0;
  /// Lines of nothing but blanks and tabs (and the line break), skipped.
  std::int64_t blankLines = 0;

  /// The line number used in messages about the current line.
  std::int64_t lineNumber() const {
    return commentLines + errorLines + writtenLines;
  }
};

/// What converting one data line found.
struct LineResult {
  /// Number of fields found in the line (no more than the layout's when
  /// it ignores trailing fields).
  int fieldCount = 0;
  /// An exclude rule of some field matched.
  bool excluded = false;
  /// SmartFilter data set only: the categories field holds something other
  /// than "-".
  bool hasCategory = false;
  /// The line does not fit the log format (-f): it is rejected on its own.
  bool malformed = false;
  /// Why a line read through -f is short or malformed ("at byte 57: ...");
  /// valid until the next line is converted.
  std::string_view problem;
};

/// The seam between the run driver's line loop and the row builder.
class LineConverter {
 public:
  virtual ~LineConverter() = default;

  /// Splits a data line (blank before its line break already removed),
  /// normalises its fields and builds the row of its own fields. Field
  /// errors are logged and counted in `counters.errorLines`.
  virtual LineResult convertLine(std::string_view line,
                                 RunCounters& counters) = 0;

  /// Number of fields `line` has by the layout's splitting rules; no more
  /// than the layout's when it ignores trailing fields. Nothing is logged.
  virtual int countFields(std::string_view line) const = 0;

  /// The row built so far for the last converted line.
  virtual std::string_view row() const = 0;

  /// Completes the row of a line that will be written: fills the date
  /// parts, appends the derived columns and the line end ("\r\n").
  virtual void finishRow() = 0;
};

#endif  // PARSER_LINE_CONVERTER_H_
