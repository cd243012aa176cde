#include "parser/line_loop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "common/run_log.h"
#include "common/test_files.h"
#include "parser/output_file.h"

namespace {

bool exists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file != nullptr) std::fclose(file);
  return file != nullptr;
}

/// Stands in for the row builder: fields are runs of non-blanks, the row
/// joins them with commas. A field "EXCL" excludes the line, a field
/// "NOCAT" means the line has no category.
class FakeConverter : public LineConverter {
 public:
  LineResult convertLine(std::string_view line,
                         RunCounters& /*counters*/) override {
    LineResult result;
    row_.clear();
    result.hasCategory = true;
    std::size_t pos = 0;
    std::string_view body = withoutLineBreak(line);
    while (pos < body.size()) {
      while (pos < body.size() && body[pos] == ' ') ++pos;
      if (pos >= body.size()) break;
      std::size_t end = body.find(' ', pos);
      if (end == std::string_view::npos) end = body.size();
      std::string_view field = body.substr(pos, end - pos);
      if (field == "EXCL") result.excluded = true;
      if (field == "NOCAT") result.hasCategory = false;
      if (!row_.empty()) row_ += ",";
      row_ += field;
      ++result.fieldCount;
      pos = end;
    }
    ++converted;
    return result;
  }
  int countFields(std::string_view line) const override {
    int count = 0;
    std::string_view body = withoutLineBreak(line);
    for (std::size_t i = 0; i < body.size(); ++i) {
      count += body[i] != ' ' && (i == 0 || body[i - 1] == ' ');
    }
    return count;
  }
  std::string_view row() const override { return row_; }
  void finishRow() override { row_ += ",D\r\n"; }

  int converted = 0;

 private:
  std::string row_;
};

/// One run of the loop over a log with the given bytes.
struct LoopRun {
  std::string name;
  std::string dataPath;
  std::string errorPath;
  std::string runLogPath;
  int status = 0;
  RunCounters counters;
  int converted = 0;

  LoopRun(const std::string& testName, const std::string& log,
          std::size_t fields = 3, int maxErrors = 0,
          DataSet dataSet = DataSet::Raw,
          const std::string& headerLine = "#Fields: a b c") {
    name = testName;
    std::string logPath = tempPath(name + ".log");
    {
      std::ofstream out(logPath, std::ios::binary | std::ios::trunc);
      out << log;
    }
    dataPath = logPath + ".csv";
    errorPath = logPath + ".err";
    runLogPath = logPath + ".out";
    for (const std::string& path : {dataPath, errorPath, runLogPath}) {
      std::remove(path.c_str());
    }
    RunLog runLog("parser");
    runLog.setPath(runLogPath);
    FakeConverter converter;
    LazyFile dataFile(dataPath);
    LazyFile errorFile(errorPath);
    LoopSettings settings;
    settings.headerLine = headerLine;
    settings.headerFieldCount = fields;
    settings.dataSet = dataSet;
    settings.maxErrors = maxErrors;
    auto loop = std::make_unique<LineLoop>(converter, settings, dataFile,
                                           errorFile, runLog);
    LogReader reader;
    EXPECT_TRUE(reader.open(logPath));
    status = loop->run(reader);
    counters = loop->counters();
    converted = converter.converted;
  }
};

TEST(LineLoopTest, RowsCommentsAndCounters) {
  LoopRun run("rows", "a b c\r\n#Remark: x\r\nd e f \r\n#Date: x\n");
  EXPECT_EQ(run.status, 0);
  // The blank before the line break is removed before counting.
  EXPECT_EQ(readAll(run.dataPath), "a,b,c,D\r\nd,e,f,D\r\n");
  EXPECT_FALSE(exists(run.errorPath));
  EXPECT_EQ(run.counters.linesRead, 4);
  EXPECT_EQ(run.counters.totalBytes, 7 + 12 + 7 + 9);
  // A line starting with "format=" is a format line too.
  LoopRun proxy("proxy", "format=%a% %b% %c%\nx y z\n", 3, 0, DataSet::Raw,
                "format=%a% %b% %c%");
  EXPECT_EQ(proxy.status, 0);
  EXPECT_EQ(proxy.counters.commentLines, 1);
  EXPECT_EQ(run.counters.longestLine, 12);
  EXPECT_EQ(run.counters.commentLines, 2);
  EXPECT_EQ(run.counters.writtenLines, 2);
  EXPECT_EQ(run.counters.errorLines, 0);
}

