#include "parser/normalise.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/platform.h"
#include "common/run_log.h"
#include "common/scoped_time_zone.h"
#include "common/test_files.h"
#include "parser/identifier_tables.h"

namespace {

constexpr const char* kColumnTypes =
    "# log name, type, use, database name\n"
    "cs-uri SQLCHAR 1 url\n"
    "x-request-line SQLCHAR 1 request\n"
    "cs-uri-stem SQLCHAR 1 uristem\n"
    "x-timestamp SQLCHAR 1 timestampid\n"
    "x-localtime SQLCHAR 1 timestampid\n"
    "x-transaction SQLINTEGER 1 transaction\n"
    "x-action SQLINTEGER 1 action\n"
    "date SQLCHAR 1 timestampid\n"
    "time SQLCHAR 1 timeofday\n"
    "cs(user-agent) SQLCHAR 1 browser\n"
    "x-elapsed-milliseconds SQLFLOAT 1 elapsed\n"
    "cs(referer) SQLCHAR 1 referer\n"
    "rs(content-type) SQLCHAR 1 contenttype\n"
    "x-smartfilter-categories SQLCHAR 1 categories\n"
    "x-hiercode SQLCHAR 1 hiercode\n"
    "c-ip SQLCHAR 1 userip\n"
    "zx-hostedsite SQLCHAR 1 hostedsite\n"
    "zx-sitename SQLCHAR 1 sitename\n"
    "zx-statuscode SQLINTEGER 1 statuscode\n"
    "zx-os SQLCHAR 1 os\n"
    "zx-filetype SQLCHAR 1 filetype\n"
    "zx-serverdesc SQLCHAR 1 serverdesc\n"
    "zx-hour SQLINTEGER 1 dt_hour\n"
    "zx-dayofweek SQLINTEGER 1 dt_dayofweek\n"
    "zx-month SQLINTEGER 1 dt_month\n"
    "zx-quarter SQLINTEGER 1 dt_quarter\n"
    "zx-year SQLINTEGER 1 dt_year\n";

constexpr const char* kIdentifiers =
    "[START actions@2\n"
    "BLOCK@3\n"
    "[START transactions@4\n"
    "TCP_MISS@7\n";

class NormaliseTest : public ::testing::Test {
 protected:
  NormaliseTest() : zone_("UTC"), runLog_("parser") {
    dir_ = std::filesystem::temp_directory_path() /
           ("normalise_test_" + std::to_string(std::rand()));
    std::filesystem::create_directories(dir_);
    writeFile(dir_ / "datatypes.dat", kColumnTypes);
    writeFile(dir_ / "datatypes.dat.id", kIdentifiers);
    runLog_.setPath((dir_ / "run.out").string());
    table_ = std::make_unique<ColumnTable>();
    table_->clear();
    EXPECT_EQ(table_->loadColumnTypes((dir_ / "datatypes.dat").string(), runLog_), 0);
    ids_.load((dir_ / "datatypes.dat").string());
    std::filesystem::remove(dir_ / "run.out");
  }
  ~NormaliseTest() override { std::filesystem::remove_all(dir_); }

  // A normaliser for `db`, made after the test chose its time zone.
  void use(DbKind db) { normaliser_ = std::make_unique<FieldNormaliser>(*table_, ids_, db, runLog_); }

  int column(const char* name) const {
    int index = table_->findColumn(name);
    EXPECT_GE(index, 0) << name;
    return index;
  }
  std::string valueOf(const char* name) const {
    return std::string(table_->at(column(name)).value.view());
  }

  // Normalises `text` as the field `name` and returns the new value.
  std::string normalise(const char* name, std::string_view text,
                        std::int64_t writtenLines = 0) {
    field_.assign(text);
    int index = column(name);
    normaliser_->normaliseField(field_, index, treatmentFor(name), row_, writtenLines);
    return std::string(field_.view());
  }

  // Normalises `text` as the field `name` and writes it to the row the way
  // the row builder does (a comma before every value but the first).
  std::string write(const char* name, std::string_view text) {
    std::string value = normalise(name, text);
    if (!row_.empty()) row_.append(',');
    row_.appendValue(column(name), field_.view());
    return value;
  }

  std::string runLogText() const { return readAll(dir_ / "run.out"); }

