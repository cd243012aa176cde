#ifndef PARSER_JSON_FIELDS_H_
#define PARSER_JSON_FIELDS_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "parser/column_table.h"
#include "parser/field_source.h"
#include "parser/value_conversions.h"

/// One step of a JSON key path: an object key, or an array element.
struct JsonStep {
  std::string key;
  /// The element's index for an array step; -1 for a key.
  int index = -1;
};

/// A JSON key path and the header position its value fills.
struct JsonField {
  std::vector<JsonStep> path;
  /// The path as written, for messages.
  std::string name;
  int position = -1;
  /// Of several keys for one position, the present one with the lowest
  /// priority gives the value.
  int priority = 0;
  ValueConversion conversion = ValueConversion::kNone;
  /// The strftime format of a kTimePattern conversion.
  std::string timeFormat;
};

/// Parses a key path: keys separated by '.', "[N]" for element N of an
/// array, a backslash before a character that is part of a key ('.', '[',
/// '\'). False with `*error` for an empty key or a malformed index.
bool parseJsonPath(std::string_view text, std::vector<JsonStep>* path,
                   std::string* error);

/// Plans the reading of JSON lines: the default keys (nginx variable
/// names, Caddy's and Traefik's keys) and the user's `mapping`
/// ("KEY=FIELD,KEY=FIELD"; FIELD a log field name of the column data types
/// file, an nginx "$variable", an Apache "%directive", or "-" to leave the
/// key unread), user keys first. Fills `fields` and the header columns of
/// `binding`; false with `*error` for a malformed mapping. Notes on user
/// keys that are not loaded go to `notes`.
bool planJsonFields(std::string_view mapping, const ColumnTable& table,
                    std::vector<JsonField>* fields, FieldBinding* binding,
                    std::vector<std::string>* notes, std::string* error);

/// True when this build reads JSON lines (it was built with simdjson).
bool jsonLinesAvailable();

/// The reader of JSON lines for `fields` over `positions` header
/// positions; null in a build without simdjson.
std::unique_ptr<FieldSource> makeJsonSource(const std::vector<JsonField>& fields,
                                            int positions);

#endif  // PARSER_JSON_FIELDS_H_
