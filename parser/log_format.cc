#include "parser/log_format.h"

#include "common/run_log.h"
#include "parser/json_fields.h"
#include "parser/layout_matcher.h"
#include "parser/server_config.h"
#include "parser/stock_formats.h"

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' ||
                           text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

std::string lowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

/// Splits "FILE:NAME" at its last ':'.
bool splitFileAndName(std::string_view text, LogFormatChoice* choice) {
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) return false;
  choice->file = std::string(text.substr(0, colon));
  choice->name = std::string(text.substr(colon + 1));
  return true;
}

/// Reads the definition the choice names into `definition`.
bool readDefinition(const LogFormatChoice& choice, FormatDefinition* definition,
                    std::string* shown, std::string* error) {
  using Kind = LogFormatChoice::Kind;
  std::string format;
  EscapeStyle escapes = EscapeStyle::kBackslash;
  const ServerKind server = choice.kind == Kind::kApache || choice.kind == Kind::kApacheConfig
                                ? ServerKind::kApache
                                : ServerKind::kNginx;
  const char* serverName = server == ServerKind::kApache ? "Apache" : "nginx";
  if (choice.kind == Kind::kApacheConfig || choice.kind == Kind::kNginxConfig) {
    if (!readConfiguredFormat(server, choice.file, choice.name, &format, &escapes, error)) {
      return false;
    }
  } else {
    const char marker = server == ServerKind::kApache ? '%' : '$';
    if (choice.text.find(marker) == std::string::npos) {
      std::string_view stock = stockFormat(server, trimmed(choice.text));
      if (stock.empty()) {
        *error = std::string("no ") + serverName + " stock format named '" + choice.text +
                 "' (stock formats: " + stockFormatNames(server) + ")";
        return false;
      }
      format = std::string(stock);
    } else if (server == ServerKind::kApache) {
      format = apacheFormatArgument(choice.text);
    } else {
      nginxFormatArgument(choice.text, &format, &escapes);
    }
  }
  *shown = format;
  bool compiled = server == ServerKind::kApache
                      ? compileApacheFormat(format, definition, error)
                      : compileNginxFormat(format, escapes, definition, error);
  if (!compiled) *error = std::string(serverName) + " format: " + *error;
  return compiled;
}

/// The text layout of a server's format definition.
std::unique_ptr<FieldSource> buildTextLayout(const LogFormatChoice& choice,
                                             const ColumnTable& table,
                                             FieldBinding* binding,
                                             const RunLog& runLog, std::string* error) {
  FormatDefinition definition;
  std::string shown;
  if (!readDefinition(choice, &definition, &shown, error)) return nullptr;
  runLog.logFormat(2, "Log format definition = %s", shown.c_str());
  std::vector<FieldRequest> requests;
  std::vector<std::string> names;
  for (const FormatItem& item : definition.items) {
    requests.push_back(FieldRequest{item.mapping.field, item.mapping.rank});
    names.push_back(item.directive);
  }
  *binding = bindFields(requests, names, table, /*alternatives=*/false);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (binding->positionOf[i] < 0) {
      runLog.logFormat(2, "Log format: %s is read and not loaded (%s)", names[i].c_str(),
                       binding->reasons[i].c_str());
    }
  }
  return std::make_unique<LayoutMatcher>(definition, binding->positionOf);
}

/// The reader of JSON lines with the user's key mapping.
std::unique_ptr<FieldSource> buildJsonLayout(const LogFormatChoice& choice,
                                             const ColumnTable& table,
                                             FieldBinding* binding,
                                             const RunLog& runLog, std::string* error) {
  if (!jsonLinesAvailable()) {
    *error = "JSON lines cannot be read: this parser was built without simdjson";
    return nullptr;
  }
  std::vector<JsonField> fields;
  std::vector<std::string> notes;
  if (!planJsonFields(choice.text, table, &fields, binding, &notes, error)) {
    *error = "JSON key mapping: " + *error;
    return nullptr;
  }
  for (const std::string& note : notes) {
    runLog.logFormat(2, "Log format: JSON key %s is read and not loaded", note.c_str());
  }
  return makeJsonSource(fields, static_cast<int>(binding->columns.size()));
}

}  // namespace

