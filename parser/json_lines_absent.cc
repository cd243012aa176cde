// A build without simdjson (the Windows cross-builds) reads no JSON lines:
// -f json fails with a message that says so.
#include "parser/json_fields.h"

bool jsonLinesAvailable() { return false; }

std::unique_ptr<FieldSource> makeJsonSource(const std::vector<JsonField>&, int) {
  return nullptr;
}
