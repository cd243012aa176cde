#include "parser/identifier_tables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class IdentifierTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("idtables_" +
         std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  /// Writes `text` to the file at `path` unchanged.
  static void write(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }

  /// Writes the identifier file and loads it through a data types path
  /// beside it.
  void load(const std::string& text) {
    write((dir_ / "datatypes.dat.id").string(), text);
    tables_.load((dir_ / "raw_types.dat").string());
  }

  fs::path dir_;
  IdentifierTables tables_;
};

TEST_F(IdentifierTablesTest, SectionsFeedTheirOwnLookups) {
  load(
      "ignored@7\r\n"
      "[START log types]@1\r\n"
      "http@11\r\n"
      "streaming@12\r\n"
      "[START actions]@2\r\n"
      "TCP_HIT@21\r\n"
      "[START aborts]@3\r\n"
      "TCP_HIT@31\r\n"
      "timeout@-5\r\n"
      "[START transactions]@4\r\n"
      "GET@41\r\n"
      "[START other]@5\r\n"
      "http@51\r\n");
  EXPECT_EQ(tables_.logTypeId("http"), 11);
  EXPECT_EQ(tables_.logTypeId("streaming"), 12);
  EXPECT_EQ(tables_.actionId("TCP_HIT"), 21);
  EXPECT_EQ(tables_.abortCodeId("TCP_HIT"), 31);
  EXPECT_EQ(tables_.abortCodeId("timeout"), -5);
  EXPECT_EQ(tables_.transactionId("GET"), 41);
  // Entries before the first section line belong to no table.
  EXPECT_EQ(tables_.logTypeId("ignored"), 0);
  EXPECT_EQ(tables_.actionId("ignored"), 0);
  EXPECT_EQ(tables_.transactionId("http"), 0);
}

TEST_F(IdentifierTablesTest, NamesCompareExactlyAndLaterEntriesWin) {
  load(
      "[START]@2\n"
      "Get@1\n"
      "get@2\n"
      " get@3\n"
      "get @4\n"
      "get@5\n"
      "[START]@3\n"
      "get@9\n");
  EXPECT_EQ(tables_.actionId("get"), 5);
  EXPECT_EQ(tables_.actionId("Get"), 1);
  EXPECT_EQ(tables_.actionId(" get"), 3);
  EXPECT_EQ(tables_.actionId("get "), 4);
  EXPECT_EQ(tables_.actionId("GET"), 0);
  EXPECT_EQ(tables_.abortCodeId("get"), 9);
  // Lookups change nothing: repeated lookups give the same answers.
  EXPECT_EQ(tables_.actionId("GET"), 0);
  EXPECT_EQ(tables_.actionId("get"), 5);
}

TEST_F(IdentifierTablesTest, SectionLinesAndMalformedLines) {
  load(
      "x@2 [START\n"  // "[START" after the '@' still opens a section
      "a@1\n"
      "no at sign\n"
      "@5\n"       // no name
      "b@\r\n"     // no number
      "c@ \t x\n"  // no digits
      "d@  +8 trailing text\n"
      "[START@10\n"  // a section without a table
      "e@1\n"
      "[START@4\n"
      "e@2\n");
  EXPECT_EQ(tables_.actionId("a"), 1);
  EXPECT_EQ(tables_.actionId("b"), 0);
  EXPECT_EQ(tables_.actionId("c"), 0);
  EXPECT_EQ(tables_.actionId("d"), 8);
  EXPECT_EQ(tables_.actionId("e"), 0);
  EXPECT_EQ(tables_.transactionId("e"), 2);
  EXPECT_EQ(tables_.actionId("no at sign"), 0);
}

TEST_F(IdentifierTablesTest, LongNamesAndNumbers) {
  std::string longest(499, 'n');
  std::string tooLong(500, 'm');
  load("[START]@3\n" + longest + "@7\n" + tooLong +
       "@8\n"
       "big@2147483647\nsmall@-2147483648\nover@2147483648\n");
  EXPECT_EQ(tables_.abortCodeId(longest), 7);
  EXPECT_EQ(tables_.abortCodeId(tooLong), 0);
  EXPECT_EQ(tables_.abortCodeId(std::string(499, 'm')), 0);
  EXPECT_EQ(tables_.abortCodeId("big"), 2147483647);
  EXPECT_EQ(tables_.abortCodeId("small"), -2147483647 - 1);
  EXPECT_EQ(tables_.abortCodeId("over"), 0);
}

TEST_F(IdentifierTablesTest, FileIsFoundInTheDirectoryOfEitherSeparator) {
  fs::create_directories(dir_ / "sub");
  // With a backslash, the directory part ends at the backslash: on Windows
  // that is the directory "sub", elsewhere a file name beginning "sub\".
  write((dir_ / "sub").string() + "\\datatypes.dat.id", "[START]@1\nhttp@4\n");
  tables_.load((dir_ / "sub").string() + "\\any_name.dat");
  EXPECT_EQ(tables_.logTypeId("http"), 4);
}

TEST_F(IdentifierTablesTest, MissingFileLeavesEveryLookupAtZero) {
  tables_.load((dir_ / "nowhere" / "types.dat").string());
  EXPECT_EQ(tables_.logTypeId("http"), 0);
  EXPECT_EQ(tables_.actionId(""), 0);
  EXPECT_EQ(tables_.abortCodeId("-"), 0);
  EXPECT_EQ(tables_.transactionId("GET"), 0);
}

TEST_F(IdentifierTablesTest, PathWithoutDirectoryUsesTheCurrentDirectory) {
  write((dir_ / "datatypes.dat.id").string(), "[START]@2\nTCP_MISS@6\n");
  fs::path previous = fs::current_path();
  fs::current_path(dir_);
  tables_.load("types.dat");
  fs::current_path(previous);
  EXPECT_EQ(tables_.actionId("TCP_MISS"), 6);
}

}  // namespace
