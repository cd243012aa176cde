#include "parser/load_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "common/run_log.h"
#include "common/test_files.h"

namespace {

namespace fs = std::filesystem;

/// A column table and header layout built by hand, a scratch directory and
/// a run log inside it.
class LoadFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           (std::string("load_files_") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    runLog_.setPath(path("run.out"));
  }
  void TearDown() override { fs::remove_all(dir_); }

  /// A path inside the scratch directory.
  std::string path(const std::string& name) const {
    return (dir_ / name).string();
  }

  /// Adds a column and returns its index.
  int addColumn(const char* logName, const char* dbName, int outputFlag,
                int sqlType = kSqlText) {
    int index = columns_++;
    ColumnDef& column = table_->at(index);
    column.logName.assign(logName);
    column.dbName.assign(dbName);
    column.outputFlag = outputFlag;
    column.sqlType = sqlType;
    return index;
  }
  /// Adds a column that is the next field of every log line.
  int addField(const char* dbName, int outputFlag = 1, int sqlType = kSqlText) {
    int index = addColumn(dbName, dbName, outputFlag, sqlType);
    layout_.headerFields.push_back(index);
    return index;
  }
  /// Adds a derived column in `slot`.
  void addDerived(DerivedSlot slot, const char* dbName, int outputFlag = 1) {
    layout_.derivedColumns[slot] =
        addColumn(kDerivedNames[slot].data(), dbName, outputFlag);
  }
  /// The columns of the worked examples: timestampid, userip, url, status.
  void addExampleColumns() {
    addField("timestampid");
    addField("userip");
    addField("url");
    addField("status", 1, kSqlInteger);
  }

  std::string runLogText() const { return readAll(dir_ / "run.out"); }

  fs::path dir_;
  std::unique_ptr<ColumnTable> table_ = std::make_unique<ColumnTable>();
  HeaderLayout layout_;
  int columns_ = 0;
  RunLog runLog_{"parser"};
};

const char kLoaderComments[] =
    "-- usage:\r\n"
    "-- F:\\Oracle\\Ora817\\bin>SQLLdr userid=zx_user/hvlemz@ZX "
    "control=F:\\bulk\\http3.ctl log=f:\\bulk\\http3.log\r\n";

const std::string kLoaderHead = std::string(kLoaderComments) +
    "OPTIONS(ERRORS=1000,SILENT=FEEDBACK,ROWS=500)\r\n"
    "LOAD DATA\r\n";

const char kLoaderTail[] =
    "APPEND\r\n"
    "INTO TABLE raw_cache1\r\n"
    "FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\\''\r\n";

TEST_F(LoadFilesTest, OracleControlFileOfTheRawDataSetLoadsTheSortFile) {
  addExampleColumns();
  std::string control = path("ex.log.ctl");
  ASSERT_EQ(0, writeOracleControlFile(control, "D:\\logs\\ex.log.csv",
                                      "raw_cache1", true, *table_, layout_,
                                      runLog_));
  EXPECT_EQ(kLoaderHead +
                "INFILE 'D:\\logs\\ex.log.srt' \"str '\\r\\n'\"\r\n" +
                kLoaderTail +
                "( timestampid DATE \"YYYY-MM-DD HH24:MI:SS\",\r\n"
                "userip,\r\n"
                "url CHAR(1024),\r\n"
                "status)\r\n",
            readAll(control));
  EXPECT_EQ("", runLogText());
}

TEST_F(LoadFilesTest, OracleControlFileInputPath) {
  addField("userip");
  std::string control = path("x.ctl");
  // Other data sets load the data file itself.
  ASSERT_EQ(0, writeOracleControlFile(control, "D:\\logs\\ex.log.sf.csv",
                                      "smart_c", false, *table_, layout_,
                                      runLog_));
  EXPECT_NE(std::string::npos,
            readAll(control).find("INFILE 'D:\\logs\\ex.log.sf.csv' "));
  // A directory named like a data file does not cut the sort file path.
  ASSERT_EQ(0, writeOracleControlFile(control, "D:\\a.csv\\x.log.csv", "raw_c",
                                      true, *table_, layout_, runLog_));
  EXPECT_NE(std::string::npos,
            readAll(control).find("INFILE 'D:\\a.csv\\x.log.srt' "));
  // Paths far past 255 characters are written whole.
  std::string longData = "/" + std::string(600, 'd') + "/x.log.csv";
  ASSERT_EQ(0, writeOracleControlFile(control, longData, "raw_c", true,
                                      *table_, layout_, runLog_));
  EXPECT_NE(std::string::npos,
            readAll(control).find("INFILE '/" + std::string(600, 'd') +
                                    "/x.log.srt' "));
}