TEST(LineLoopTest, FormatLinesComparedWithoutTheirLineBreak) {
  // The same format line as the header, with either line break, is a
  // comment; the header text itself has no line break.
  LoopRun same("same", "#Fields: a b c\r\na b c\n#Fields: a b c\n");
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.counters.commentLines, 2);

  LoopRun changed("changed", "a b c\n#Fields: a b d\r\nx y z\n");
  EXPECT_EQ(changed.status, kFormatChanged);
  EXPECT_EQ(readAll(changed.dataPath), "a,b,c,D\r\n");
  EXPECT_EQ(runLogMessages(changed.runLogPath),
            "5 The log file format changed in the middle of the log file\n"
            "5 Original log format:  #Fields: a b c\n"
            "5 Modified log format:  #Fields: a b d\n");

  // "format=" anywhere in a comment line counts as a format line.
  LoopRun remark("remark", "#Remark: format=x\n");
  EXPECT_EQ(remark.status, kFormatChanged);
}

TEST(LineLoopTest, ShortLinesAreJoinedOnlyWithAShortNextLine) {
  // "a b" lacks a field and so does "c d": one record broken over two
  // lines, b and c run together. Blank lines are skipped, never joined.
  LoopRun run("join", "a b\r\nc d\nx y z\n\n \t\r\nq r s\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readAll(run.dataPath), "a,bc,d,D\r\nx,y,z,D\r\nq,r,s,D\r\n");
  // One error per join; the carried part is counted as read, and again as
  // part of the joined line. Blank lines are read, not errors.
  EXPECT_EQ(run.counters.errorLines, 1);
  EXPECT_EQ(run.counters.blankLines, 2);
  EXPECT_EQ(run.counters.linesRead, 6);
  EXPECT_EQ(run.counters.totalBytes, 5 + 7 + 6 + 1 + 4 + 6);
  EXPECT_EQ(run.counters.writtenLines, 3);
  EXPECT_FALSE(exists(run.errorPath));

  // A short line before a complete one, a longer one, a blank line, a
  // comment or the end of the log is rejected alone, one error each, and
  // what follows it is handled on its own.
  LoopRun cut("cut",
              "a b\r\nx y z\np\nq r s t\nm\n\nn o p\nk l\n#Remark: r\nd\n");
  EXPECT_EQ(cut.status, 0);
  EXPECT_EQ(readAll(cut.errorPath), "a b\r\np\nq r s t\nm\nk l\nd\n");
  EXPECT_EQ(readAll(cut.dataPath), "x,y,z,D\r\nn,o,p,D\r\n");
  EXPECT_EQ(cut.counters.errorLines, 6);
  EXPECT_EQ(cut.counters.blankLines, 1);
  EXPECT_EQ(cut.counters.commentLines, 1);
  EXPECT_EQ(runLogMessages(cut.runLogPath),
            "4 Problem parsing log line :0\n"
            "4 Problem parsing log line :2\n"
            "4 Problem parsing log line :3\n"
            "4 Problem parsing log line :4\n"
            "4 Problem parsing log line :6\n"
            "4 Problem parsing log line :8\n");

  // Blank lines alone: no errors, no rejected lines, never the error limit.
  LoopRun blanks("blanks", "x y z\n\n\r\nx y z\n\t\n", 3, 1);
  EXPECT_EQ(blanks.status, 0);
  EXPECT_EQ(blanks.counters.errorLines, 0);
  EXPECT_EQ(blanks.counters.blankLines, 3);
  EXPECT_FALSE(exists(blanks.errorPath));
}

TEST(LineLoopTest, RejectedLinesKeepTheirBytes) {
  LoopRun run("reject", "a b c d\r\nx y z\nlong line of many\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readAll(run.errorPath), "a b c d\r\nlong line of many\n");
  EXPECT_EQ(readAll(run.dataPath), "x,y,z,D\r\n");
  EXPECT_EQ(run.counters.errorLines, 2);
  // Line numbers: comments + errors + written before the line.
  EXPECT_EQ(runLogMessages(run.runLogPath),
            "4 Problem parsing log line :0\n"
            "4 Problem parsing log line :2\n");
}

TEST(LineLoopTest, MaxErrorsStopsWhenALineIsRejected) {
  std::string log = "a b c d\np q\nr s\nx y z\np q r s\nn o p\n";
  // The join counts an error but is no rejection; the second rejected line
  // reaches 3 errors.
  LoopRun three("max3", log, 3, 3);
  EXPECT_EQ(three.status, kTooManyErrors);
  EXPECT_EQ(three.counters.errorLines, 3);
  EXPECT_EQ(readAll(three.dataPath), "p,qr,s,D\r\nx,y,z,D\r\n");
  EXPECT_EQ(readAll(three.errorPath), "a b c d\np q r s\n");
  EXPECT_NE(runLogMessages(three.runLogPath)
                .find("5 Reached the maximum number of errors 3\n"),
            std::string::npos);

  LoopRun one("max1", log, 3, 1);
  EXPECT_EQ(one.status, kTooManyErrors);
  EXPECT_FALSE(exists(one.dataPath));

  LoopRun unlimited("max0", log, 3, 0);
  EXPECT_EQ(unlimited.status, 0);
  EXPECT_EQ(unlimited.counters.writtenLines, 3);
}

TEST(LineLoopTest, ExcludedAndUncategorisedLines) {
  LoopRun excluded("excl", "a EXCL c\nx y z\n");
  EXPECT_EQ(excluded.counters.writtenLines, 1);
  EXPECT_EQ(runLogMessages(excluded.runLogPath), "4 Exclude:  a,EXCL,c\n");

  LoopRun smart("smart", "a NOCAT c\nx y z\n", 3, 0, DataSet::SmartFilter);
  EXPECT_EQ(readAll(smart.dataPath), "x,y,z,D\r\n");
  EXPECT_EQ(smart.counters.writtenLines, 1);
  EXPECT_EQ(smart.counters.errorLines, 0);
  EXPECT_EQ(runLogMessages(smart.runLogPath), "");
  // Outside SmartFilter the category plays no part.
  LoopRun raw("nocat-raw", "a NOCAT c\n");
  EXPECT_EQ(raw.counters.writtenLines, 1);
}

TEST(LineLoopTest, JoinedLinesBeyondTheBufferAreRejected) {
  // A short line of 8,000 characters joined with another of 300: longer
  // than one read can be, so the joined text is rejected whole.
  std::string first = "a " + std::string(7998, 'x') + "\n";
  std::string second = std::string(300, 'y') + " c\n";
  LoopRun run("overlong", first + second + "x y z\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readAll(run.errorPath), first.substr(0, first.size() - 1) + second);
  EXPECT_EQ(readAll(run.dataPath), "x,y,z,D\r\n");
  EXPECT_EQ(run.counters.errorLines, 2);
  EXPECT_EQ(run.counters.longestLine, 8000 + 303);

  // Exactly 8,190 characters joined still fit and are converted.
  std::string fits = "a " + std::string(8000, 'x') + "\n";
  std::string rest = std::string(8190 - 8002 - 3, 'y') + " c\n";
  LoopRun edge("fits", fits + rest);
  EXPECT_EQ(edge.counters.writtenLines, 1);
  EXPECT_FALSE(exists(edge.errorPath));
}

TEST(LineLoopTest, ALineLeftWaitingAtTheEndIsRejected) {
  LoopRun run("pending", "x y z\na b\r\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readAll(run.errorPath), "a b\r\n");
  EXPECT_EQ(run.counters.errorLines, 1);
  EXPECT_EQ(runLogMessages(run.runLogPath), "4 Problem parsing log line :1\n");

  // The rejection counts toward the error limit like any other.
  LoopRun limited("pending_limit", "x y z\na b\r\n", 3, 1);
  EXPECT_EQ(limited.status, kTooManyErrors);
  EXPECT_EQ(readAll(limited.errorPath), "a b\r\n");
  EXPECT_EQ(runLogMessages(limited.runLogPath),
            "4 Problem parsing log line :1\n5 Reached the maximum number of errors 1\n");
}

}  // namespace
