#include "parser/json_fields.h"

#include "parser/format_definition.h"
#include "parser/normalise.h"

namespace {

/// `text` in single quotes, for messages.
std::string quoted(std::string_view text) {
  std::string result(1, '\'');
  result += text;
  result += '\'';
  return result;
}

/// Log field names of the time stamp columns; JSON times all become
/// seconds since 1970 in "x-timestamp".
bool isTimeField(std::string_view field) {
  return field == "x-timestamp" || field == "x-localtime" || field == "timestamp" ||
         field == "[%SYSDATE%]";
}

/// The mapping a user's target names: "$variable", "%directive" or a log
/// field name. False with `*error` for a directive that does not compile.
bool targetMapping(std::string_view target, DirectiveMapping* mapping, std::string* error) {
  if (target.starts_with('$')) {
    std::string name(target.substr(1));
    for (char& c : name) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    *mapping = nginxVariable(name);
    return true;
  }
  if (target.starts_with('%')) {
    FormatDefinition definition;
    if (!compileApacheFormat(target, &definition, error)) return false;
    if (definition.items.size() != 1 || !definition.items[0].literal.empty() ||
        !definition.trailing.empty()) {
      *error = quoted(target) + " is not one directive";
      return false;
    }
    *mapping = definition.items[0].mapping;
    return true;
  }
  *mapping = DirectiveMapping();
  mapping->field = std::string(target);
  return true;
}

/// JSON values are whole: a time of any kind becomes seconds since 1970 in
/// "x-timestamp", so that keys of different kinds share one column.
void adaptTime(DirectiveMapping* mapping) {
  if (!isTimeField(mapping->field)) return;
  switch (mapping->conversion) {
    case ValueConversion::kTimePattern:
    case ValueConversion::kIsoTime:
    case ValueConversion::kEpochMilliseconds:
    case ValueConversion::kEpochMicroseconds:
      break;
    default:
      mapping->conversion = ValueConversion::kAutoTime;
  }
  mapping->field = "x-timestamp";
}

/// A key of the plan before binding.
struct PlannedKey {
  std::string path;
  DirectiveMapping mapping;
  bool user = false;
};

/// Reads "KEY=FIELD,..." into keys; a "-" target removes the key.
bool readMapping(std::string_view text, std::vector<PlannedKey>* keys,
                 std::vector<std::string>* removed, std::string* error) {
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t comma = text.find(',', at);
    if (comma == std::string_view::npos) comma = text.size();
    std::string_view entry = text.substr(at, comma - at);
    at = comma + 1;
    if (entry.empty()) {
      if (comma == text.size()) break;
      continue;
    }
    std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos || equals == 0 || equals + 1 == entry.size()) {
      *error = quoted(entry) + " is not KEY=FIELD";
      return false;
    }
    std::string key(entry.substr(0, equals));
    std::string_view target = entry.substr(equals + 1);
    std::vector<JsonStep> path;
    if (!parseJsonPath(key, &path, error)) return false;
    if (target == "-") {
      removed->push_back(key);
      continue;
    }
    PlannedKey planned;
    planned.path = key;
    planned.user = true;
    if (!targetMapping(target, &planned.mapping, error)) return false;
    adaptTime(&planned.mapping);
    keys->push_back(std::move(planned));
  }
  return true;
}

/// True when a value that `from`'s column treats can stand in `to`'s
/// column; `*conversion` is set when it must be converted first.
bool compatible(FieldTreatment from, FieldTreatment to, ValueConversion* conversion) {
  auto isUrl = [](FieldTreatment t) {
    return t == FieldTreatment::kUrl || t == FieldTreatment::kUriStem;
  };
  if (from == to) return true;
  if (from == FieldTreatment::kRequestLineUrl && isUrl(to)) {
    *conversion = ValueConversion::kRequestLineUrl;
    return true;
  }
  // A URL needs no request line taken apart; a path is a URL.
  return (to == FieldTreatment::kRequestLineUrl && isUrl(from)) || (isUrl(from) && isUrl(to));
}

}  // namespace

