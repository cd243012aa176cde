#include "parser/line_loop.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "common/run_log.h"
#include "parser/output_file.h"

std::size_t removeBlankBeforeBreak(char* line, std::size_t length) {
  std::size_t blank;
  if (length >= 3 && std::memcmp(line + length - 3, " \r\n", 3) == 0) {
    blank = length - 3;
  } else if (length >= 2 && std::memcmp(line + length - 2, " \n", 2) == 0) {
    blank = length - 2;
  } else {
    return length;
  }
  std::memmove(line + blank, line + blank + 1, length - blank - 1);
  line[length - 1] = '\0';
  return length - 1;
}

std::string_view withoutLineBreak(std::string_view line) {
  if (line.ends_with("\r\n")) {
    line.remove_suffix(2);
  } else if (line.ends_with('\n')) {
    line.remove_suffix(1);
  }
  return line;
}

bool isBlankLine(std::string_view line) {
  line = withoutLineBreak(line);
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool isCommentLine(std::string_view line) {
  return line.starts_with('#') || line.starts_with("format=");
}

LineLoop::LineLoop(LineConverter& converter, const LoopSettings& settings,
                   LazyFile& dataFile, LazyFile& errorFile,
                   const RunLog& runLog)
    : converter_(converter),
      settings_(settings),
      dataFile_(dataFile),
      errorFile_(errorFile),
      runLog_(runLog) {}

namespace {

/// The lines of a log as the reader yields them.
class ReaderSupply : public LineSupply {
 public:
  explicit ReaderSupply(LogReader& reader) : reader_(reader) {}
  const char* nextLine(char* buffer, std::size_t* length) override {
    if (!reader_.readLine(buffer, length)) return nullptr;
    *length = removeBlankBeforeBreak(buffer, *length);
    return buffer;
  }

 private:
  LogReader& reader_;
};

}  // namespace

int LineLoop::run(LogReader& reader) {
  ReaderSupply supply(reader);
  return run(supply);
}

int LineLoop::run(LineSupply& supply) {
  while (true) {
    std::size_t offset = 0;
    if (carrying_) {
      std::memcpy(line_, carry_, carryLength_);
      offset = carryLength_;
    }
    std::size_t readLength = 0;
    const char* next = supply.nextLine(line_ + offset, &readLength);
    if (next == nullptr) break;
    if (carrying_ && next != line_ + offset) {
      // Joined with the carried part, the line must follow it.
      std::memcpy(line_ + offset, next, readLength);
      next = line_ + offset;
    }
    int status;
    if (!carrying_) {
      status = handleLine(next, readLength, false);
    } else if (continuesCarriedLine(std::string_view(next, readLength))) {
      carrying_ = false;
      carryLength_ = 0;
      status = handleLine(line_, offset + readLength, true);
    } else {
      // The waiting line was a record of its own, cut short: it goes to the
      // rejected lines alone and the next line is handled as it is.
      status = rejectPendingCarry();
      if (status == 0) status = handleLine(next, readLength, false);
    }
    if (status != 0) return status;
  }
  if (carrying_) return rejectPendingCarry();
  return 0;
}

bool LineLoop::continuesCarriedLine(std::string_view next) const {
  return !isBlankLine(next) && !isCommentLine(next) &&
         static_cast<std::size_t>(std::max(converter_.countFields(next), 0)) <
             settings_.headerFieldCount;
}

int LineLoop::handleLine(const char* text, std::size_t length, bool joined) {
  std::string_view line(text, length);
  ++counters_.linesRead;
  counters_.totalBytes += static_cast<std::int64_t>(length);
  counters_.longestLine =
      std::max(counters_.longestLine, static_cast<std::int64_t>(length));

  if (joined && length > kMaxLineLength) return rejectLine(line, {});
  // Cheap test first: a data line rarely begins with a blank.
  if ((line.empty() || line[0] == ' ' || line[0] == '\t' || line[0] == '\r' ||
       line[0] == '\n') &&
      isBlankLine(line)) {
    ++counters_.blankLines;
    return 0;
  }

  if (isCommentLine(line)) {
    if (isFormatChange(line)) {
      runLog_.logLine(5,
                      "The log file format changed in the middle of the log file");
      std::string message = "Original log format:  ";
      message += withoutLineBreak(settings_.headerLine);
      runLog_.logLine(5, message);
      message = "Modified log format:  ";
      message += withoutLineBreak(line);
      runLog_.logLine(5, message);
      return kFormatChanged;
    }
    ++counters_.commentLines;
    return 0;
  }

  LineResult result = converter_.convertLine(line, counters_);
  if (result.malformed) return rejectLine(line, result.problem);
  std::size_t fields = static_cast<std::size_t>(std::max(result.fieldCount, 0));
  if (fields == settings_.headerFieldCount) {
    if (settings_.dataSet == DataSet::SmartFilter && !result.hasCategory) {
      return 0;
    }
    if (result.excluded) {
      std::string message = "Exclude:  ";
      message += converter_.row();
      runLog_.logLine(4, message);
      return 0;
    }
    ++counters_.writtenLines;
    converter_.finishRow();
    if (!dataFile_.write(converter_.row())) return kDataFileFailed;
    return 0;
  }
  if (fields < settings_.headerFieldCount &&
      line.find_first_of("\r\n") != std::string_view::npos) {
    carryLine(text, length);
    carryProblem_.assign(result.problem);
    return 0;
  }
  return rejectLine(line, result.problem);
}

int LineLoop::rejectLine(std::string_view text, std::string_view problem) {
  errorFile_.write(text);
  return countRejection(counters_.lineNumber(), problem);
}

int LineLoop::countRejection(std::int64_t lineNumber, std::string_view problem) {
  runLog_.logFormat(4, "Problem parsing log line :%lld",
                    static_cast<long long>(lineNumber));
  if (!problem.empty()) {
    std::string message = "Does not fit the log format: ";
    message += problem;
    runLog_.logLine(4, message);
  }
  ++counters_.errorLines;
  if (settings_.maxErrors != 0 && counters_.errorLines >= settings_.maxErrors) {
    runLog_.logFormat(5, "Reached the maximum number of errors %d",
                      settings_.maxErrors);
    return kTooManyErrors;
  }
  return 0;
}

bool LineLoop::isFormatChange(std::string_view line) const {
  if (line.find("Fields:") == std::string_view::npos &&
      line.find("format=") == std::string_view::npos) {
    return false;
  }
  return withoutLineBreak(line) != withoutLineBreak(settings_.headerLine);
}

void LineLoop::carryLine(const char* text, std::size_t length) {
  std::size_t cut = std::string_view(text, length).find_first_of("\r\n");
  std::memcpy(carry_, text, cut);
  carryLength_ = cut;
  std::memcpy(carryTail_, text + cut, length - cut);
  carryTailLength_ = length - cut;
  carrying_ = true;
  ++counters_.errorLines;
}

int LineLoop::rejectPendingCarry() {
  // Rejected like any other line, error limit included, so it is not lost;
  // the error counted when it was carried becomes the rejection's, and the
  // line number is the one it had then.
  carrying_ = false;
  errorFile_.write(std::string_view(carry_, carryLength_));
  errorFile_.write(std::string_view(carryTail_, carryTailLength_));
  carryLength_ = 0;
  --counters_.errorLines;
  return countRejection(counters_.lineNumber(), carryProblem_);
}
