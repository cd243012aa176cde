// Runs the parser on small logs and loads what it writes the way the bulk
// loaders would: into SQLite by the column description alone, and through
// independent readers of the loader control file and the bcp format file.

#include <sqlite3.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "load_formats.h"
#include "common/test_files.h"

namespace {

namespace fs = std::filesystem;

/// One parser run in a scratch directory holding copies of the inputs.
class ParserRun {
 public:
  /// Runs the parser on `log` with the column data types file `types` for
  /// database `db`, appliance "cache1".
  /// The log is placed in `logDir` (relative, may be empty) of the
  /// scratch directory.
  ParserRun(const std::string& log, const std::string& types,
            const std::string& db, const std::string& logDir = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("loadcheck_" + std::string(info->name()) + "_" + db);
    fs::remove_all(dir_);
    fs::create_directories(dir_ / logDir);
    logPath_ = logDir.empty() ? log : logDir + "/" + log;
    typesPath_ = types;
    fs::copy_file(fs::path(LOADCHECK_DATA) / log, dir_ / logPath_);
    fs::copy_file(fs::path(LOADCHECK_DATA) / types, dir_ / types);
    status_ = run(PARSER_PATH, "-l " + logPath_ + " -d " + types + " -b " +
                                   db + " -a cache1");
  }
  ~ParserRun() { fs::remove_all(dir_); }

  /// Runs `program` with `arguments` in the scratch directory; its exit
  /// status as the program returned it.
  int run(const std::string& program, const std::string& arguments) const {
    std::string command = "cd '" + dir_.string() + "' && TZ=UTC '" + program +
                          "' " + arguments + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    return code > 127 ? code - 256 : code;
  }

  /// Path of the log, relative to the scratch directory.
  const std::string& logPath() const { return logPath_; }
  const std::string& typesPath() const { return typesPath_; }
  int status() const { return status_; }
  /// The bytes of output file `name`.
  std::string file(const std::string& name) const { return readAll(dir_ / name); }
  bool exists(const std::string& name) const { return fs::exists(dir_ / name); }

 private:
  fs::path dir_;
  std::string logPath_;
  std::string typesPath_;
  int status_ = -1;
};

/// An in-memory SQLite database.
class Database {
 public:
  Database() { sqlite3_open(":memory:", &db_); }
  ~Database() { sqlite3_close(db_); }

  /// Creates `table` with untyped `columns` and inserts `rows`; false with
  /// SQLite's message in `error` when the database refuses.
  bool load(const std::string& table, const std::vector<std::string>& columns,
            const std::vector<std::vector<std::string>>& rows,
            std::string* error) {
    std::string create = "CREATE TABLE \"" + table + "\" (";
    std::string insert = "INSERT INTO \"" + table + "\" VALUES (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
      create += (i ? ", \"" : "\"") + columns[i] + "\"";
      insert += i ? ", ?" : "?";
    }
    if (!exec(create + ")", error)) return false;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, (insert + ")").c_str(), -1, &statement,
                           nullptr) != SQLITE_OK) {
      *error = sqlite3_errmsg(db_);
      return false;
    }
    bool ok = true;
    for (const auto& row : rows) {
      sqlite3_reset(statement);
      for (std::size_t i = 0; i < row.size(); ++i) {
        sqlite3_bind_text(statement, static_cast<int>(i) + 1, row[i].c_str(),
                          -1, SQLITE_TRANSIENT);
      }
      if (sqlite3_step(statement) != SQLITE_DONE) {
        *error = sqlite3_errmsg(db_);
        ok = false;
        break;
      }
    }
    sqlite3_finalize(statement);
    return ok;
  }

  /// The first column of every result row of `sql`, joined by "|".
  std::string column(const std::string& sql) {
    std::string result;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) !=
        SQLITE_OK) {
      return std::string("error: ") + sqlite3_errmsg(db_);
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      if (!result.empty()) result += "|";
      result += text ? reinterpret_cast<const char*>(text) : "NULL";
    }
    sqlite3_finalize(statement);
    return result;
  }

 private:
  bool exec(const std::string& sql, std::string* error) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) ==
        SQLITE_OK) {
      return true;
    }
    *error = message ? message : "?";
    sqlite3_free(message);
    return false;
  }

  sqlite3* db_ = nullptr;
};