bool parseJsonPath(std::string_view text, std::vector<JsonStep>* path, std::string* error) {
  path->clear();
  std::string key;
  bool keyOpen = true;
  auto endKey = [&]() {
    if (key.empty()) {
      *error = "an empty key in '" + std::string(text) + "'";
      return false;
    }
    path->push_back(JsonStep{std::move(key), -1});
    key.clear();
    return true;
  };
  for (std::size_t at = 0; at < text.size(); ++at) {
    char c = text[at];
    if (c == '\\' && at + 1 < text.size()) {
      key += text[++at];
      keyOpen = true;
    } else if (c == '.') {
      if (keyOpen && !endKey()) return false;
      keyOpen = true;
    } else if (c == '[') {
      if (keyOpen && !endKey()) return false;
      std::size_t close = text.find(']', at);
      std::string_view digits =
          close == std::string_view::npos ? std::string_view() : text.substr(at + 1, close - at - 1);
      int index = 0;
      bool valid = !digits.empty() && digits.size() <= 6;
      for (std::size_t k = 0; valid && k < digits.size(); ++k) {
        valid = digits[k] >= '0' && digits[k] <= '9';
        index = index * 10 + (digits[k] - '0');
      }
      if (!valid) {
        *error = "a malformed index in '" + std::string(text) + "'";
        return false;
      }
      path->push_back(JsonStep{"", index});
      at = close;
      keyOpen = false;
      if (at + 1 < text.size() && text[at + 1] != '.' && text[at + 1] != '[') {
        *error = "'.' or '[' expected after ']' in '" + std::string(text) + "'";
        return false;
      }
    } else {
      key += c;
      keyOpen = true;
    }
  }
  if (keyOpen && !endKey()) return false;
  return true;
}

bool planJsonFields(std::string_view mapping, const ColumnTable& table,
                    std::vector<JsonField>* fields, FieldBinding* binding,
                    std::vector<std::string>* notes, std::string* error) {
  std::vector<PlannedKey> keys;
  std::vector<std::string> removed;
  if (!readMapping(mapping, &keys, &removed, error)) return false;
  for (const JsonKeyMapping& key : defaultJsonKeys()) {
    bool replaced = false;
    for (const PlannedKey& planned : keys) replaced = replaced || planned.path == key.path;
    for (const std::string& gone : removed) replaced = replaced || gone == key.path;
    if (replaced) continue;
    PlannedKey planned{key.path, key.mapping, false};
    adaptTime(&planned.mapping);
    keys.push_back(std::move(planned));
  }
  std::vector<FieldRequest> requests;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    requests.push_back(FieldRequest{keys[i].mapping.field, static_cast<int>(i)});
    names.push_back(keys[i].path);
  }
  *binding = bindFields(requests, names, table, /*alternatives=*/true);

  fields->clear();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    int position = binding->positionOf[i];
    ValueConversion conversion = keys[i].mapping.conversion;
    if (position >= 0) {
      int column = table.findColumn(keys[i].mapping.field);
      int slotColumn = binding->columns[position];
      ValueConversion adapted = conversion;
      if (column != slotColumn &&
          !compatible(treatmentFor(table.at(column).logName.view()),
                      treatmentFor(table.at(slotColumn).logName.view()), &adapted)) {
        binding->positionOf[i] = position = -1;
        binding->reasons[i] = "its column is read otherwise than " +
                              std::string(table.at(slotColumn).logName.view());
      }
      conversion = adapted;
    }
    if (position < 0) {
      if (keys[i].user) notes->push_back(keys[i].path + ": " + binding->reasons[i]);
      continue;
    }
    JsonField field;
    if (!parseJsonPath(keys[i].path, &field.path, error)) return false;
    field.name = keys[i].path;
    field.position = position;
    field.priority = static_cast<int>(i);
    field.conversion = conversion;
    field.timeFormat = keys[i].mapping.timeFormat;
    fields->push_back(std::move(field));
  }
  return true;
}
