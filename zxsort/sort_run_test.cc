#include "zxsort/sort_run.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "zxsort/test_env.h"

namespace {

namespace fs = std::filesystem;

// A directory with a data types file, a header and a data file.
class SortRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zxsort_run_" + std::string(::testing::UnitTest::GetInstance()
                                            ->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    write("dt.dat",
          "date SQLCHAR 1 timestampid\r\ncs-uri SQLCHAR 1 url\r\nsc-bytes SQLFLOAT 1 bytes\r\n"
          "zx-hour SQLINTEGER 1 dt_hour\r\nzx-groupid SQLINTEGER 1 groupid\r\n"
          "zx-refcount SQLINTEGER 1 refcount\r\n");
    write("log.zx3", "timestampid,url,bytes,dt_hour,groupid,refcount\r\n");
  }
  void TearDown() override {
    setTestEnvironment("ZXSORT_FAKE_MEMORY", nullptr);
    fs::remove_all(dir_);
  }

  void write(const std::string& name, const std::string& bytes) {
    std::ofstream out(dir_ / name, std::ios::binary);
    out << bytes;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  int run() {
    return runSort({"-v", (dir_ / "log").string(), "-d", (dir_ / "dt.dat").string(), "-l",
                    (dir_ / "run.out").string()});
  }
  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + 1)) {
      ++n;
    }
    return n;
  }

  fs::path dir_;
};

std::string lines(int n, const char* url = "/a") {
  std::string data;
  for (int k = 0; k < n; ++k) data += std::string("2001-12-17 10:01:00,") + url + ",2,10,0,1\r\n";
  return data;
}

TEST_F(SortRunTest, FullMemoryCutsAnHourIntoParts) {
  setTestEnvironment("ZXSORT_FAKE_MEMORY", "100,1");
  write("log.csv", lines(4097 + 2));
  ASSERT_EQ(0, run());
  std::string log = read("run.out");
  EXPECT_EQ(1, count(log, "\"reaching physical memory limit, grouping records\""));
  // Once at the start of the run, once at the cut.
  EXPECT_EQ(2, count(log, "percentage used: 99.00%:"));
  EXPECT_EQ(2, count(log, "\"Starting read for hour: 10\""));
  EXPECT_EQ(1, count(log, "\"finish read, records read: 4096\""));
  EXPECT_EQ(1, count(log, "\"finish read, records read: 3\""));
  std::string sorted = read("log.srt");
  EXPECT_EQ(2, count(sorted, "\r\n"));
  EXPECT_EQ(1, count(sorted, ",4096\r\n"));
  EXPECT_EQ(1, count(sorted, ",3\r\n"));
}

TEST_F(SortRunTest, MemoryBelowTheLimitKeepsTheHourWhole) {
  setTestEnvironment("ZXSORT_FAKE_MEMORY", "100,6");
  write("log.csv", lines(4097 + 2));
  ASSERT_EQ(0, run());
  EXPECT_EQ(0, count(read("run.out"), "reaching physical memory limit"));
  EXPECT_EQ("2001-12-17 10:00:00,/a,2.000,10,", read("log.srt").substr(0, 32));
  EXPECT_EQ(1, count(read("log.srt"), ",4099\r\n"));
}

}  // namespace