/// The records of a data file split into fields the way the loader reads
/// them: CR LF ends a record, a comma a field, single quotes optionally
/// enclose it. Fails the test when a record is not terminated.
std::vector<std::vector<std::string>> readRows(const std::string& data,
                                               std::string_view terminator,
                                               std::string_view separator,
                                               std::string_view enclosure) {
  std::vector<std::string_view> records;
  EXPECT_TRUE(splitRecords(data, terminator, &records))
      << "the data file's last record has no terminator";
  std::vector<std::vector<std::string>> rows;
  for (std::string_view record : records) {
    EXPECT_EQ(std::string_view::npos, record.find('\n'))
        << "bare line feed inside a record: " << record;
    rows.push_back(splitFields(record, separator, enclosure));
  }
  return rows;
}

/// Loads the raw data file of `run` into SQLite using only the column
/// description file to name the columns, and checks what arrived.
void loadByColumnDescription(const ParserRun& run, bool oracleDates) {
  ASSERT_EQ(0, run.status());
  std::vector<std::string> columns =
      readColumnDescription(run.file("ex.log.zx3"));
  ASSERT_EQ(11u, columns.size());
  auto rows = readRows(run.file("ex.log.csv"), "\r\n", ",", "'");
  ASSERT_EQ(4u, rows.size());
  for (const auto& row : rows) {
    ASSERT_EQ(columns.size(), row.size()) << "field count of a row";
  }
  Database db;
  std::string error;
  ASSERT_TRUE(db.load("raw_cache1", columns, rows, &error)) << error;

  EXPECT_EQ("4", db.column("SELECT COUNT(*) FROM raw_cache1"));
  EXPECT_EQ("10.0.0.1|10.0.0.2|10.0.0.3|10.0.0.1",
            db.column("SELECT userip FROM raw_cache1 ORDER BY rowid"));
  EXPECT_EQ("anna|-|carl|anna",
            db.column("SELECT username FROM raw_cache1 ORDER BY rowid"));
  EXPECT_EQ("200|404|304|200",
            db.column("SELECT status FROM raw_cache1 ORDER BY rowid"));
  EXPECT_EQ("5120|0|0|777",
            db.column("SELECT bytecount FROM raw_cache1 ORDER BY rowid"));
  EXPECT_EQ("1|1|1|1", db.column("SELECT refcount FROM raw_cache1"));
  EXPECT_EQ("2", db.column("SELECT COUNT(*) FROM raw_cache1 WHERE "
                           "userip = '10.0.0.1' AND status = '200'"));
  std::string stamps = oracleDates ? "2001-09-09 01:46:40|2001-09-09 03:46:40"
                                   : "2001-09-09 01:46:40.000|"
                                     "2001-09-09 03:46:40.000";
  EXPECT_EQ(stamps, db.column("SELECT timestampid FROM raw_cache1 WHERE "
                              "rowid IN (1, 4) ORDER BY rowid"));
}

TEST(LoadIntoSqlite, QuotedRunLoadsByItsColumnDescription) {
  ParserRun run("ex.log", "datatypes.dat", "sybase");
  // Text values arrive enclosed in single quotes and lose them on loading.
  EXPECT_EQ(0u, run.file("ex.log.csv").find("'"));
  loadByColumnDescription(run, false);
}

TEST(LoadIntoSqlite, UnquotedOracleRunLoadsByItsColumnDescription) {
  ParserRun run("ex.log", "datatypes.dat", "oracle");
  EXPECT_EQ(std::string::npos, run.file("ex.log.csv").find("'"));
  loadByColumnDescription(run, true);
}

