#include "parser/header.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/run_log.h"
#include "parser/line_loop.h"
#include "parser/log_reader.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kColumns =
    "c-ip SQLCHAR 1 userip\n"
    "cs-uri SQLCHAR 1 url\n"
    "bytes SQLINTEGER 1 bytes\n"
    "sc-status SQLINTEGER 1 status\n"
    "x-localtime SQLCHAR 1 timestampid\n"
    "x-request-line SQLCHAR 1 url\n"
    "bytes_sent SQLINTEGER 1 bytes\n"
    "send_time SQLINTEGER 1 sendtime\n"
    "sent_time SQLINTEGER 1 senttime\n"
    "zx-unknown SQLCHAR 0 unknown\n"
    "zx-hour SQLINTEGER 1 dt_hour\n"
    "zx-refcount SQLINTEGER 1 refcount\n"
    "zx-sitename SQLCHAR 1 sitename\n";

class HeaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (std::string("header_") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    runLog_.setPath((dir_ / "run.out").string());
    loadColumns(kColumns);
  }
  void TearDown() override {
    reader_.close();
    fs::remove_all(dir_);
  }

  std::string path(const char* name) const { return (dir_ / name).string(); }

  void write(const char* name, const std::string& text) {
    std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
    out << text;
  }

  void loadColumns(const std::string& text) {
    write("types.dat", text);
    table_.clear();
    ASSERT_EQ(table_.loadColumnTypes(path("types.dat"), RunLog("parser")), 0);
  }

  /// Messages of the run log, one "LEVEL text" per line.
  std::string messages() {
    std::ifstream in(path("run.out"), std::ios::binary);
    std::string out;
    std::string line;
    while (std::getline(in, line)) {
      std::size_t level = line.find(' ') + 1;
      std::size_t open = line.find('"');
      std::size_t close = line.rfind("\" \"\"");
      out += line.substr(level, 1) + " " +
             line.substr(open + 1, close - open - 1) + "\n";
    }
    return out;
  }

  /// Opens a log holding `text` and reads its header with `format`.
  int readLogHeader(const std::string& text, std::string_view format) {
    write("access.log", text);
    EXPECT_TRUE(reader_.open(path("access.log")));
    return readHeader(reader_, format, table_, layout_, runLog_);
  }

  /// The next line the line loop would see.
  std::string nextLine() {
    char buffer[kLineReadLimit + 1];
    std::size_t length = 0;
    if (!reader_.readLine(buffer, &length)) return "<end>";
    return std::string(buffer, length);
  }

  int column(const char* name) const { return table_.findColumn(name); }

  fs::path dir_;
  RunLog runLog_{"parser"};
  ColumnTable table_;
  HeaderLayout layout_;
  LogReader reader_;
};

TEST_F(HeaderTest, FieldsLineMapsNamesToColumns) {
  ASSERT_EQ(parseFieldsLine("#Fields: c-ip no-such-name cs-uri \r\n", table_,
                            layout_, runLog_),
            0);
  EXPECT_EQ(layout_.headerFields,
            (std::vector<int>{column("c-ip"), column("zx-unknown"),
                              column("cs-uri")}));
  // The blank before the line break is gone, the line break kept.
  EXPECT_EQ(layout_.headerLine, "#Fields: c-ip no-such-name cs-uri\r\n");
  EXPECT_EQ(messages(),
            "4 Invalid header field 'no-such-name'.  Using default\n");
}

TEST_F(HeaderTest, HeaderLineHasTheFormTheLineLoopGivesTheSameLine) {
  // A repeated format line is compared with the header's: both must lose
  // the same blank, and only one directly before "\r\n" or "\n".
  for (std::string line :
       {"#Fields: c-ip cs-uri \r\n", "#Fields: c-ip cs-uri \n",
        "#Fields: c-ip cs-uri \r\r\n", "#Fields: c-ip cs-uri \r",
        "#Fields: c-ip cs-uri \r\n\n", "#Fields: c-ip cs-uri"}) {
    ASSERT_EQ(parseFieldsLine(line, table_, layout_, runLog_), 0) << line;
    std::string loopCopy = line;
    loopCopy.resize(removeBlankBeforeBreak(loopCopy.data(), loopCopy.size()));
    EXPECT_EQ(layout_.headerLine, loopCopy);
  }
}

