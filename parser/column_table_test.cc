#include "parser/column_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "common/run_log.h"
#include "common/test_files.h"

namespace {

/// A loaded table with its run log, for one test.
struct Loaded {
  std::unique_ptr<ColumnTable> table = std::make_unique<ColumnTable>();
  std::string runLogPath;
  int status = 0;
};

Loaded load(const std::string& name, const std::string& contents) {
  Loaded loaded;
  std::string path = tempPath(name + ".dat");
  writeFile(path, contents);
  loaded.runLogPath = tempPath(name + ".out");
  std::remove(loaded.runLogPath.c_str());
  RunLog log("parser");
  log.setPath(loaded.runLogPath);
  loaded.table->clear();
  loaded.status = loaded.table->loadColumnTypes(path, log);
  return loaded;
}

ColumnDef withRules(const std::string& rules) {
  ColumnDef column;
  column.rulesText.assign(rules);
  parseRules(column);
  return column;
}

TEST(ColumnRulesTest, KeywordsValuesAndTheirEnds) {
  ColumnDef two = withRules("exclude=.gif;.jpg;");
  ASSERT_EQ(two.ruleCount, 1);
  EXPECT_EQ(two.rules[0].kind, kRuleExclude);
  ASSERT_EQ(two.rules[0].valueCount, 2);
  EXPECT_EQ(two.rules[0].values[0].view(), ".gif");
  EXPECT_EQ(two.rules[0].values[1].view(), ".jpg");

  ColumnDef bare = withRules("exclude=.gif");
  ASSERT_EQ(bare.ruleCount, 1);
  EXPECT_EQ(bare.rules[0].valueCount, 0);

  ColumnDef mixed = withRules("exclude=a;replace=x:y;");
  ASSERT_EQ(mixed.ruleCount, 2);
  EXPECT_EQ(mixed.rules[0].valueCount, 1);
  EXPECT_EQ(mixed.rules[1].kind, kRuleReplace);
  ASSERT_EQ(mixed.rules[1].valueCount, 2);
  EXPECT_EQ(mixed.rules[1].values[1].view(), "y");

  // A trailing token without its separator is dropped.
  ColumnDef trailing = withRules("exclude=a;b");
  ASSERT_EQ(trailing.rules[0].valueCount, 1);
  EXPECT_EQ(trailing.rules[0].values[0].view(), "a");

  // One empty value: it is kept and matches every text.
  ColumnDef empty = withRules("exclude=;");
  ASSERT_EQ(empty.rules[0].valueCount, 1);
  EXPECT_TRUE(empty.rules[0].values[0].empty());

  // A quoted value right after '=': the opening quote is stepped over, the
  // closing quote ends the rules and drops the value.
  ColumnDef quoted = withRules("exclude=\"abc\";");
  ASSERT_EQ(quoted.ruleCount, 1);
  EXPECT_EQ(quoted.rules[0].valueCount, 0);
}

TEST(ColumnRulesTest, KindsAndUnknownKeywords) {
  ColumnDef column = withRules("esearch=;site=;host=;bogus=v;");
  ASSERT_EQ(column.ruleCount, 4);
  EXPECT_EQ(column.rules[0].kind, kRuleESearch);
  EXPECT_EQ(column.rules[1].kind, kRuleSite);
  EXPECT_EQ(column.rules[2].kind, kRuleHost);
  EXPECT_EQ(column.rules[3].kind, kRuleNone);
  EXPECT_EQ(column.rules[3].valueCount, 1);
  // Keywords are compared exactly.
  EXPECT_EQ(withRules("Exclude=a;").rules[0].kind, kRuleNone);
}

TEST(ColumnRulesTest, LimitsCutWithoutSpilling) {
  // A value before the first keyword belongs to no rule.
  ColumnDef orphan = withRules("x;exclude=a;");
  ASSERT_EQ(orphan.ruleCount, 1);
  ASSERT_EQ(orphan.rules[0].valueCount, 1);
  EXPECT_EQ(orphan.rules[0].values[0].view(), "a");

  // Past five rules: the sixth and its values are dropped, not given to
  // the fifth.
  ColumnDef many = withRules("a=1;b=2;c=3;d=4;exclude=5;replace=6;7;");
  ASSERT_EQ(many.ruleCount, kMaxRules);
  EXPECT_EQ(many.rules[4].kind, kRuleExclude);
  ASSERT_EQ(many.rules[4].valueCount, 1);
  EXPECT_EQ(many.rules[4].values[0].view(), "5");

  // Past ten values the rest are dropped; a value is cut to 23 characters.
  std::string text = "exclude=";
  for (int i = 0; i < 12; ++i) {
    text += 'v';
    text += std::to_string(i);
    text += ';';
  }
  ColumnDef values = withRules(text);
  ASSERT_EQ(values.rules[0].valueCount, kMaxRuleValues);
  EXPECT_EQ(values.rules[0].values[9].view(), "v9");
  ColumnDef longValue = withRules("exclude=" + std::string(30, 'z') + ";");
  EXPECT_EQ(longValue.rules[0].values[0].view(), std::string(23, 'z'));
}

TEST(ColumnTypesTest, TypeNamesAndNameComparison) {
  // Type names are compared exactly.
  EXPECT_EQ(sqlTypeFromName("sqlinteger"), kSqlText);
  EXPECT_EQ(compareIgnoringCase("CS-URI", "cs-uri"), 0);
  EXPECT_LT(compareIgnoringCase("cs-uri", "cs-uri-stem"), 0);
  // '_' (0x5F) lies between 'Z' and 'a': with letters folded to lower case
  // it sorts before them.
  EXPECT_LT(compareIgnoringCase("A_", "Aa"), 0);
  // Bytes above 0x7F compare as unsigned.
  EXPECT_GT(compareIgnoringCase("\xe9", "z"), 0);
}

TEST(ColumnTableTest, LoadsSortsAndFinds) {
  Loaded loaded = load("basic",
                       "# comment\r\n"
                       "cs-uri SQLCHAR 1 url exclude=.gif;\r\n"
                       "c-ip\tSQLCHAR\t1\tuserip\r\n"
                       "sc-bytes SQLFLOAT 2 bytecount\r\n"
                       " #x SQLINTEGER 1 hash\r\n"
                       "Zeta sqlinteger 1 zeta\r\n");
  ASSERT_EQ(loaded.status, 0);
  const ColumnTable& table = *loaded.table;
  ASSERT_EQ(table.count(), 5);
  // Sorted by name, ignoring case; the line starting with a blank is a column.
  EXPECT_EQ(table.at(0).logName.view(), "#x");
  EXPECT_EQ(table.at(4).logName.view(), "Zeta");
  int uri = table.findColumn("CS-URI");
  ASSERT_GE(uri, 0);
  EXPECT_EQ(table.at(uri).dbName.view(), "url");
  EXPECT_EQ(table.at(uri).outputFlag, 1);
  EXPECT_EQ(table.at(uri).rules[0].values[0].view(), ".gif");
  int bytes = table.findColumn("sc-bytes");
  ASSERT_GE(bytes, 0);
  EXPECT_EQ(table.at(bytes).sqlType, kSqlFloat);
  EXPECT_EQ(table.at(bytes).outputFlag, 2);
  EXPECT_TRUE(table.at(table.findColumn("zeta")).isText());
  EXPECT_EQ(table.findColumn("cs-ur"), -1);
  EXPECT_EQ(table.findColumn("zzz"), -1);
  EXPECT_EQ(table.findColumn(""), -1);
  std::string runLog = readAll(loaded.runLogPath);
  EXPECT_NE(runLog.find(" 3 System parser \"HTTP & Streaming Fields Count = 5\""),
            std::string::npos);
}

TEST(ColumnTableTest, ShortAndEmptyLinesKeepDefaults) {
  Loaded loaded = load("defaults",
                       "\n"
                       "onlyname\n"
                       "typed SQLINTEGER\n"
                       "badflag SQLINTEGER x db\n"
                       "noDb SQLFLOAT -3\n");
  ASSERT_EQ(loaded.status, 0);
  const ColumnTable& table = *loaded.table;
  ASSERT_EQ(table.count(), 5);
  // The empty line is an entry with an empty name, sorted first.
  EXPECT_TRUE(table.at(0).logName.empty());
  EXPECT_EQ(table.at(0).outputFlag, 0);
  const ColumnDef& only = table.at(table.findColumn("onlyname"));
  EXPECT_TRUE(only.isText());
  EXPECT_TRUE(only.dbName.empty());
  const ColumnDef& bad = table.at(table.findColumn("badflag"));
  EXPECT_EQ(bad.sqlType, kSqlInteger);
  EXPECT_EQ(bad.outputFlag, 0);
  EXPECT_TRUE(bad.dbName.empty());
  EXPECT_EQ(table.at(table.findColumn("noDb")).outputFlag, -3);
  EXPECT_TRUE(table.at(table.findColumn("noDb")).dbName.empty());
}

TEST(ColumnTableTest, EmptyAndMissingFiles) {
  Loaded comments = load("comments", "# one\n#two\n");
  EXPECT_EQ(comments.status, 0);
  EXPECT_EQ(comments.table->count(), 0);
  EXPECT_EQ(comments.table->findColumn("c-ip"), -1);
  EXPECT_NE(readAll(comments.runLogPath)
                .find("\"HTTP & Streaming Fields Count = 0\""),
            std::string::npos);

  std::string runLogPath = tempPath("missing.out");
  std::remove(runLogPath.c_str());
  RunLog log("parser");
  log.setPath(runLogPath);
  auto table = std::make_unique<ColumnTable>();
  table->clear();
  EXPECT_EQ(table->loadColumnTypes(tempPath("no-such-file.dat"), log), -7);
  // Nothing is logged for a file that cannot be opened.
  std::FILE* file = std::fopen(runLogPath.c_str(), "rb");
  EXPECT_EQ(file, nullptr);
  if (file != nullptr) std::fclose(file);
}

TEST(ColumnTableTest, FieldLimitsAndLongLines) {
  std::string longName(60, 'n');
  std::string longRules = "exclude=" + std::string(300, 'r') + ";";
  // A line of 1,023 characters plus its line feed is read in two pieces:
  // the second piece (the line feed alone) is an empty column line.
  std::string padded = "p SQLCHAR 1 pad";
  padded += std::string(1023 - padded.size(), ' ');
  Loaded loaded = load("limits", longName + " SQLCHAR 1 " + longName + " " +
                                     longRules + "\n" + padded + "\n");
  ASSERT_EQ(loaded.status, 0);
  const ColumnTable& table = *loaded.table;
  ASSERT_EQ(table.count(), 3);
  int index = table.findColumn(std::string(kMaxNameLength, 'n'));
  ASSERT_GE(index, 0);
  EXPECT_EQ(table.at(index).dbName.size(), kMaxNameLength);
  EXPECT_EQ(table.at(index).rulesText.size(), kMaxRulesLength);
  // The cut rules text lost its final ';': the value is dropped.
  EXPECT_EQ(table.at(index).rules[0].valueCount, 0);
  EXPECT_GE(table.findColumn("p"), 0);
  EXPECT_TRUE(table.at(0).logName.empty());
}

TEST(ColumnTableTest, StopsAt512ColumnsAndSaysSo) {
  std::string contents;
  for (int i = 0; i < kMaxColumns + 3; ++i) {
    contents += 'f';
    contents += std::to_string(i);
    contents += " SQLCHAR 1 c" + std::to_string(i) + "\n";
    if (i == 100) contents += "# a comment is not a column\n";
  }
  Loaded loaded = load("many", contents);
  ASSERT_EQ(loaded.status, 0);
  EXPECT_EQ(loaded.table->count(), kMaxColumns);
  EXPECT_EQ(loaded.table->ignoredLines(), 3);
  // Sorting moves every entry whole: each name still finds its own line.
  for (int i = 0; i < kMaxColumns; ++i) {
    int found = loaded.table->findColumn("f" + std::to_string(i));
    ASSERT_GE(found, 0) << i;
    EXPECT_EQ(loaded.table->at(found).dbName.view(), "c" + std::to_string(i));
  }
  EXPECT_EQ(loaded.table->findColumn("f512"), -1);
  std::string runLog = readAll(loaded.runLogPath);
  EXPECT_NE(runLog.find(" 5 System parser \"More than 512 columns in "),
            std::string::npos);
  EXPECT_NE(runLog.find(": 3 lines ignored\""), std::string::npos);
  EXPECT_NE(runLog.find("\"HTTP & Streaming Fields Count = 512\""),
            std::string::npos);
}

TEST(ColumnTableTest, EqualNamesFindTheFirstInTheFile) {
  Loaded loaded = load("dups",
                       "b SQLCHAR 1 second\n"
                       "A SQLCHAR 1 first\n"
                       "a SQLCHAR 1 again\n"
                       "c SQLCHAR 1 third\n");
  const ColumnTable& table = *loaded.table;
  EXPECT_EQ(table.at(table.findColumn("a")).dbName.view(), "first");
  EXPECT_EQ(table.at(table.findColumn("A")).dbName.view(), "first");
}

}  // namespace
