#ifndef PARSER_LINE_LOOP_H_
#define PARSER_LINE_LOOP_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "parser/line_converter.h"
#include "parser/log_reader.h"
#include "parser/parser_types.h"

class LazyFile;
class RunLog;

/// Longest line the loop handles, a joined line included: what one read of
/// the log can yield.
constexpr std::size_t kMaxLineLength = kLineReadLimit - 1;

/// Outcomes of the line loop besides reaching the end of the log.
constexpr int kDataFileFailed = -5;
constexpr int kTooManyErrors = -11;
constexpr int kFormatChanged = -12;

/// Where the loop takes its lines from.
class LineSupply {
 public:
  virtual ~LineSupply() = default;
  /// The next line of the log (at most kMaxLineLength bytes, line break
  /// kept, one blank before it removed: see removeBlankBeforeBreak), of
  /// `*length` bytes: read into `buffer` of kLineReadLimit + 1 bytes, or
  /// where the supply keeps it until the next call. Null at the end.
  virtual const char* nextLine(char* buffer, std::size_t* length) = 0;
};

/// What the loop needs to know about the run.
struct LoopSettings {
  /// The format line that defined the layout (compared without its line
  /// break with later format lines).
  std::string_view headerLine;
  /// Number of fields a data line must have.
  std::size_t headerFieldCount = 0;
  DataSet dataSet = DataSet::Raw;
  /// Rejected lines after which the run stops; 0 for no limit.
  int maxErrors = 200;
};

/// Reads the data lines of a log after its header and turns them into rows:
/// comment lines and blank lines are skipped, a mid-log format change stops
/// the run, a short line is joined with the next one when that one is short
/// too (a record broken over two lines) and rejected on its own otherwise,
/// lines with the wrong field count are rejected to the rejected-lines
/// file, rows go to the data file. Allocates nothing per line.
class LineLoop {
 public:
  LineLoop(LineConverter& converter, const LoopSettings& settings,
           LazyFile& dataFile, LazyFile& errorFile, const RunLog& runLog);

  /// Handles every remaining line of `reader`. Returns 0 at the end of the
  /// log (also when reading failed: see LogReader::failed()), or
  /// kDataFileFailed, kTooManyErrors or kFormatChanged.
  int run(LogReader& reader);
  /// As run(LogReader&), with the lines `supply` hands over.
  int run(LineSupply& supply);

  /// The counters of the lines handled so far.
  const RunCounters& counters() const { return counters_; }

 private:
  /// Handles the line of `length` bytes at `text` (blank before its line
  /// break removed); `joined` when it began with a carried part. Returns 0
  /// or the status that ends the loop.
  int handleLine(const char* text, std::size_t length, bool joined);
  /// True when `next`, read while a short line waits, continues it: a data
  /// line that is short on its own too.
  bool continuesCarriedLine(std::string_view next) const;
  /// Writes a rejected line to the rejected-lines file, logs and counts it
  /// (with the `problem` a log format found, if any); kTooManyErrors once
  /// the error limit is reached.
  int rejectLine(std::string_view text, std::string_view problem);
  /// Logs and counts a rejection reported as line `lineNumber`;
  /// kTooManyErrors once the error limit is reached.
  int countRejection(std::int64_t lineNumber, std::string_view problem);
  /// True for a format line that differs from the header's.
  bool isFormatChange(std::string_view line) const;
  /// Keeps the line at `text` up to its first line break to be joined with
  /// the next.
  void carryLine(const char* text, std::size_t length);
  /// Rejects the carried line on its own (no continuation followed it),
  /// counted once in all; kTooManyErrors once the error limit is reached.
  int rejectPendingCarry();

  LineConverter& converter_;
  LoopSettings settings_;
  // Created on the first row and the first rejected line respectively.
  LazyFile& dataFile_;
  LazyFile& errorFile_;
  const RunLog& runLog_;
  RunCounters counters_;
  // Room for a carried part and one more read, so joining never overflows;
  // a joined line longer than kMaxLineLength is rejected.
  char line_[2 * (kLineReadLimit + 1)];
  char carry_[kLineReadLimit + 1];
  std::size_t carryLength_ = 0;
  bool carrying_ = false;
  // The line break (and whatever followed the cut) of the carried line, so
  // a carry left at the end of the log can be rejected byte for byte.
  char carryTail_[kLineReadLimit + 1];
  std::size_t carryTailLength_ = 0;
  // What the log format found wrong with the carried line.
  std::string carryProblem_;
};

/// Removes one blank standing directly before the line break (" \r\n"
/// becomes "\r\n", " \n" becomes "\n"); returns the new length.
std::size_t removeBlankBeforeBreak(char* line, std::size_t length);

/// `line` without its trailing "\r\n" or "\n".
std::string_view withoutLineBreak(std::string_view line);

/// True for a line of nothing but blanks and tabs before its line break
/// (an empty line included).
bool isBlankLine(std::string_view line);

/// True for a comment or format line: one that begins with '#' or
/// "format=".
bool isCommentLine(std::string_view line);

#endif  // PARSER_LINE_LOOP_H_
