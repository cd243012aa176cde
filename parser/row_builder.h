#ifndef PARSER_ROW_BUILDER_H_
#define PARSER_ROW_BUILDER_H_

#include <string_view>

#include "parser/column_table.h"
#include "parser/header_layout.h"
#include "parser/line_converter.h"
#include "parser/normalise.h"
#include "parser/parser_types.h"
#include "parser/row.h"

class IdentifierTables;
class RunLog;

/// Turns data lines into rows of the data file: splits the fields, applies
/// the exclude rules, normalises the values, writes them with quoting and
/// placeholders by column type, and appends the derived columns.
class RowBuilder : public LineConverter {
 public:
  RowBuilder(ColumnTable& table, const HeaderLayout& layout,
             const IdentifierTables& ids, DbKind db, DataSet dataSet,
             const RunLog& runLog);

  LineResult convertLine(std::string_view line, RunCounters& counters) override;
  std::string_view row() const override { return row_.view(); }
  void finishRow() override;

 private:
  ColumnTable& table_;
  const HeaderLayout& layout_;
  const IdentifierTables& ids_;
  DbKind db_;
  DataSet dataSet_;
  const RunLog& runLog_;
  FieldNormaliser normaliser_;
  Row row_;
  int groupCounter_ = 0;
};

#endif  // PARSER_ROW_BUILDER_H_
