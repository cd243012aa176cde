#include "parser/parser_types.h"

DbKind dbKindFromName(std::string_view name) {
  if (name == "sybase") return DbKind::Sybase;
  if (name == "oracle") return DbKind::Oracle;
  if (name == "mssql") return DbKind::MsSql;
  return DbKind::None;
}

DataSet dataSetFromPath(std::string_view path) {
  if (path.find("smartfilter") != std::string_view::npos) {
    return DataSet::SmartFilter;
  }
  if (path.find("streaming") != std::string_view::npos) {
    return DataSet::Streaming;
  }
  return DataSet::Raw;
}
