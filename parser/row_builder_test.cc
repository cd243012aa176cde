#include "parser/row_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "common/run_log.h"
#include "parser/header.h"
#include "parser/identifier_tables.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kColumns =
    "c-ip SQLCHAR 1 userip\n"
    "x-path SQLCHAR 1 url exclude=.gif;\n"
    "bytes SQLINTEGER 1 bytes\n"
    "time-taken SQLFLOAT 1 timetaken\n"
    "cs-method SQLCHAR 2 method exclude=HEAD;\n"
    "x-note SQLCHAR 0 note exclude=;\n"
    "x-smartfilter-categories SQLCHAR 1 categories\n"
    "zx-unknown SQLCHAR 0 unknown\n"
    "zx-abortcode SQLINTEGER 1 abortcode\n"
    "zx-player SQLCHAR 1 player\n"
    "zx-groupid SQLINTEGER 1 groupid\n"
    "zx-refcount SQLINTEGER 1 refcount\n";

class RowBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (std::string("rows_") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    runLog_.setPath((dir_ / "run.out").string());
    write("types.dat", kColumns);
    ASSERT_EQ(table_.loadColumnTypes((dir_ / "types.dat").string(), RunLog("")),
              0);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const char* name, const std::string& text) {
    std::ofstream out((dir_ / name).string(),
                      std::ios::binary | std::ios::trunc);
    out << text;
  }

  std::string runLogText() {
    std::ifstream in((dir_ / "run.out").string(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  /// Sets up the layout from `fieldsLine` and a builder for `db`.
  void start(const char* fieldsLine, DbKind db,
             DataSet dataSet = DataSet::Raw) {
    ASSERT_EQ(parseFieldsLine(fieldsLine, table_, layout_, runLog_), 0);
    buildDerivedColumns(table_, layout_, RunLog(""));
    checkDuplicateColumns(table_, layout_, runLog_);
    builder_ = std::make_unique<RowBuilder>(table_, layout_, ids_, db, dataSet,
                                            runLog_);
  }

  /// Converts `line` and returns the finished row.
  std::string convert(std::string_view line) {
    result_ = builder_->convertLine(line, counters_);
    builder_->finishRow();
    return std::string(builder_->row());
  }

  fs::path dir_;
  RunLog runLog_{"parser"};
  ColumnTable table_;
  HeaderLayout layout_;
  IdentifierTables ids_;
  RunCounters counters_;
  LineResult result_;
  std::unique_ptr<RowBuilder> builder_;
};

TEST_F(RowBuilderTest, QuotingAndPlaceholdersByDatabase) {
  start("#Fields: c-ip x-path bytes time-taken", DbKind::Oracle);
  EXPECT_EQ(convert("hello /a - \"\""), "hello,/a,0,0,0,-,0,1\r\n");
  EXPECT_EQ(result_.fieldCount, 4);
  EXPECT_EQ(convert("- \"\" 12 0.5"), "0,-,12,0.5,0,-,0,1\r\n");
  // An empty first value is rewritten like any other, so no column moves.
  EXPECT_EQ(convert("\"\" /b 1 2"), "-,/b,1,2,0,-,0,1\r\n");

  builder_ = std::make_unique<RowBuilder>(table_, layout_, ids_, DbKind::Sybase,
                                          DataSet::Raw, runLog_);
  EXPECT_EQ(convert("hello /a - \"\""), "'hello','/a',0,0,0,'-',0,1\r\n");
  EXPECT_EQ(convert("- \"\" 12 0.5"), "'-','-',12,0.5,0,'-',0,1\r\n");
  EXPECT_EQ(convert("\"\" /b 1 2"), "'-','/b',1,2,0,'-',0,1\r\n");
}

TEST_F(RowBuilderTest, CommasAndQuotesInsideValuesBecomeBlanks) {
  start("#Fields: c-ip x-path bytes", DbKind::Sybase);
  EXPECT_EQ(convert("it's /a,b 1,2"), "'it s','/a b',1 2,0,'-',0,1\r\n");
  builder_ = std::make_unique<RowBuilder>(table_, layout_, ids_, DbKind::MsSql,
                                          DataSet::Raw, runLog_);
  EXPECT_EQ(convert("it's /a,b 1"), "it's,/a b,1,0,-,0,1\r\n");
}

TEST_F(RowBuilderTest, OutputFlagsAndExcludeRules) {
  start("#Fields: cs-method c-ip x-note x-path", DbKind::Oracle);
  // Flag 2 is read and can exclude but is not written; flag 0 is skipped
  // entirely, even its exclude rule that matches every value.
  EXPECT_EQ(convert("GET 1.2.3.4 note /a.html"), "1.2.3.4,/a.html,0,-,0,1\r\n");
  EXPECT_FALSE(result_.excluded);
  builder_->convertLine("HEAD 1.2.3.4 note /a.html", counters_);
  EXPECT_TRUE(
      builder_->convertLine("HEAD 1.2.3.4 note /a.html", counters_).excluded);
  // The line is still split to its end and the row built.
  LineResult result =
      builder_->convertLine("GET 1.2.3.4 note /x.gif extra", counters_);
  EXPECT_TRUE(result.excluded);
  EXPECT_EQ(result.fieldCount, 5);
  EXPECT_EQ(builder_->row(), "1.2.3.4,/x.gif");
  // Exclude values compare case-sensitively.
  EXPECT_FALSE(
      builder_->convertLine("GET 1.2.3.4 note /x.GIF", counters_).excluded);
}

TEST_F(RowBuilderTest, MalformedFieldIsReportedAndWrittenEmpty) {
  start("#Fields: c-ip x-path bytes", DbKind::Oracle);
  counters_.commentLines = 4;
  counters_.writtenLines = 2;
  // The malformed field keeps its column as an empty value.
  EXPECT_EQ(convert("a \" 5"), "a,-,5,0,-,0,1\r\n");
  EXPECT_EQ(result_.fieldCount, 3);
  EXPECT_EQ(counters_.errorLines, 1);
  EXPECT_NE(
      runLogText().find(
          " 4 System parser \"Problem parsing log line :6 Field: 1\" \"\"\r\n"),
      std::string::npos);
  // An over-long field past the header's positions is only counted.
  std::string line = "a b 3 " + std::string(kMaxFieldLength + 1, 'x');
  EXPECT_EQ(builder_->convertLine(line, counters_).fieldCount, 4);
  EXPECT_EQ(counters_.errorLines, 2);
  EXPECT_EQ(builder_->row(), "a,b,3");
  // A field of exactly the longest length is written.
  line = "a " + std::string(kMaxFieldLength, 'y') + " 1";
  builder_->convertLine(line, counters_);
  EXPECT_EQ(counters_.errorLines, 2);
  EXPECT_EQ(builder_->row().size(), 2 + kMaxFieldLength + 2);
}

TEST_F(RowBuilderTest, DerivedColumnsStartARowWithoutComma) {
  start("#Fields: x-note", DbKind::Oracle);
  EXPECT_EQ(convert("n"), "0,-,0,1\r\n");
  // zx-groupid is "-" for the raw data set, written as 0.
  EXPECT_EQ(table_.at(table_.findColumn("zx-groupid")).value.view(), "0");
}

TEST_F(RowBuilderTest, GroupIdsCountWrittenRowsAndWrap) {
  start("#Fields: x-smartfilter-categories", DbKind::Oracle,
        DataSet::SmartFilter);
  EXPECT_EQ(convert("a"), "a,0,-,0,1\r\n");
  EXPECT_TRUE(result_.hasCategory);
  EXPECT_EQ(convert("b"), "b,0,-,1,1\r\n");
  // A line that is not written does not use a group id.
  EXPECT_FALSE(builder_->convertLine("-", counters_).hasCategory);
  EXPECT_TRUE(builder_->convertLine("\"\"", counters_).hasCategory);
  EXPECT_EQ(convert("c"), "c,0,-,2,1\r\n");
  for (int id = 3; id < kMaxGroupId; ++id) builder_->finishRow();
  EXPECT_EQ(convert("d"), "d,0,-,30000,1\r\n");
  EXPECT_EQ(convert("e"), "e,0,-,0,1\r\n");
}

TEST_F(RowBuilderTest, CategoriesOnlyMatterForSmartFilter) {
  start("#Fields: x-smartfilter-categories", DbKind::Oracle,
        DataSet::Streaming);
  EXPECT_FALSE(builder_->convertLine("a", counters_).hasCategory);
  EXPECT_EQ(convert("a"), "a,0,-,0,1\r\n");
  EXPECT_EQ(convert("a"), "a,0,-,1,1\r\n");
}

TEST_F(RowBuilderTest, AbortCodeIsLookedUpFromThisLinesValue) {
  write("datatypes.dat.id",
        "[START aborts]@3\nTCP_ABORT@7\n0@99\n7@98\nLOW@-2147483648\n");
  ids_.load((dir_ / "types.dat").string());
  start("#Fields: c-ip", DbKind::Oracle);
  int abortColumn = layout_.derivedColumns[kAbortCode];
  builder_->convertLine("a", counters_);
  table_.at(abortColumn).value.assign("TCP_ABORT");
  builder_->finishRow();
  EXPECT_EQ(builder_->row(), "a,7,-,0,1\r\n");
  // The next line sets nothing: the empty value is looked up, not the 7
  // written before.
  EXPECT_EQ(convert("b"), "b,0,-,0,1\r\n");
  builder_->convertLine("c", counters_);
  table_.at(abortColumn).value.assign("LOW");
  builder_->finishRow();
  EXPECT_EQ(builder_->row(), "c,-2147483648,-,0,1\r\n");
}

}  // namespace
