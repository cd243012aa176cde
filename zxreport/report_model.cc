#include "zxreport/report_model.h"

#include <utility>

Cell Cell::ofText(std::string text) {
  Cell cell;
  cell.text = std::move(text);
  return cell;
}

Cell Cell::ofInteger(std::int64_t value) {
  Cell cell;
  cell.format = CellFormat::kInteger;
  cell.integer = value;
  return cell;
}

Cell Cell::ofDecimal(double value) {
  Cell cell;
  cell.format = CellFormat::kDecimal;
  cell.real = value;
  return cell;
}

Cell Cell::ofPercent(double value) {
  Cell cell = ofDecimal(value);
  cell.format = CellFormat::kPercent;
  return cell;
}

Cell Cell::none(CellFormat format) {
  Cell cell;
  cell.format = format;
  cell.empty = true;
  return cell;
}