TEST_F(LoadFilesTest, OracleControlFileClosingParenthesis) {
  std::string control = path("x.ctl");
  auto columnList = [&]() {
    EXPECT_EQ(0, writeOracleControlFile(control, "a.csv", "t", false, *table_,
                                        layout_, runLog_));
    std::string text = readAll(control);
    return text.substr(text.find("( "));
  };
  EXPECT_EQ("( )\r\n", columnList());  // no declared column
  addField("url");
  EXPECT_EQ("( url CHAR(1024))\r\n", columnList());
  layout_.headerFields.clear();
  addField("status");
  addField("timestampid");
  EXPECT_EQ(
      "( status,\r\n"
      "timestampid DATE \"YYYY-MM-DD HH24:MI:SS\"\r\n"
      ")\r\n",
      columnList());
}

TEST_F(LoadFilesTest, LoadFilesDeclareOnlyTheColumnsRowsHold) {
  addField("userip");
  addField("skipped", 0);
  addField("normalisedonly", 2);
  addField("status");
  addDerived(kSiteName, "sitename");
  addDerived(kStatusCode, "url");  // a derived url is a url all the same
  addDerived(kOs, "os", 0);
  addDerived(kYear, "dt_year");
  // kHour and the other slots stay -1: missing from the data types file.
  ASSERT_EQ(5, countDeclaredColumns(*table_, layout_));

  ASSERT_EQ(0, writeOracleControlFile(path("x.ctl"), "x.csv", "raw_a", true,
                                      *table_, layout_, runLog_));
  std::string control = readAll(path("x.ctl"));
  EXPECT_EQ(
      "( userip,\r\nstatus,\r\nsitename,\r\nurl CHAR(1024),\r\ndt_year)\r\n",
      control.substr(control.find("( ")));

  ASSERT_EQ(0, writeColumnDescriptionFile(path("x.zx3"), *table_, layout_,
                                          runLog_));
  EXPECT_EQ("userip,status,sitename,url,dt_year\r\n",
            readAll(path("x.zx3")));

  ASSERT_EQ(0, writeBcpFormatFile(path("x.bcp"), DataSet::Raw, *table_,
                                  layout_, runLog_));
  EXPECT_EQ(
      "7.0\r\n5\r\n"
      "1\tSQLCHAR\t0\t255\t\",\"\t11\tuserip\r\n"
      "2\tSQLCHAR\t0\t255\t\",\"\t7\tstatus\r\n"
      "3\tSQLCHAR\t0\t255\t\",\"\t18\tsitename\r\n"
      "4\tSQLCHAR\t0\t255\t\",\"\t14\turl\r\n"
      "5\tSQLCHAR\t0\t255\t\"\\r\\n\"\t40\tdt_year\r\n",
      readAll(path("x.bcp")));
}

TEST_F(LoadFilesTest, OracleControlFileFailures) {
  addField("userip");
  // A data path without the data suffix names no input.
  std::string control = path("x.ctl");
  EXPECT_EQ(-8, writeOracleControlFile(control, "D:\\logs\\ex.log", "raw_c",
                                       true, *table_, layout_, runLog_));
  EXPECT_EQ(kLoaderComments, readAll(control));
  EXPECT_NE(std::string::npos,
            runLogText().find(
                "\"Could not open sort control file D:\\logs\\ex.log\""));

  // An unwritable place: the message is cut to 255 characters.
  std::string missing = path("missing");
  for (int i = 0; i < 6; ++i) missing += "/" + std::string(50, 'm');
  missing += "/x.ctl";
  EXPECT_EQ(-8, writeOracleControlFile(missing, "x.csv", "raw_c", true,
                                       *table_, layout_, runLog_));
  EXPECT_FALSE(fs::exists(missing));
  std::string expected = ("Could not open control file " + missing).substr(0, 255);
  EXPECT_NE(std::string::npos, runLogText().find(" 5 System parser \"" +
                                                 expected + "\" \"\"\r\n"));
}

TEST_F(LoadFilesTest, BcpServerColumnOrderFollowsTheDataSetTable) {
  addField("category");
  addField("result");
  addField("dt_year");
  addField("product");
  addField("Url");  // names compare exactly
  auto orders = [&](DataSet dataSet) {
    EXPECT_EQ(0, writeBcpFormatFile(path("x.ctl"), dataSet, *table_, layout_,
                                    runLog_));
    std::istringstream lines(readAll(path("x.ctl")));
    std::string line, result;
    while (std::getline(lines, line)) {
      std::size_t end = line.rfind('\t');
      if (end == std::string::npos) continue;
      std::size_t start = line.rfind('\t', end - 1) + 1;
      result += line.substr(start, end - start) + " ";
    }
    return result;
  };
  EXPECT_EQ("41 41 40 41 41 ", orders(DataSet::Raw));
  EXPECT_EQ("8 9 10 10 10 ", orders(DataSet::SmartFilter));
  EXPECT_EQ("22 22 22 21 22 ", orders(DataSet::Streaming));
}

