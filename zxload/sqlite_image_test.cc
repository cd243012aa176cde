#include "zxload/sqlite_image.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zxload/sqlite_record.h"

namespace {

/// A value given both ways: bound to SQLite, and written into a record.
struct Value {
  enum Kind { kNull, kInteger, kReal, kNumber, kText } kind;
  std::int64_t integer = 0;
  double real = 0;
  std::string text;
};

class Db {
 public:
  Db() { sqlite3_open(":memory:", &db_); }
  ~Db() { sqlite3_close(db_); }
  void exec(const std::string& sql) {
    char* message = nullptr;
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << sql << ": " << (message ? message : "");
  }
  std::vector<std::string> rows(const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db_);
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::string row;
      for (int k = 0; k < sqlite3_column_count(statement); ++k) {
        const unsigned char* text = sqlite3_column_text(statement, k);
        row += (text ? reinterpret_cast<const char*>(text) : "NULL") + std::string("|");
      }
      out.push_back(row);
    }
    sqlite3_finalize(statement);
    return out;
  }
  sqlite3* get() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

/// Columns: integer, real and numeric affinity for numbers, text.
constexpr const char* kColumns = "(i INTEGER, r REAL, n NUMERIC, t TEXT)";

void bind(sqlite3_stmt* statement, int index, const Value& value, bool integerColumn) {
  switch (value.kind) {
    case Value::kNull: sqlite3_bind_null(statement, index); break;
    case Value::kInteger: sqlite3_bind_int64(statement, index, value.integer); break;
    case Value::kReal: sqlite3_bind_double(statement, index, value.real); break;
    case Value::kText:
      sqlite3_bind_text(statement, index, value.text.data(), static_cast<int>(value.text.size()),
                        SQLITE_TRANSIENT);
      break;
    case Value::kNumber: {  // as zxload binds a checked number
      std::int64_t whole = 0;
      const std::string& t = value.text;
      std::size_t used = 0;
      bool isWhole = integerColumn && t.find_first_of(".eE") == std::string::npos;
      if (isWhole) {
        try {
          whole = std::stoll(t, &used);
        } catch (...) {
          isWhole = false;
        }
      }
      if (isWhole && used == t.size()) {
        sqlite3_bind_int64(statement, index, whole);
      } else {
        sqlite3_bind_double(statement, index, std::stod(t));
      }
      break;
    }
  }
}

void add(SqliteRecord* record, const Value& value, bool integerColumn) {
  switch (value.kind) {
    case Value::kNull: record->addNull(); break;
    case Value::kInteger: record->addInteger(value.integer); break;
    case Value::kReal: record->addReal(value.real); break;
    case Value::kNumber: record->addNumber(value.text, integerColumn); break;
    case Value::kText: record->addText(value.text); break;
  }
}

/// Loads `rows` (number, text) into table a by binding and into table b
/// through an image, and expects the same values, types and record bytes.
void expectSameAsBinding(const std::vector<std::pair<Value, std::string>>& rows) {
  Db db;
  db.exec(std::string("CREATE TABLE a ") + kColumns + "; CREATE TABLE b " + kColumns);
  sqlite3_stmt* insert = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.get(), "INSERT INTO a VALUES (?, ?, ?, ?)", -1, &insert, nullptr),
            SQLITE_OK);
  SqliteImage image(std::string("CREATE TABLE stage ") + kColumns);
  ASSERT_TRUE(image.usable());
  SqliteRecord record;
  for (const auto& [number, text] : rows) {
    record.clear(4, 24 + number.text.size() + text.size());
    for (int k = 0; k < 3; ++k) {
      bind(insert, k + 1, number, k == 0);
      add(&record, number, k == 0);
    }
    sqlite3_bind_text(insert, 4, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    record.addText(text);
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_reset(insert);
    image.append(record.finish());
  }
  sqlite3_finalize(insert);
  auto [data, size] = image.finish();
  db.exec("ATTACH ':memory:' AS s");
  ASSERT_EQ(sqlite3_deserialize(db.get(), "s", data, static_cast<sqlite3_int64>(size),
                                static_cast<sqlite3_int64>(size), SQLITE_DESERIALIZE_READONLY),
            SQLITE_OK);
  EXPECT_EQ(db.rows("PRAGMA s.integrity_check"), std::vector<std::string>{"ok|"});
  db.exec("INSERT INTO b SELECT * FROM s.stage");
  const std::string columns =
      "SELECT rowid, quote(i), typeof(i), quote(r), typeof(r), quote(n), typeof(n), "
      "hex(t), typeof(t) FROM ";
  EXPECT_EQ(db.rows(columns + "a"), db.rows(columns + "b"));
  // The same serial types, so the same bytes: dbstat counts them.
  EXPECT_EQ(db.rows("SELECT sum(payload) FROM dbstat WHERE name = 'a'"),
            db.rows("SELECT sum(payload) FROM dbstat WHERE name = 'b'"));
  EXPECT_EQ(db.rows("SELECT count(*) FROM b"),
            std::vector<std::string>{std::to_string(rows.size()) + "|"});
}