bool parseLogFormatOption(std::string_view value, LogFormatChoice* choice,
                          std::string* error) {
  using Kind = LogFormatChoice::Kind;
  *choice = LogFormatChoice();
  auto rest = [&](std::string_view prefix, Kind kind) {
    if (!value.starts_with(prefix)) return false;
    choice->kind = kind;
    choice->text = std::string(value.substr(prefix.size()));
    return true;
  };
  bool ok = false;
  if (value == "json" || rest("json:", Kind::kJson)) {
    choice->kind = Kind::kJson;
    ok = true;
  } else if (rest("apache:", Kind::kApache) || rest("nginx:", Kind::kNginx)) {
    ok = !trimmed(choice->text).empty();
  } else if (rest("apache-conf:", Kind::kApacheConfig) ||
             rest("nginx-conf:", Kind::kNginxConfig)) {
    ok = splitFileAndName(choice->text, choice);
  }
  if (!ok) {
    *error = "-f takes apache:FORMAT, apache:NAME, nginx:FORMAT, nginx:NAME, "
             "apache-conf:FILE:NAME, nginx-conf:FILE:NAME, json or json:KEY=FIELD,...";
  }
  return ok;
}

std::string apacheFormatArgument(std::string_view value) {
  std::string_view text = trimmed(value);
  std::vector<bool> quoted;
  std::vector<std::string> words = apacheWords(text, &quoted);
  if (words.size() >= 2 && lowerAscii(words[0]) == "logformat" && quoted[1]) return words[1];
  if (words.size() == 1 && quoted[0]) return words[0];
  std::string format;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
      ++i;
    }
    format += text[i];
  }
  return format;
}

void nginxFormatArgument(std::string_view value, std::string* format, EscapeStyle* escapes) {
  *escapes = EscapeStyle::kBackslash;
  std::vector<NginxToken> tokens;
  std::string ignored;
  if (nginxTokens(trimmed(value), &tokens, &ignored)) {
    std::size_t i = 0;
    if (tokens.size() >= 2 && tokens[0].quote == 0 && tokens[0].text == "log_format") i = 2;
    EscapeStyle style = EscapeStyle::kBackslash;
    if (i < tokens.size() && tokens[i].quote == 0 && tokens[i].text.starts_with("escape=") &&
        nginxEscapeStyle(tokens[i].text.substr(7), &style)) {
      ++i;
    }
    std::size_t end = tokens.size();
    if (end > i && tokens[end - 1].special == ';') --end;
    bool parts = end > i;
    for (std::size_t t = i; t < end; ++t) parts = parts && tokens[t].quote != 0;
    if (parts && (tokens[i].quote == '\'' || end - i == 1)) {
      format->clear();
      for (std::size_t t = i; t < end; ++t) *format += tokens[t].text;
      *escapes = style;
      return;
    }
  }
  format->clear();
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      char next = value[i + 1];
      char replaced = next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n'
                    : (next == '"' || next == '\'' || next == '\\') ? next : 0;
      if (replaced != 0) {
        *format += replaced;
        ++i;
        continue;
      }
    }
    *format += c;
  }
}

std::unique_ptr<FieldSource> buildLogFormat(const LogFormatChoice& choice,
                                            const ColumnTable& table,
                                            HeaderLayout& layout,
                                            const RunLog& runLog, std::string* error) {
  FieldBinding binding;
  std::unique_ptr<FieldSource> source =
      choice.kind == LogFormatChoice::Kind::kJson
          ? buildJsonLayout(choice, table, &binding, runLog, error)
          : buildTextLayout(choice, table, &binding, runLog, error);
  if (source == nullptr) return nullptr;
  if (binding.columns.empty()) {
    *error = "no value of the format is loaded by the column data types file";
    return nullptr;
  }
  if (binding.columns.size() > static_cast<std::size_t>(kMaxColumns)) {
    *error = "more than " + std::to_string(kMaxColumns) + " columns";
    return nullptr;
  }
  layout.headerFields = binding.columns;
  layout.headerLine = "#Fields:";
  for (int column : binding.columns) {
    layout.headerLine += ' ';
    layout.headerLine += table.at(column).logName.view();
  }
  layout.logTypeName = "http";
  return source;
}