TEST_F(HeaderTest, FieldsLineNameRules) {
  // Quoted names, '=' ending a name, names looked up ignoring case.
  ASSERT_EQ(parseFieldsLine("format=\"c-ip\" CS-URI=bytes\n", table_, layout_,
                            runLog_),
            0);
  EXPECT_EQ(
      layout_.headerFields,
      (std::vector<int>{column("c-ip"), column("cs-uri"), column("bytes")}));
  // Two blanks give an empty name, which no column has.
  ASSERT_EQ(parseFieldsLine("#Fields: c-ip  bytes\n", table_, layout_, runLog_),
            0);
  EXPECT_EQ(layout_.headerFields.size(), 3u);
  EXPECT_EQ(layout_.headerFields[1], column("zx-unknown"));
  EXPECT_EQ(messages(), "4 Invalid header field ''.  Using default\n");
  // A single name is a format; the keyword alone, or another keyword, is not.
  ASSERT_EQ(parseFieldsLine("#Fields: bytes", table_, layout_, runLog_), 0);
  EXPECT_EQ(layout_.headerFields, (std::vector<int>{column("bytes")}));
  EXPECT_EQ(parseFieldsLine("#Fields:\r\n", table_, layout_, runLog_), -4);
  EXPECT_EQ(parseFieldsLine("#Fields: \r\n", table_, layout_, runLog_), -4);
  EXPECT_EQ(parseFieldsLine("#Remark: c-ip\r\n", table_, layout_, runLog_), -4);
  EXPECT_EQ(parseFieldsLine("1.2.3.4 c-ip\r\n", table_, layout_, runLog_), -4);
  EXPECT_EQ(layout_.headerFields, (std::vector<int>{column("bytes")}));
  EXPECT_EQ(layout_.headerLine, "#Fields: bytes");
}

TEST_F(HeaderTest, FieldsLineWithoutSubstituteColumnIsRefused) {
  loadColumns("c-ip SQLCHAR 1 userip\n");
  ASSERT_EQ(parseFieldsLine("#Fields: c-ip\n", table_, layout_, runLog_), 0);
  EXPECT_EQ(parseFieldsLine("#Fields: c-ip other\n", table_, layout_, runLog_),
            -6);
  EXPECT_EQ(layout_.headerFields, (std::vector<int>{column("c-ip")}));
  EXPECT_EQ(layout_.headerLine, "#Fields: c-ip\n");
  EXPECT_EQ(messages(),
            "4 Invalid header field 'other'.  Using default\n"
            "5 Invalid header field 'other'.  Using default\n");
}

TEST_F(HeaderTest, FormatOfMoreThan512FieldsIsRefused) {
  std::string line = "#Fields:";
  for (int i = 0; i < 512; ++i) line += " bytes";
  ASSERT_EQ(parseFieldsLine(line + "\n", table_, layout_, runLog_), 0);
  EXPECT_EQ(layout_.headerFields.size(), 512u);
  EXPECT_EQ(parseFieldsLine(line + " c-ip\n", table_, layout_, runLog_), -4);
  EXPECT_EQ(layout_.headerFields.size(), 512u);
  EXPECT_EQ(layout_.headerFields.back(), column("bytes"));
}

