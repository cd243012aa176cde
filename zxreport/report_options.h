#ifndef ZXREPORT_REPORT_OPTIONS_H_
#define ZXREPORT_REPORT_OPTIONS_H_

#include <string>
#include <vector>

/// Exit statuses of zxreport.
enum ReportStatus {
  kReportDone = 0,        ///< the report was written
  kReportUsage = 1,       ///< unusable command line
  kReportNoTables = 2,    ///< the database has none of the tables asked for
  kReportDatabase = 3,    ///< the database cannot be opened, or a query failed
  kReportOutput = 4,      ///< an output file cannot be written
  kReportEmptyRange = 5,  ///< written, but no row lies in the range
};

/// One billing measure as zxsort was given it (-b1, -b2, -b3).
struct MeasureSpec {
  std::string column;  ///< the column that zxsort aggregated ("" when not told)
  int operation = 13;  ///< 10 minimum, 11 maximum, 12 average, 13 sum
};

/// What the command line asks for.
struct ReportOptions {
  std::string sqlitePath;
  std::string postgresConninfo;
  bool postgres = false;
  std::vector<std::string> appliances;   ///< -a, each naming raw_A, bill_A, str_A, smart_A
  std::vector<std::string> rawTables;    ///< --raw
  std::vector<std::string> billTables;   ///< --billing
  std::vector<std::string> streamTables; ///< --streaming
  std::vector<std::string> smartTables;  ///< --smartfilter
  std::string from;       ///< first second, "YYYY-MM-DD HH:MM:SS", or ""
  std::string to;         ///< the second after the last, or ""
  std::string fromText;   ///< as given
  std::string toText;     ///< as given
  int top = 10;
  std::string htmlPath = "report.html";
  std::string jsonPath;
  std::string csvDir;
  std::string title = "Access report";
  std::string identifiersPath;  ///< names of transaction codes
  MeasureSpec measures[3];
  bool measuresGiven = false;
  bool help = false;
};

/// Reads the command line; false with a message in `error`.
bool readReportOptions(int argc, char** argv, ReportOptions* options, std::string* error);

/// Reads "COLUMN:OP,COLUMN:OP,COLUMN:OP"; false when it is not that.
bool parseMeasures(const std::string& text, MeasureSpec measures[3]);

/// The usage text, with the options and exit statuses.
const char* reportUsage();

#endif  // ZXREPORT_REPORT_OPTIONS_H_
