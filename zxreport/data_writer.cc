#include "zxreport/data_writer.h"

#include <cstdio>

#include "zxreport/escape.h"

std::string plainNumber(const Cell& cell) {
  if (cell.empty) return "";
  char buffer[64];
  switch (cell.format) {
    case CellFormat::kInteger:
      std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(cell.integer));
      break;
    case CellFormat::kPercent: std::snprintf(buffer, sizeof buffer, "%.4f", cell.real); break;
    default: std::snprintf(buffer, sizeof buffer, "%.3f", cell.real);
  }
  return buffer;
}

namespace {

/// A cell as a JSON value.
std::string jsonCell(const Cell& cell) {
  if (cell.format == CellFormat::kText) return jsonString(cell.text);
  return cell.empty ? "null" : plainNumber(cell);
}

}  // namespace

std::string reportJson(const Report& report) {
  std::string out = "{\"title\": " + jsonString(report.title) +
                    ",\r\n \"generated\": " + jsonString(report.generatedAt) +
                    ",\r\n \"source\": " + jsonString(report.source) +
                    ",\r\n \"range\": " + jsonString(report.range) +
                    ",\r\n \"empty\": " + (report.emptyNote.empty() ? "null" : jsonString(report.emptyNote)) +
                    ",\r\n \"panels\": [";
  for (std::size_t p = 0; p < report.panels.size(); ++p) {
    const Panel& panel = report.panels[p];
    out += p == 0 ? "\r\n  " : ",\r\n  ";
    out += "{\"id\": " + jsonString(panel.id) + ", \"title\": " + jsonString(panel.title) +
           ", \"tables\": [";
    for (std::size_t t = 0; t < panel.tables.size(); ++t) {
      const Table& table = panel.tables[t];
      out += t == 0 ? "\r\n   " : ",\r\n   ";
      out += "{\"id\": " + jsonString(table.id) + ", \"caption\": " + jsonString(table.caption) +
             ", \"columns\": [";
      for (std::size_t c = 0; c < table.columns.size(); ++c) {
        out += (c == 0 ? "" : ", ") + jsonString(table.columns[c].key);
      }
      out += "], \"rows\": [";
      for (std::size_t r = 0; r < table.rows.size(); ++r) {
        out += r == 0 ? "\r\n    [" : ",\r\n    [";
        for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
          out += (c == 0 ? "" : ", ") + jsonCell(table.rows[r][c]);
        }
        out += "]";
      }
      out += "]}";
    }
    out += "]}";
  }
  out += "]}\r\n";
  return out;
}

std::string tableCsv(const Table& table) {
  std::string out;
  for (std::size_t c = 0; c < table.columns.size(); ++c) {
    out += (c == 0 ? "" : ",") + csvCell(table.columns[c].key);
  }
  out += "\r\n";
  for (const std::vector<Cell>& row : table.rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) out.push_back(',');
      out += row[c].format == CellFormat::kText ? csvCell(row[c].text) : plainNumber(row[c]);
    }
    out += "\r\n";
  }
  return out;
}