TEST_F(HeaderTest, LogTypeFromHeaderLines) {
  struct Case {
    const char* line;
    const char* expected;
  } cases[] = {
      {"#Remark: streaming over http\n", "http"},
      {"#Remark: details streaming\n", "details"},
      {"#Remark: streaming\n", "streaming"},
      {"#Remark: zentrix\n", "zx"},
      {"#Remark: quarn\n", "quarn"},
      {"#Remark: velt\n", "velt"},
      {"#Remark: dravock\n", "dk"},
      {"#Remark: vbk\n", "vbk"},
      {"#Remark: HTTP\n", "before"},
      {"#Remark: format=x\n", "before"},
      {"format=%Ses->client.ip%\n", "http"},
      {"#Software: Windows Media Services 9\n", "streaming"},
      {"#Software: Other format= server\n", "http"},
      {"#Software: windows media services\n", "before"},
      {"#Fields: c-ip\n", "before"},
  };
  for (const Case& c : cases) {
    std::string name = "before";
    detectLogType(c.line, name);
    EXPECT_EQ(name, c.expected) << c.line;
  }
}

TEST_F(HeaderTest, AutomaticSearchConsumesHeaderLines) {
  ASSERT_EQ(readLogHeader("#Software: Windows Media Services 9.0\r\n"
                          "#Version: 1.0\r\n"
                          "#Date: 2003-01-01 00:00:00\r\n"
                          "#Fields: c-ip cs-uri\r\n"
                          "1.2.3.4 /a\r\n",
                          ""),
            0);
  EXPECT_EQ(layout_.logTypeName, "streaming");
  EXPECT_EQ(layout_.headerFields,
            (std::vector<int>{column("c-ip"), column("cs-uri")}));
  EXPECT_EQ(layout_.headerLine, "#Fields: c-ip cs-uri\r\n");
  EXPECT_EQ(nextLine(), "1.2.3.4 /a\r\n");
}

TEST_F(HeaderTest, AutomaticSearchStopsAfterTenLines) {
  std::string tenth;
  for (int i = 0; i < 9; ++i) tenth += "#Remark: nothing\n";
  EXPECT_EQ(readLogHeader(tenth + "#Fields: c-ip\n", ""), 0);
  reader_.close();
  EXPECT_EQ(readLogHeader(tenth + "#Remark: x\n#Fields: c-ip\n", ""), -4);
  reader_.close();
  EXPECT_EQ(readLogHeader("", ""), -4);
}

TEST_F(HeaderTest, AutomaticSearchGoesOnAfterARefusedFormat) {
  loadColumns("c-ip SQLCHAR 1 userip\n");
  ASSERT_EQ(readLogHeader("#Fields: c-ip other\n#Fields: c-ip\nx\n", ""), 0);
  EXPECT_EQ(layout_.headerLine, "#Fields: c-ip\n");
  EXPECT_EQ(nextLine(), "x\n");
}

TEST_F(HeaderTest, BuiltInTemplatesConsumeNoLine) {
  ASSERT_EQ(readLogHeader("first line\n", "common"), 0);
  EXPECT_EQ(layout_.logTypeName, "http");
  EXPECT_EQ(layout_.headerFields.size(), 7u);
  EXPECT_EQ(layout_.headerLine,
            "#Fields: c-ip x-remote-id x-username x-localtime x-request-line "
            "sc-status x-sc-contentlength");
  EXPECT_EQ(nextLine(), "first line\n");
  EXPECT_EQ(builtInTemplate("straccess").logTypeName, "streaming");
  EXPECT_EQ(builtInTemplate("extended").formatText.substr(0, 22),
            "format=%Ses->client.ip");
  EXPECT_TRUE(builtInTemplate("Squid").formatText.empty());
  EXPECT_TRUE(builtInTemplate("real").formatText.empty());
  reader_.close();
  EXPECT_EQ(readLogHeader("first line\n", "SQUID"), -4);
}

TEST_F(HeaderTest, BuiltInTemplateFieldCounts) {
  struct Case {
    const char* name;
    std::size_t fields;
  } cases[] = {{"webaccess", 11},
               {"squid", 10},
               {"common", 7},
               {"combined", 9},
               {"straccess", 19},
               {"extended", 16}};
  for (const Case& c : cases) {
    HeaderLayout layout;
    ASSERT_EQ(parseFieldsLine(builtInTemplate(c.name).formatText, table_,
                              layout, runLog_),
              0);
    EXPECT_EQ(layout.headerFields.size(), c.fields) << c.name;
  }
}