  ScopedTimeZone zone_;
  std::filesystem::path dir_;
  RunLog runLog_;
  std::unique_ptr<ColumnTable> table_;
  IdentifierTables ids_;
  std::unique_ptr<FieldNormaliser> normaliser_;
  FieldBuffer field_;
  Row row_;
};

TEST_F(NormaliseTest, UrlKeepsPathAndSetsSiteAndFileType) {
  // Treatments are chosen by the exact, case-sensitive log name.
  EXPECT_EQ(treatmentFor("CS-URI"), FieldTreatment::kNone);
  use(DbKind::Oracle);
  EXPECT_EQ(normalise("cs-uri", "http://www.example.net:8080/dir/page.html?q=a,b"),
            "http://www.example.net:8080/dir/page.html");
  EXPECT_EQ(valueOf("zx-sitename"), "www.example.net");
  EXPECT_EQ(valueOf("zx-hostedsite"), "");
  EXPECT_EQ(valueOf("zx-filetype"), "html");

  EXPECT_EQ(normalise("x-request-line", "GET http://img.host.org/a,b/x.jpg HTTP/1.1"),
            "http://img.host.org/a");
  EXPECT_EQ(valueOf("zx-sitename"), "img.host.org");
  EXPECT_EQ(valueOf("zx-filetype"), "-");
  EXPECT_EQ(normalise("x-request-line", "GET http://img.host.org/x.jpg HTTP/1.1"),
            "http://img.host.org/x.jpg");
  EXPECT_EQ(valueOf("zx-filetype"), "jpg");
  // Commas become blanks when no request line is cut.
  EXPECT_EQ(normalise("cs-uri", "http://h/a,b"), "http://h/a b");
  EXPECT_EQ(normalise("cs-uri", "http://h/x.com/y"), "http://h/x.com/y");
  EXPECT_EQ(valueOf("zx-hostedsite"), "x.com");
  EXPECT_EQ(normalise("cs-uri-stem", "/a/B.GIF"), "/a/B.GIF");
  EXPECT_EQ(valueOf("zx-filetype"), "gif");
}

TEST_F(NormaliseTest, LongUrlsAreCutBelowTheLimitWithAMessage) {
  use(DbKind::Oracle);
  const std::string base = "http://h/";
  std::string exact = base + std::string(1024 - base.size(), 'a');
  EXPECT_EQ(normalise("cs-uri", exact, 5), exact);
  EXPECT_EQ(runLogText(), "");
  std::string over = exact + "b";
  EXPECT_EQ(normalise("cs-uri", over, 41), exact.substr(0, 1023));
  EXPECT_NE(runLogText().find(" 2 System parser \"Truncating URL greater than 1024 "
                              "chars at line:41\" \"\"\r\n"),
            std::string::npos)
      << runLogText();

  use(DbKind::Sybase);
  std::string sybase = base + std::string(300, 'c');
  EXPECT_EQ(normalise("cs-uri", sybase).size(), 254u);
  // The longest field a line can carry stays inside its buffer.
  EXPECT_EQ(normalise("cs-uri", std::string(kMaxFieldLength, 'd')).size(), 254u);
  // Derived values are cut at 255 characters.
  normalise("cs-uri", "http://" + std::string(400, 'h') + "/x");
  EXPECT_EQ(valueOf("zx-sitename"), std::string(255, 'h'));
}

TEST_F(NormaliseTest, CodesAreLookedUpAndSplit) {
  use(DbKind::None);
  EXPECT_EQ(normalise("x-transaction", "TCP_MISS/200"), "7");
  EXPECT_EQ(valueOf("zx-statuscode"), "200");
  EXPECT_EQ(normalise("x-transaction", "TCP_HIT"), "0");
  EXPECT_EQ(valueOf("zx-statuscode"), "");
  EXPECT_EQ(normalise("x-action", "BLOCK"), "3");
  EXPECT_EQ(normalise("x-action", "-"), "0");
  EXPECT_EQ(normalise("x-hiercode", "DIRECT/10.0.0.1"), "DIRECT");
  EXPECT_EQ(valueOf("zx-serverdesc"), "10.0.0.1");
  EXPECT_EQ(normalise("x-hiercode", "NONE"), "NONE");
  EXPECT_EQ(valueOf("zx-serverdesc"), "");
}

TEST_F(NormaliseTest, TextFieldsTakeTheirReportForm) {
  use(DbKind::None);
  EXPECT_EQ(normalise("rs(content-type)", "text/HTML; charset=UTF-8"), "text/html");
  EXPECT_EQ(normalise("rs(content-type)", "Application/x-foo"), "application/x-foo");
  EXPECT_EQ(normalise("rs(content-type)", "x;application/zip"), "x");
  EXPECT_EQ(normalise("rs(content-type)", "application/pdf"), "application");
  EXPECT_EQ(normalise("x-smartfilter-categories", "News,Sports"), "News|Sports");
  EXPECT_EQ(normalise("cs(referer)", "http://www.ref.com:80/a,b?x"), "www.ref.com");
  EXPECT_EQ(normalise("cs(referer)", "-"), "");
  EXPECT_EQ(normalise("cs(referer)", "http://nohostpath"), "");
  EXPECT_EQ(normalise("cs(user-agent)",
                      "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 5.0)"),
            "MSIE");
  EXPECT_EQ(valueOf("zx-os"), "WinNT");
  EXPECT_EQ(normalise("cs(user-agent)", "curl/8"), "");
  EXPECT_EQ(valueOf("zx-os"), "");
}

TEST_F(NormaliseTest, ElapsedMillisecondsBecomeSeconds) {
  use(DbKind::None);
  EXPECT_EQ(normalise("x-elapsed-milliseconds", "1500"), "1.500000");
  EXPECT_EQ(normalise("x-elapsed-milliseconds", "2.5"), "0.002500");
  EXPECT_EQ(normalise("x-elapsed-milliseconds", "0"), "0");
  EXPECT_EQ(normalise("x-elapsed-milliseconds", "-"), "-");
  EXPECT_EQ(normalise("x-elapsed-milliseconds", "-5"), "-5");
  EXPECT_EQ(normalise("x-elapsed-milliseconds", "inf"), "inf");
  EXPECT_EQ(normalise("x-elapsed-milliseconds", "1e400"), "1e400");
}

TEST(MillisecondsToSecondsTest, WholeNumbersMatchTheGeneralForm) {
  FieldBuffer value;
  char expected[64];
  for (long milliseconds = 1; milliseconds < 1000000000; milliseconds = milliseconds * 3 + 7) {
    for (long near = milliseconds; near < milliseconds + 1002; near += 13) {
      value.assign(std::to_string(near));
      millisecondsToSeconds(value);
      std::snprintf(expected, sizeof expected, "%lf", near * 0.001);
      ASSERT_EQ(value.view(), expected) << near;
    }
  }
  value.assign("999999999");
  millisecondsToSeconds(value);
  EXPECT_EQ(value.view(), "999999.999000");
  value.assign("0000");
  millisecondsToSeconds(value);
  EXPECT_EQ(value.view(), "0000");
  value.assign("1234567890123");
  millisecondsToSeconds(value);
  EXPECT_EQ(value.view(), "1234567890.123000");
}

TEST_F(NormaliseTest, EpochSecondsBecomeLocalTime) {
  use(DbKind::None);
  EXPECT_EQ(normalise("x-timestamp", "1000000000.750"), "2001-09-09 01:46:40.000");
  EXPECT_EQ(valueOf("x-timestamp"), "2001-09-09 01:46:40.000");
  use(DbKind::Oracle);
  EXPECT_EQ(normalise("x-timestamp", "1000000000"), "2001-09-09 01:46:40");
  // Remembered texts of the last second: a number that only starts like
  // the last one, or a time converted in between, must not mix them up.
  EXPECT_EQ(normalise("x-timestamp", "10000000001"), "2286-11-20 17:46:41");
  normalise("x-localtime", "[10/Oct/2000:10:00:00 -0700]");
  EXPECT_EQ(normalise("x-timestamp", "10000000001.5"), "2286-11-20 17:46:41");
  EXPECT_EQ(normalise("x-timestamp", "1000000000.5"), "2001-09-09 01:46:40");
  // Not a positive number of seconds: the zero date and time.
  // The last one lies in a year past the int range that the platform still
  // converts.
  for (const char* bad : {"0", "-1", "-", "", "abc", "99999999999999999999",
                          "67768000000000000"}) {
    EXPECT_EQ(normalise("x-timestamp", bad), "0000-00-00 00:00:00") << bad;
  }
  EXPECT_EQ(valueOf("x-timestamp"), "0000-00-00 00:00:00");
  {
    ScopedTimeZone east("UTC-1");
    use(DbKind::Oracle);
    EXPECT_EQ(normalise("x-timestamp", "1000000000"), "2001-09-09 02:46:40");
  }
}

TEST_F(NormaliseTest, CommonLogTimesAreConvertedWithTheirZone) {
  use(DbKind::Oracle);
  EXPECT_EQ(normalise("x-localtime", "[10/Oct/2000:10:00:00 -0700]"), "2000-10-10 17:00:00");
  EXPECT_EQ(valueOf("x-localtime"), "2000-10-10 17:00:00");
  EXPECT_EQ(normalise("x-localtime", "[10/Oct/2000:00:30:00 +0100]"), "2000-10-09 23:30:00");
  EXPECT_EQ(normalise("x-localtime", "10/Oct/2000:00:30:00 +0100"), "0000-00-00 00:00:00");
  // Months are told by their letters alone: "Foo" reads as February.
  EXPECT_EQ(normalise("x-localtime", "[10/Foo/2000:00:30:00 +0100]"), "2000-02-09 23:30:00");
  EXPECT_EQ(normalise("x-localtime", "[10/Xyz/2000:00:30:00 +0100]"), "0000-00-00 00:00:00");
  {
    ScopedTimeZone east("UTC-1");
    use(DbKind::None);
    EXPECT_EQ(normalise("x-localtime", "[10/Oct/2000:10:00:00 -0700]"),
              "2000-10-10 18:00:00.000");
  }
}

TEST_F(NormaliseTest, CommonLogTimesAreExactInBothSeasons) {
  ScopedTimeZone berlin("Europe/Berlin");
  if (platform::standardOffsetWest() != -3600) GTEST_SKIP() << "zone not available";
  use(DbKind::Oracle);
  // Winter: one hour east; summer: two. Subtracting the standard offset
  // alone would put the summer time an hour early.
  EXPECT_EQ(normalise("x-localtime", "[15/Jan/2002:10:00:00 +0000]"), "2002-01-15 11:00:00");
  EXPECT_EQ(normalise("x-localtime", "[15/Jul/2002:10:00:00 +0000]"), "2002-07-15 12:00:00");
  EXPECT_EQ(normalise("x-localtime", "[15/Jul/2002:03:00:00 -0700]"), "2002-07-15 12:00:00");
  // The night of the change to summer time: 01:30 UTC is 03:30 local.
  EXPECT_EQ(normalise("x-localtime", "[31/Mar/2002:00:59:59 +0000]"), "2002-03-31 01:59:59");
  EXPECT_EQ(normalise("x-localtime", "[31/Mar/2002:01:30:00 +0000]"), "2002-03-31 03:30:00");
}

TEST_F(NormaliseTest, DateThenTimeConvertsTheMergedPairFromUtc) {
  ScopedTimeZone east("UTC-1");
  use(DbKind::None);
  EXPECT_EQ(write("c-ip", "10.0.0.1"), "10.0.0.1");
  EXPECT_EQ(write("date", "2002-03-04"), "2002-03-04 00:00:00.000");
  EXPECT_EQ(write("time", "23:30:00"), "00:30:00");
  EXPECT_EQ(row_.view(), "10.0.0.1,2002-03-05 00:30:00.000,00:30:00");
  EXPECT_EQ(valueOf("date"), "2002-03-05 00:30:00.000");

  // The calendar columns follow the converted local date and hour.
  HeaderLayout layout;
  layout.headerFields = {column("c-ip"), column("date"), column("time")};
  normaliser_->fillDateParts(layout);
  EXPECT_EQ(valueOf("zx-hour"), "0");
  EXPECT_EQ(valueOf("zx-dayofweek"), "3");
  EXPECT_EQ(valueOf("zx-month"), "3");
  EXPECT_EQ(valueOf("zx-quarter"), "1");
  EXPECT_EQ(valueOf("zx-year"), "2002");
}

TEST_F(NormaliseTest, DateThenTimeFollowsDaylightSaving) {
  ScopedTimeZone berlin("Europe/Berlin");
  if (platform::standardOffsetWest() != -3600) GTEST_SKIP() << "zone not available";
  use(DbKind::Oracle);
  write("date", "2002-07-01");
  EXPECT_EQ(write("time", "23:30:00"), "01:30:00");
  EXPECT_EQ(row_.view(), "2002-07-02 01:30:00,01:30:00");
  row_.clear();
  write("date", "2002-01-01");
  write("time", "23:30:00");
  EXPECT_EQ(row_.view(), "2002-01-02 00:30:00,00:30:00");
}

TEST_F(NormaliseTest, TimeThenDateKeepsTheLogTime) {
  ScopedTimeZone east("UTC-1");
  use(DbKind::None);
  EXPECT_EQ(write("time", "23:30:00"), "0000-00-00 23:30:00.000");
  EXPECT_EQ(write("date", "2002-03-04"), "2002-03-04");
  EXPECT_EQ(row_.view(), "2002-03-04 23:30:00.000,2002-03-04");
  EXPECT_EQ(valueOf("time"), "2002-03-04 23:30:00.000");
  EXPECT_EQ(valueOf("date"), "2002-03-04 23:30:00.000");
}

TEST_F(NormaliseTest, MergeLooksOnlyAtThePartnersValue) {
  use(DbKind::Oracle);
  // An unrelated value holding the placeholders stays as it was.
  write("c-ip", "0000-00-00 00:00:00");
  write("date", "2002-03-04");
  write("time", "23:30:00");
  EXPECT_EQ(row_.view(), "0000-00-00 00:00:00,2002-03-04 23:30:00,23:30:00");
  // A partner from an earlier line is no partner.
  row_.clear();
  write("time", "12:00:00");
  EXPECT_EQ(row_.view(), "0000-00-00 12:00:00");
  // A date whose column is not written to the row cannot be completed.
  row_.clear();
  normalise("date", "2002-03-04");
  EXPECT_EQ(write("time", "12:00:00"), "0000-00-00 12:00:00");
}

TEST_F(NormaliseTest, MalformedDatesAndTimesBecomeThePlaceholder) {
  use(DbKind::None);
  write("c-ip", "x");
  EXPECT_EQ(write("date", "2002-3-4"), "0000-00-00 00:00:00.000");
  EXPECT_EQ(write("time", "1:2:3"), "0000-00-00 00:00:00.000");
  EXPECT_EQ(row_.view(), "x,0000-00-00 00:00:00.000,0000-00-00 00:00:00.000");
  // A time after a placeholder date does not invent a date.
  row_.clear();
  write("date", "2002-3-4");
  EXPECT_EQ(write("time", "12:00:00"), "0000-00-00 12:00:00.000");
  EXPECT_EQ(row_.view(), "0000-00-00 00:00:00.000,0000-00-00 12:00:00.000");
  // A date of a bad shape is not converted either.
  row_.clear();
  write("date", "2002-13-40");
  EXPECT_EQ(write("time", "12:00:00"), "0000-00-00 12:00:00.000");
  EXPECT_EQ(row_.view(), "2002-13-40 00:00:00.000,0000-00-00 12:00:00.000");
}

TEST_F(NormaliseTest, DatePartsComeFromTheFirstWrittenTimestamp) {
  use(DbKind::None);
  HeaderLayout layout;
  layout.headerFields = {column("c-ip"), column("x-timestamp"), column("x-localtime")};
  normalise("x-timestamp", "1038661500");  // 2002-11-30 13:05:00 UTC
  normalise("x-localtime", "[01/Jan/2003:05:00:00 +0000]");
  normaliser_->fillDateParts(layout);
  EXPECT_EQ(valueOf("zx-hour"), "13");
  EXPECT_EQ(valueOf("zx-dayofweek"), "7");
  EXPECT_EQ(valueOf("zx-month"), "11");
  EXPECT_EQ(valueOf("zx-quarter"), "4");
  EXPECT_EQ(valueOf("zx-year"), "2002");

  // A column that is not used is skipped; the next timestamp counts.
  table_->at(column("x-timestamp")).outputFlag = 0;
  normaliser_->fillDateParts(layout);
  EXPECT_EQ(valueOf("zx-hour"), "5");
  EXPECT_EQ(valueOf("zx-quarter"), "1");
  EXPECT_EQ(valueOf("zx-year"), "2003");

  // No value, or a date text without four parts: nothing changes.
  table_->at(column("x-localtime")).value.clear();
  normaliser_->fillDateParts(layout);
  EXPECT_EQ(valueOf("zx-hour"), "5");
  table_->at(column("x-localtime")).value.assign("-");
  normaliser_->fillDateParts(layout);
  EXPECT_EQ(valueOf("zx-hour"), "5");
  table_->at(column("x-localtime")).value.assign("2003-01-02");
  normaliser_->fillDateParts(layout);
  EXPECT_EQ(valueOf("zx-hour"), "5");
  normalise("x-localtime", "[01/Foo]");
  EXPECT_EQ(valueOf("x-localtime"), "0000-00-00 00:00:00.000");
  normaliser_->fillDateParts(layout);
  EXPECT_EQ(valueOf("zx-hour"), "5");
  EXPECT_EQ(valueOf("zx-year"), "2003");
  table_->at(column("x-localtime")).value.assign("2003-05-02 7");
  normaliser_->fillDateParts(layout);
  EXPECT_EQ(valueOf("zx-hour"), "7");
  EXPECT_EQ(valueOf("zx-quarter"), "2");
  // Back to an hour seen before: every column follows again.
  normalise("x-localtime", "[30/Nov/2002:13:59:00 +0000]");
  normaliser_->fillDateParts(layout);
  EXPECT_EQ(valueOf("zx-hour"), "13");
  EXPECT_EQ(valueOf("zx-dayofweek"), "7");
  EXPECT_EQ(valueOf("zx-quarter"), "4");
  EXPECT_EQ(valueOf("zx-year"), "2002");
}

}  // namespace