TEST_F(LoadFilesTest, SingleAndNoDeclaredColumns) {
  ASSERT_EQ(0, writeBcpFormatFile(path("x.ctl"), DataSet::Raw, *table_,
                                  layout_, runLog_));
  EXPECT_EQ("7.0\r\n0\r\n", readAll(path("x.ctl")));
  ASSERT_EQ(0, writeColumnDescriptionFile(path("x.zx3"), *table_, layout_,
                                          runLog_));
  EXPECT_TRUE(fs::exists(path("x.zx3")));
  EXPECT_EQ("", readAll(path("x.zx3")));

  addField("bytecount", 1, kSqlDouble);
  ASSERT_EQ(0, writeBcpFormatFile(path("x.ctl"), DataSet::Raw, *table_,
                                  layout_, runLog_));
  EXPECT_EQ("7.0\r\n1\r\n1\tSQLCHAR\t0\t255\t\"\\r\\n\"\t27\tbytecount\r\n",
            readAll(path("x.ctl")));
  ASSERT_EQ(0, writeColumnDescriptionFile(path("x.zx3"), *table_, layout_,
                                          runLog_));
  EXPECT_EQ("bytecount\r\n", readAll(path("x.zx3")));
}

TEST_F(LoadFilesTest, FilesReplaceOlderOnes) {
  addField("userip");
  std::ofstream(path("x.zx3"), std::ios::binary) << std::string(100, 'o');
  ASSERT_EQ(0, writeColumnDescriptionFile(path("x.zx3"), *table_, layout_,
                                          runLog_));
  EXPECT_EQ("userip\r\n", readAll(path("x.zx3")));
}

TEST_F(LoadFilesTest, FailuresToOpenNameTheFile) {
  std::string missing = path("no/such/dir/x");
  EXPECT_EQ(-8, writeBcpFormatFile(missing, DataSet::Raw, *table_, layout_,
                                   runLog_));
  EXPECT_EQ(-8, writeColumnDescriptionFile(missing, *table_, layout_,
                                           runLog_));
  EXPECT_EQ(-8, writeBillingControlFile(missing, "x.bsrt", "bill_a",
                                        DbKind::Oracle, runLog_));
  std::string log = runLogText();
  EXPECT_NE(std::string::npos,
            log.find(" 5 System parser \"Could not open control file " +
                     missing + "\" \"\"\r\n"));
  std::size_t first = log.find("\"Could not open format file " + missing);
  ASSERT_NE(std::string::npos, first);
  EXPECT_NE(std::string::npos,
            log.find("\"Could not open format file " + missing, first + 1));
}

TEST_F(LoadFilesTest, AFullDiskIsAFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  addExampleColumns();
  EXPECT_EQ(-8, writeColumnDescriptionFile("/dev/full", *table_, layout_,
                                           runLog_));
  EXPECT_EQ(-8, writeOracleControlFile("/dev/full", "x.csv", "t", true,
                                       *table_, layout_, runLog_));
  std::string log = runLogText();
  EXPECT_NE(std::string::npos, log.find("\"Could not write format file /dev/full\""));
  EXPECT_NE(std::string::npos, log.find("\"Could not write control file /dev/full\""));
}

TEST_F(LoadFilesTest, BillingControlFileForOracle) {
  ASSERT_EQ(0, writeBillingControlFile(path("ex.log.b.ctl"),
                                       "D:\\logs\\ex.log.bsrt", "bill_cache1",
                                       DbKind::Oracle, runLog_));
  EXPECT_EQ(kLoaderHead +
                "INFILE 'D:\\logs\\ex.log.bsrt' \"str '\\r\\n'\"\r\n"
                "APPEND\r\n"
                "INTO TABLE bill_cache1\r\n"
                "FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\\''\r\n"
                "( timestampid DATE \"YYYY-MM-DD HH24:MI:SS\",\r\n"
                "groupid,\r\nuserip,\r\nusername,\r\nurl CHAR(1024),\r\n"
                "method,\r\nlogformat,\r\nbillmeasure1,\r\nbillmeasure2,\r\n"
                "billmeasure3\r\n"
                ")\r\n",
            readAll(path("ex.log.b.ctl")));
}

}  // namespace