TEST_F(HeaderTest, StreamingVariantsByFieldCount) {
  for (int count : {9, 14, 15, 16, 18, 20}) {
    HeaderLayout layout;
    std::string text = streamingVariantText(count);
    ASSERT_EQ(parseFieldsLine(text, table_, layout, runLog_), 0) << count;
    EXPECT_EQ(layout.headerFields.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(text.find("send_time") != std::string::npos, count == 14);
    EXPECT_EQ(text.find("sent_time") != std::string::npos, count >= 15);
  }
  for (int count : {0, 8, 10, 13, 17, 19, 21}) {
    EXPECT_EQ(streamingVariantText(count), "") << count;
  }
  EXPECT_EQ(streamingVariantText(20).substr(streamingVariantText(18).size()),
            " average_bitrate packets_sent");
}

TEST_F(HeaderTest, RealFormatCountsTheFirstLineAndConsumesIt) {
  // Nine fields once '=' ends a plain field; the trailing blank is removed.
  ASSERT_EQ(readLogHeader("1.2.3.4 - - [01/Jan/2003:00:00:00 +0000] "
                          "\"GET /a HTTP/1.0\" 200 512 a=b \r\nnext\r\n",
                          "real"),
            0);
  EXPECT_EQ(layout_.logTypeName, "streaming");
  EXPECT_EQ(layout_.headerFields.size(), 9u);
  EXPECT_EQ(layout_.headerLine, streamingVariantText(9));
  EXPECT_EQ(nextLine(), "next\r\n");
  reader_.close();
  std::string seventeen;
  for (int i = 0; i < 17; ++i) seventeen += " f";
  EXPECT_EQ(readLogHeader(seventeen.substr(1) + "\n", "real"), -4);
  reader_.close();
  EXPECT_EQ(readLogHeader("", "real"), -4);
}

TEST_F(HeaderTest, MissingDerivedColumnsAreReportedOnce) {
  buildDerivedColumns(table_, layout_, runLog_);
  EXPECT_EQ(layout_.derivedColumns[kHour], column("zx-hour"));
  EXPECT_EQ(layout_.derivedColumns[kRefCount], column("zx-refcount"));
  EXPECT_EQ(layout_.derivedColumns[kGroupId], -1);
  std::string log = messages();
  EXPECT_NE(
      log.find("4 Derived column zx-groupid is not in the column data types "
               "file; it is left out of every row\n"),
      std::string::npos);
  // 17 derived columns, 3 of them present.
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 14);
}

TEST_F(HeaderTest, DuplicateColumnsAreSwitchedOff) {
  // c-ip twice: its column is cleared once and neither position is written.
  ASSERT_EQ(parseFieldsLine("#Fields: c-ip cs-uri c-ip zx-refcount bytes_sent "
                            "x-request-line bytes\n",
                            table_, layout_, runLog_),
            0);
  buildDerivedColumns(table_, layout_, runLog_);
  fs::remove(path("run.out"));
  checkDuplicateColumns(table_, layout_, runLog_);
  EXPECT_EQ(table_.at(column("c-ip")).outputFlag, 0);
  EXPECT_EQ(table_.at(column("cs-uri")).outputFlag, 1);
  EXPECT_EQ(table_.at(column("x-request-line")).outputFlag, 0);
  EXPECT_EQ(table_.at(column("bytes_sent")).outputFlag, 1);
  EXPECT_EQ(table_.at(column("bytes")).outputFlag, 0);
  // A header field that is a derived column is cleared as derived column.
  EXPECT_EQ(table_.at(column("zx-refcount")).outputFlag, 0);
  EXPECT_EQ(messages(),
            "4 Duplicate internal header field userip\n"
            "4 Duplicate internal header field url\n"
            "4 Duplicate header field refcount\n"
            "4 Duplicate internal header field bytes\n");
}

}  // namespace
