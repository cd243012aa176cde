#include "zxload/table_name.h"

#include <gtest/gtest.h>

namespace {

/// The name found in `text`, as "schema|table|quoted flags", or the error.
std::string found(std::string_view text) {
  TableName name;
  std::string error;
  switch (findIntoTable(text, &name, &error)) {
    case IntoTable::kNone: return "none";
    case IntoTable::kMalformed: return "error: " + error;
    default:
      return name.schema + "|" + name.table + "|" + (name.schemaQuoted ? "q" : "-") +
             (name.tableQuoted ? "q" : "-");
  }
}

TEST(IntoTableTest, FindsTheClauseInAnyCaseOutsideCommentsAndStrings) {
  const char* control =
      "-- INTO TABLE not_this\r\nLOAD DATA\r\nINFILE 'd:\\into table x\\a.srt' \"str '\\r\\n'\"\r\n"
      "APPEND\r\ninto  Table\tRaw_Web\r\nFIELDS TERMINATED BY ','\r\n";
  EXPECT_EQ(found(control), "|Raw_Web|--");
  EXPECT_EQ(found("INFILE 'd:\\it's\\a.srt' \"str '\\r\\n'\"\r\nINTO TABLE raw_x\r\n"), "|raw_x|--");
  EXPECT_EQ(found("INTO TABLE \"My Table\"\r\n"), "|My Table|-q");
  EXPECT_EQ(found("INTO TABLE zx.\"raw q\" APPEND\n"), "zx|raw q|-q");
  EXPECT_EQ(found("INTO TABLE \"Zx\".raw_web(a)"), "Zx|raw_web|q-");
  EXPECT_EQ(found("INTO TABLE r$1"), "|r$1|--");
  EXPECT_EQ(found("9INTO TABLE a\nINTOTABLE b\nINTO TABLEc\n"), "none");
  EXPECT_EQ(found("a bcp format file\r\n7.0\r\n"), "none");
}

TEST(IntoTableTest, RefusesWhatNoDatabaseWouldReadAsOneName) {
  EXPECT_EQ(found("INTO TABLE My Table\r\n"),
            "error: INTO TABLE: 'Table' after the table name: a name with blanks must be "
            "enclosed in double quotes");
  EXPECT_EQ(found("INTO TABLE raw-web\r\n"),
            "error: INTO TABLE: '-web' after the table name: a name with such characters "
            "must be enclosed in double quotes");
  EXPECT_EQ(found("INTO TABLE a.b.c"), "error: INTO TABLE: '.c' after the table name: a name "
                                       "with such characters must be enclosed in double quotes");
  EXPECT_EQ(found("INTO TABLE \"open\nFIELDS \"x\""),
            "error: INTO TABLE: a quoted name without its closing double quote");
  EXPECT_EQ(found("INTO TABLE \"\""), "error: INTO TABLE: an empty quoted name");
  EXPECT_EQ(found("INTO TABLE\r\nFIELDS TERMINATED BY ','"), "error: INTO TABLE: no table name");
  EXPECT_EQ(found("INTO TABLE 1raw"),
            "error: INTO TABLE: a name cannot start with '1' unless it is enclosed in double quotes");
}

TEST(HeldNameTest, FoldsAndChecksNamesAsEachDatabaseHoldsThem) {
  TableName held;
  std::string error;
  TableName mixed{"Zx", "Raw_Web", false, false};
  ASSERT_TRUE(heldName(mixed, NameRules::kPostgres, &held, &error)) << error;
  EXPECT_EQ(held.schema + "." + held.table, "zx.raw_web");
  mixed.tableQuoted = true;
  ASSERT_TRUE(heldName(mixed, NameRules::kPostgres, &held, &error));
  EXPECT_EQ(held.schema + "." + held.table, "zx.Raw_Web");
  EXPECT_FALSE(heldName(mixed, NameRules::kSqlite, &held, &error));
  EXPECT_EQ(error, "'Zx.Raw_Web': SQLite has no schemas; name the table without 'Zx.'");

  TableName plain{"", "RAW_WEB", false, false};
  ASSERT_TRUE(heldName(plain, NameRules::kSqlite, &held, &error));
  EXPECT_EQ(held.table, "RAW_WEB");  // SQLite keeps the spelling; case is blind there

  TableName edge{"", std::string(63, 'x'), false, true};
  EXPECT_TRUE(heldName(edge, NameRules::kPostgres, &held, &error)) << error;
  edge.table += 'x';
  EXPECT_FALSE(heldName(edge, NameRules::kPostgres, &held, &error));
  EXPECT_NE(error.find("longer than 63 bytes"), std::string::npos) << error;
  EXPECT_TRUE(heldName(edge, NameRules::kSqlite, &held, &error));

  for (const char* reserved : {"ZXLOAD_FILES", "zxload_Summary", "sqlite_x", "SQLite_master"}) {
    EXPECT_FALSE(heldName({"", reserved, false, true}, NameRules::kSqlite, &held, &error)) << reserved;
  }
  EXPECT_FALSE(heldName({"", "ZXLOAD_FILES", false, false}, NameRules::kPostgres, &held, &error));
  EXPECT_TRUE(heldName({"", "ZXLOAD_FILES", false, true}, NameRules::kPostgres, &held, &error));
  EXPECT_FALSE(heldName({"", std::string("a\0b", 3), false, true}, NameRules::kSqlite, &held, &error));
}

}  // namespace
