// The column data types file: lines of name, type, flag, column and rules.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/run_log.h"
#include "fuzz/fuzz_support.h"
#include "parser/column_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzz::scratchPath("types.dat");
  static auto* table = new ColumnTable;
  static const RunLog quiet("");
  fuzz::writeFile(path, fuzz::asText(data, size));
  fuzz::require(table->loadColumnTypes(path, quiet) == 0, "types file not read");
  for (int i = 0; i < table->count(); ++i) {
    const ColumnDef& column = table->at(i);
    fuzz::require(column.ruleCount >= 0 && column.ruleCount <= kMaxRules, "rule count");
    int found = table->findColumn(column.logName.view());
    fuzz::require(found >= 0 && found <= i, "column not found by its own name");
    fuzz::require(compareIgnoringCase(table->at(found).logName.view(),
                                      column.logName.view()) == 0,
                  "found another name");
  }
  return 0;
}