/// Loads `dataFile` of `run` as the loader control file `controlFile`
/// tells, checking every field against its declared type.
void loadByControlFile(const ParserRun& run, const std::string& controlFile,
                       const std::string& dataFile, std::size_t rowCount) {
  LoaderControl control;
  std::string error;
  ASSERT_TRUE(readLoaderControl(run.file(controlFile), &control, &error))
      << error;
  ASSERT_TRUE(run.exists(dataFile)) << "the loader's input " << dataFile
                                    << " does not exist";
  auto rows = readRows(run.file(dataFile), control.recordTerminator,
                       control.fieldTerminator, control.enclosure);
  ASSERT_EQ(rowCount, rows.size());
  std::vector<std::string> names;
  for (const LoaderColumn& column : control.columns) names.push_back(column.name);
  for (const auto& row : rows) {
    ASSERT_EQ(control.columns.size(), row.size());
    for (std::size_t i = 0; i < row.size(); ++i) {
      const LoaderColumn& column = control.columns[i];
      if (column.type == "DATE") {
        EXPECT_TRUE(matchesDateMask(row[i]))
            << column.name << " value '" << row[i] << "' does not fit the mask";
      } else {
        // An untyped field is at most 255 characters to the loader.
        std::size_t limit = column.type == "CHAR" ? column.length : 255;
        EXPECT_LE(row[i].size(), limit) << column.name;
      }
    }
  }
  Database db;
  ASSERT_TRUE(db.load(control.table, names, rows, &error)) << error;
  EXPECT_EQ(std::to_string(rowCount),
            db.column("SELECT COUNT(*) FROM \"" + control.table + "\""));
}

TEST(LoaderFormats, ControlFileDescribesTheDataFile) {
  ParserRun run("ex.log", "datatypes.dat", "oracle");
  ASSERT_EQ(0, run.status());
  LoaderControl control;
  std::string error;
  ASSERT_TRUE(readLoaderControl(run.file("ex.log.ctl"), &control, &error))
      << error;
  EXPECT_EQ("ERRORS=1000,SILENT=FEEDBACK,ROWS=500", control.options);
  // The raw data set is loaded from the hourly sort file, which has the
  // data file's row format.
  EXPECT_EQ("ex.log.srt", control.inputPath);
  EXPECT_EQ("\r\n", control.recordTerminator);
  EXPECT_EQ("raw_cache1", control.table);
  EXPECT_EQ(",", control.fieldTerminator);
  EXPECT_EQ("'", control.enclosure);
  std::vector<std::string> names;
  for (const LoaderColumn& column : control.columns) {
    names.push_back(column.name);
    if (column.name == "timestampid") {
      EXPECT_EQ("DATE", column.type);
      EXPECT_EQ("YYYY-MM-DD HH24:MI:SS", column.mask);
    } else if (column.name == "url") {
      EXPECT_EQ("CHAR", column.type);
      EXPECT_EQ(1024, column.length);
    } else {
      EXPECT_EQ("", column.type) << column.name;
    }
  }
  EXPECT_EQ(readColumnDescription(run.file("ex.log.zx3")), names);
  loadByControlFile(run, "ex.log.ctl", "ex.log.csv", 4);
}

TEST(LoaderFormats, SortFilesLoadThroughTheirControlFiles) {
#ifndef ZXSORT_PATH
  GTEST_SKIP() << "no sorter in this build";
#else
  // A directory named like a data file must not mislead the input paths.
  ParserRun run("ex.log", "datatypes.dat", "oracle", "day.csv");
  ASSERT_EQ(0, run.status());
  std::string common = " -v " + run.logPath() + " -d " + run.typesPath() +
                       " -l sort.out";
  ASSERT_EQ(0, run.run(ZXSORT_PATH, "-m 0" + common));
  ASSERT_EQ(0, run.run(ZXSORT_PATH, "-m 1 -i 60 -b1 bytecount:13 "
                                    "-b2 bytecount:11 -b3 status:10" + common));
  LoaderControl hourly, billing;
  std::string error;
  ASSERT_TRUE(readLoaderControl(run.file("day.csv/ex.log.ctl"), &hourly, &error))
      << error;
  ASSERT_TRUE(
      readLoaderControl(run.file("day.csv/ex.log.b.ctl"), &billing, &error))
      << error;
  EXPECT_EQ("day.csv/ex.log.srt", hourly.inputPath);
  EXPECT_EQ("day.csv/ex.log.bsrt", billing.inputPath);
  // Four records in four distinct hours and users: nothing merges.
  loadByControlFile(run, "day.csv/ex.log.ctl", hourly.inputPath, 4);
  loadByControlFile(run, "day.csv/ex.log.b.ctl", billing.inputPath, 4);
#endif
}