Value integer(std::int64_t v) { return {Value::kInteger, v, 0, ""}; }
Value real(double v) { return {Value::kReal, 0, v, ""}; }
Value number(const std::string& text) { return {Value::kNumber, 0, 0, text}; }

TEST(SqliteImageTest, RecordsHoldWhatBindingStores) {
  std::vector<std::pair<Value, std::string>> rows;
  for (std::int64_t v : std::vector<std::int64_t>{
           0, 1, -1, 2, 127, 128, -128, -129, 32767, 32768, -32769, 8388607, 8388608,
           2147483647, 2147483648, 140737488355327, 140737488355328, INT64_MAX, INT64_MIN}) {
    rows.push_back({integer(v), "i"});
  }
  for (double v : {0.5, -0.0, 3.0, -7.0, 1e20, 1e-300, 9223372036854775808.0,
                   -9223372036854775808.0, 9223372036854774784.0, 4503599627370497.5}) {
    rows.push_back({real(v), "r"});
  }
  for (const char* v : {"12.500", "12.000", "007", "+5", "-0", "1e3", "9007199254740993",
                        "-9223372036854775808", "0.1", "123456789012345678"}) {
    rows.push_back({number(v), v});
  }
  rows.push_back({{Value::kNull, 0, 0, ""}, ""});
  rows.push_back({integer(5), std::string("\0\xff'\"x", 5)});
  expectSameAsBinding(rows);
}

TEST(SqliteImageTest, LongRowsOverflowAndManyRowsSpanInteriorPages) {
  std::vector<std::pair<Value, std::string>> rows;
  // Payloads just below, at and above what a leaf keeps, and up to a line
  // of a megabyte; then enough short rows for several leaves.
  for (std::size_t size : {65400u, 65501u, 65502u, 65600u, 140000u, 1u << 20}) {
    std::string text(size, 'x');
    for (std::size_t k = 0; k < size; k += 997) text[k] = static_cast<char>('a' + k % 26);
    rows.push_back({integer(static_cast<std::int64_t>(size)), text});
  }
  for (int k = 0; k < 30000; ++k) {
    rows.push_back({integer(k * 7919LL), "/p/" + std::to_string(k) + "/index.html"});
  }
  expectSameAsBinding(rows);
}

TEST(SqliteImageTest, EmptyImageAndLongHeaders) {
  expectSameAsBinding({});
  // A record header past 126 bytes takes a two-byte size.
  Db db;
  std::string columns = "(";
  for (int k = 0; k < 200; ++k) columns += (k ? ", c" : "c") + std::to_string(k) + " TEXT";
  columns += ")";
  db.exec("CREATE TABLE a " + columns);
  SqliteImage image("CREATE TABLE stage " + columns);
  SqliteRecord record;
  record.clear(200, 600);
  for (int k = 0; k < 200; ++k) record.addText(std::to_string(k));
  image.append(record.finish());
  auto [data, size] = image.finish();
  db.exec("ATTACH ':memory:' AS s");
  ASSERT_EQ(sqlite3_deserialize(db.get(), "s", data, static_cast<sqlite3_int64>(size),
                                static_cast<sqlite3_int64>(size), SQLITE_DESERIALIZE_READONLY),
            SQLITE_OK);
  db.exec("INSERT INTO a SELECT * FROM s.stage");
  EXPECT_EQ(db.rows("SELECT c0, c126, c199 FROM a"), std::vector<std::string>{"0|126|199|"});
}

}  // namespace
