#ifndef ZXREPORT_REPORT_MODEL_H_
#define ZXREPORT_REPORT_MODEL_H_

#include <cstdint>
#include <string>
#include <vector>

/// How a cell's value is written.
enum class CellFormat {
  kText,     ///< a value from the data, escaped wherever it is written
  kInteger,  ///< a whole number (requests, bytes, counts)
  kDecimal,  ///< a number with three decimals (times, measures)
  kPercent,  ///< a share from 0 to 100, two decimals
};

/// One value of a table.
struct Cell {
  CellFormat format = CellFormat::kText;
  std::string text;          ///< for kText
  std::int64_t integer = 0;  ///< for kInteger
  double real = 0;           ///< for kDecimal and kPercent
  bool empty = false;        ///< no value (written as an empty cell, null in JSON)

  static Cell ofText(std::string text);
  static Cell ofInteger(std::int64_t value);
  static Cell ofDecimal(double value);
  static Cell ofPercent(double value);
  static Cell none(CellFormat format);
};

/// A column of a table.
struct Column {
  std::string name;  ///< heading (fixed text of this program)
  std::string key;   ///< name in JSON and CSV
};

/// A table of a panel.
struct Table {
  std::string id;       ///< unique in the report: the CSV file name and the HTML id
  std::string caption;  ///< heading above the table
  std::vector<Column> columns;
  std::vector<std::vector<Cell>> rows;
  bool folded = false;  ///< shown folded away (long tables)
};

/// A chart drawn beside a panel's tables.
struct Chart {
  enum class Kind {
    kColumns,  ///< one series over time, a column per label
    kLines,    ///< several series over time
    kStacked,  ///< several series over time, stacked columns
    kBars,     ///< one series of ranked values, horizontal bars
  };
  struct Series {
    std::string name;
    std::vector<double> values;  ///< one per label; NaN where there is none
  };
  Kind kind = Kind::kColumns;
  std::string caption;
  std::vector<std::string> labels;  ///< x axis (time) or bar names (may be data)
  std::vector<Series> series;
  int marked = -1;          ///< label index drawn highlighted (the busiest hour)
  std::string markedNote;   ///< words written at the marked column
};

/// A panel: a heading, charts and tables.
struct Panel {
  std::string id;
  std::string title;
  std::string note;  ///< how the figures are made, one sentence
  std::vector<Chart> charts;
  std::vector<Table> tables;
};

/// A whole report.
struct Report {
  std::string title;
  std::string generatedAt;  ///< local time of the run
  std::string source;       ///< database and tables read
  std::string range;        ///< the time range asked for, or "all data"
  std::string emptyNote;    ///< set when no row was in the range
  std::vector<Panel> panels;
};

#endif  // ZXREPORT_REPORT_MODEL_H_