TEST(LoaderFormats, SmartFilterControlFileLoadsTheDataFileItself) {
  ParserRun run("sf.log", "smartfilter.dat", "oracle");
  ASSERT_EQ(0, run.status());
  LoaderControl control;
  std::string error;
  ASSERT_TRUE(readLoaderControl(run.file("sf.log.sf.ctl"), &control, &error))
      << error;
  EXPECT_EQ("sf.log.sf.csv", control.inputPath);
  EXPECT_EQ("smart_cache1", control.table);
  std::vector<std::string> names;
  for (const LoaderColumn& column : control.columns) names.push_back(column.name);
  EXPECT_EQ(readColumnDescription(run.file("sf.log.sf.zx3")), names);
  // The line without a category is not written.
  loadByControlFile(run, "sf.log.sf.ctl", control.inputPath, 2);
}

TEST(LoaderFormats, BcpFormatFileDescribesTheDataFile) {
  ParserRun run("ex.log", "datatypes.dat", "mssql");
  ASSERT_EQ(0, run.status());
  BcpFormat format;
  std::string error;
  ASSERT_TRUE(readBcpFormat(run.file("ex.log.ctl"), &format, &error)) << error;
  EXPECT_EQ("7.0", format.version);
  std::vector<std::string> names = readColumnDescription(run.file("ex.log.zx3"));
  ASSERT_EQ(names.size(), format.fields.size());
  std::set<int> serverOrders;
  for (std::size_t i = 0; i < format.fields.size(); ++i) {
    const BcpField& field = format.fields[i];
    EXPECT_EQ(static_cast<int>(i) + 1, field.hostOrder);
    EXPECT_EQ("SQLCHAR", field.dataType);
    EXPECT_EQ(0, field.prefixLength);
    EXPECT_EQ(255, field.dataLength);
    EXPECT_EQ(i + 1 < format.fields.size() ? "," : "\r\n", field.terminator);
    EXPECT_EQ(names[i], field.serverName);
    // Every column of this run is in the raw table: distinct places in it.
    EXPECT_GE(field.serverOrder, 1);
    EXPECT_LE(field.serverOrder, 40);
    EXPECT_TRUE(serverOrders.insert(field.serverOrder).second)
        << field.serverName << " shares its server column";
  }
  // Read the data file field by field with the format's terminators.
  std::string data = run.file("ex.log.csv");
  std::string_view rest = data;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> fields;
  while (!rest.empty()) {
    ASSERT_TRUE(splitBcpRecord(&rest, format, &fields))
        << "row " << rows.size() + 1 << " does not fit the format";
    for (const std::string& value : fields) {
      // A comma left in a field would mean a row with more fields.
      EXPECT_EQ(std::string::npos, value.find_first_of(",\n")) << value;
      EXPECT_LE(value.size(), 255u);
    }
    rows.push_back(fields);
  }
  ASSERT_EQ(4u, rows.size());
  // bcp maps host fields to server columns by the server column order.
  std::map<int, std::size_t> hostFieldOf;
  for (std::size_t i = 0; i < format.fields.size(); ++i) {
    hostFieldOf[format.fields[i].serverOrder] = i;
  }
  EXPECT_EQ("10.0.0.3", rows[2][hostFieldOf.at(11)]);  // userip
  EXPECT_EQ("304", rows[2][hostFieldOf.at(7)]);        // status
}

TEST(LoaderFormats, BillingFilesDescribeTheBillingRecord) {
  ParserRun none("ex.log", "datatypes.dat", "none");
  ParserRun oracle("ex.log", "datatypes.dat", "oracle");
  ParserRun mssql("ex.log", "datatypes.dat", "mssql");
  std::vector<std::string> names =
      readColumnDescription(none.file("ex.log.b.zx3"));
  ASSERT_EQ(10u, names.size());
  EXPECT_FALSE(none.exists("ex.log.b.ctl"));
  EXPECT_FALSE(oracle.exists("ex.log.b.zx3"));

  LoaderControl control;
  std::string error;
  ASSERT_TRUE(readLoaderControl(oracle.file("ex.log.b.ctl"), &control, &error))
      << error;
  EXPECT_EQ("ex.log.bsrt", control.inputPath);
  EXPECT_EQ("bill_cache1", control.table);
  EXPECT_EQ("\r\n", control.recordTerminator);
  std::vector<std::string> controlNames;
  for (const LoaderColumn& column : control.columns) {
    controlNames.push_back(column.name);
  }
  EXPECT_EQ(names, controlNames);

  BcpFormat format;
  ASSERT_TRUE(readBcpFormat(mssql.file("ex.log.b.ctl"), &format, &error))
      << error;
  ASSERT_EQ(names.size(), format.fields.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(names[i], format.fields[i].serverName);
    EXPECT_EQ(static_cast<int>(i) + 1, format.fields[i].serverOrder);
  }
  EXPECT_EQ("\r\n", format.fields.back().terminator);
#ifdef ZXSORT_PATH
  // bcp reads the billing sort file field by field with these terminators.
  ASSERT_EQ(0, mssql.run(ZXSORT_PATH, "-m 1 -i 60 -b1 bytecount:13 "
                                      "-b2 bytecount:11 -b3 status:10 -v " +
                                          mssql.logPath() + " -d " +
                                          mssql.typesPath()));
  std::string data = mssql.file("ex.log.bsrt");
  std::string_view rest = data;
  std::vector<std::string> fields;
  int records = 0;
  while (!rest.empty()) {
    ASSERT_TRUE(splitBcpRecord(&rest, format, &fields))
        << "billing record " << records + 1 << " does not fit the format";
    ++records;
  }
  EXPECT_EQ(4, records);
#endif
}

TEST(LoadFormatReaders, RejectWhatALoaderWouldReject) {
  BcpFormat format;
  std::string error;
  EXPECT_FALSE(readBcpFormat("7.0\r\n2\r\n1\tSQLCHAR\t0\t255\t\"\\r\\n\"\t1\ta\r\n",
                             &format, &error));
  EXPECT_FALSE(readBcpFormat("7.0\r\n1\r\n1\tSQLCHAR\t0\t255\t,\t1\ta\r\n",
                             &format, &error));
  LoaderControl control;
  const std::string good =
      "OPTIONS(ERRORS=1)\r\nLOAD DATA\r\nINFILE 'a.srt' \"str '\\r\\n'\"\r\n"
      "APPEND\r\nINTO TABLE t\r\n"
      "FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\\''\r\n"
      "( a DATE \"YYYY\",\r\nb CHAR(9),\r\nc)\r\n";
  ASSERT_TRUE(readLoaderControl(good, &control, &error)) << error;
  EXPECT_EQ("'", control.enclosure);
  ASSERT_EQ(3u, control.columns.size());
  EXPECT_EQ(9, control.columns[1].length);
  LoaderControl broken;
  EXPECT_FALSE(readLoaderControl(good.substr(0, good.size() - 3), &broken,
                                 &error));  // no closing parenthesis
  std::vector<std::string_view> records;
  EXPECT_FALSE(splitRecords("a,b\r\nc,d\n", "\r\n", &records));
  EXPECT_FALSE(matchesDateMask("2001-09-09 01:46:40.000"));
  EXPECT_TRUE(matchesDateMask("2001-09-09 01:46:40"));
  EXPECT_EQ((std::vector<std::string>{"it's", "", "x'y"}),
            splitFields("'it's',,x'y", ",", "'"));
}

}  // namespace
