#include "parser/header.h"

#include <array>
#include <vector>

#include "common/run_log.h"
#include "parser/field_splitter.h"
#include "parser/log_reader.h"

namespace {

/// Lines searched for a format line when the log's format is not named.
constexpr int kHeaderSearchLines = 10;

/// Name of the column that stands in for unknown field names.
constexpr std::string_view kUnknownField = "zx-unknown";

/// Kinds of log a "#Remark:" line may name, tested in this order.
struct RemarkKind {
  std::string_view word;
  std::string_view logTypeName;
};
constexpr std::array<RemarkKind, 8> kRemarkKinds = {{
    {"http", "http"},
    {"details", "details"},
    {"streaming", "streaming"},
    {"zentrix", "zx"},
    {"quarn", "quarn"},
    {"velt", "velt"},
    {"dravock", "dk"},
    {"vbk", "vbk"},
}};

/// Web servers write a quote inside a quoted field as \" and a backslash
/// as \\.
constexpr SplitRules kWebServerRules = {.equalsEndsField = false,
                                        .backslashEscapes = true};
/// The ident field of the web server layouts (almost always "-"), which
/// shares the user's database column in the shipped data types.
constexpr std::string_view kIdentField = "x-remote-id";

struct NamedTemplate {
  std::string_view name;
  BuiltInTemplate format;
};
constexpr std::array<NamedTemplate, 6> kTemplates = {{
    {"webaccess",
     {"#Fields: x-timestamp time-taken c-ip x-transaction bytes cs-method "
      "cs-uri x-username x-hiercode rs(Content-Type) x-note",
      "http"}},
    {"squid",
     {"#Fields: x-timestamp x-elapsed-milliseconds c-ip x-transaction bytes "
      "cs-method cs-uri x-remote-id x-hiercode rs(Content-Type)",
      "http"}},
    {"common",
     {"#Fields: c-ip x-remote-id x-username x-localtime x-request-line "
      "sc-status x-sc-contentlength",
      "http", kWebServerRules, false, kIdentField}},
    {"combined",
     {"#Fields: c-ip x-remote-id x-username x-localtime x-request-line "
      "sc-status x-sc-contentlength cs(referer) cs(user-agent)",
      "http", kWebServerRules, true, kIdentField}},
    {"straccess",
     {"#Fields: c-ip date time r-ip cs-uri sc-status x-status x-action "
      "x-stream-id bytes x-packets x-dropped-bytes x-dropped-packets "
      "x-connect-time x-play-time x-protocol x-transport x-product "
      "x-client-id",
      "streaming"}},
    {"extended",
     {"format=%Ses->client.ip% - %Req->vars.pauth-user% [%SYSDATE%] "
      "%Req->reqpb.proxy-request% %Req->srvhdrs.clf-status% "
      "%Req->vars.p2c-cl% %Req->vars.remote-status% %Req->vars.r2p-cl% "
      "%Req->headers.content-length% %Req->vars.p2r-cl% %Req->vars.c2p-hl% "
      "%Req->vars.p2c-hl% %Req->vars.p2r-hl% %Req->vars.r2p-hl% "
      "%Req->vars.xfer-time%",
      "http"}},
}};

constexpr std::string_view kStreamingBase =
    "#Fields: c-ip zx-unknown zx-unknown x-localtime x-request-line sc-status "
    "bytes_sent zx-unknown zx-unknown";
constexpr std::string_view kStreaming14Tail =
    " file_size file_time send_time resends failed_resends";
constexpr std::string_view kStreaming15Tail =
    " zx-unknown file_size file_time sent_time resends failed_resends";
constexpr std::string_view kStreaming16Tail = " zx-unknown";
constexpr std::string_view kStreaming18Tail = " start_time server_address";
constexpr std::string_view kStreaming20Tail = " average_bitrate packets_sent";

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

/// The line without the one blank directly before its line break: " \r\n"
/// becomes "\r\n" and " \n" becomes "\n", as the line loop does, so a
/// repeated format line compares equal to the header's.
std::string withoutBlankBeforeBreak(std::string_view line) {
  std::string text(line);
  if (text.ends_with(" \r\n")) {
    text.erase(text.size() - 3, 1);
  } else if (text.ends_with(" \n")) {
    text.erase(text.size() - 2, 1);
  }
  return text;
}

bool endsFormatLine(char c) { return c == '\r' || c == '\n'; }

/// Splits a format line into names: a quoted name runs to the closing quote
/// that is followed by a separator, any other name to a blank, tab, '=' or
/// line break; one separator follows each name. Stops after `limit` names.
std::vector<std::string_view> splitNames(std::string_view text,
                                         std::size_t limit) {
  std::vector<std::string_view> names;
  std::size_t position = 0;
  const std::size_t size = text.size();
  while (names.size() < limit) {
    std::size_t terminator;
    if (position < size && text[position] == '"') {
      std::size_t close = position + 1;
      while (close < size &&
             !(text[close] == '"' &&
               (close + 1 == size || text[close + 1] == ' ' ||
                text[close + 1] == '\t' || endsFormatLine(text[close + 1])))) {
        ++close;
      }
      if (close < size) {
        names.push_back(text.substr(position + 1, close - position - 1));
        terminator = close + 1;
      } else {
        std::size_t end = size;
        while (end > position + 1 && endsFormatLine(text[end - 1])) --end;
        names.push_back(text.substr(position + 1, end - position - 1));
        terminator = size;
      }
    } else {
      std::size_t end = position;
      while (end < size && text[end] != ' ' && text[end] != '\t' &&
             text[end] != '=' && !endsFormatLine(text[end])) {
        ++end;
      }
      names.push_back(text.substr(position, end - position));
      terminator = end;
    }
    if (terminator >= size || endsFormatLine(text[terminator])) break;
    position = terminator + 1;
  }
  return names;
}

}  // namespace

int parseFieldsLine(std::string_view line, const ColumnTable& table,
                    HeaderLayout& layout, const RunLog& runLog) {
  std::string text = withoutBlankBeforeBreak(line);
  // One name more than a format may hold, to notice an over-long format.
  std::vector<std::string_view> names =
      splitNames(text, static_cast<std::size_t>(kMaxColumns) + 2);
  if (names.empty()) return -4;
  std::string_view keyword = names.front();
  if (!contains(keyword, "#Fields:") && !contains(keyword, "format")) return -4;
  if (names.size() == 1) return -4;
  if (names.size() - 1 > static_cast<std::size_t>(kMaxColumns)) {
    runLog.logFormat(4, "Too many header fields: more than %d", kMaxColumns);
    return -4;
  }

  std::vector<int> fields;
  fields.reserve(names.size() - 1);
  for (std::size_t i = 1; i < names.size(); ++i) {
    int column = table.findColumn(names[i]);
    if (column < 0) {
      std::string name(names[i]);
      runLog.logFormat(4, "Invalid header field '%s'.  Using default",
                       name.c_str());
      column = table.findColumn(kUnknownField);
      if (column < 0) {
        runLog.logFormat(5, "Invalid header field '%s'.  Using default",
                         name.c_str());
        return -6;
      }
    }
    fields.push_back(column);
  }
  layout.headerFields = std::move(fields);
  layout.headerLine = std::move(text);
  return 0;
}

void detectLogType(std::string_view line, std::string& logTypeName) {
  if (contains(line, "#Remark:")) {
    for (const RemarkKind& kind : kRemarkKinds) {
      if (contains(line, kind.word)) {
        logTypeName.assign(kind.logTypeName);
        return;
      }
    }
    return;
  }
  if (contains(line, "format=")) {
    logTypeName.assign("http");
    return;
  }
  if (contains(line, "#Software:") &&
      contains(line, "Windows Media Services")) {
    logTypeName.assign("streaming");
  }
}

BuiltInTemplate builtInTemplate(std::string_view name) {
  for (const NamedTemplate& entry : kTemplates) {
    if (entry.name == name) return entry.format;
  }
  return BuiltInTemplate{};
}

std::string streamingVariantText(int fieldCount) {
  std::string text(kStreamingBase);
  switch (fieldCount) {
    case 9:
      return text;
    case 14:
      return text.append(kStreaming14Tail);
    case 15:
    case 16:
    case 18:
    case 20:
      text.append(kStreaming15Tail);
      if (fieldCount >= 16) text.append(kStreaming16Tail);
      if (fieldCount >= 18) text.append(kStreaming18Tail);
      if (fieldCount >= 20) text.append(kStreaming20Tail);
      return text;
    default:
      return std::string();
  }
}

bool detectStreamingVariant(LogReader& log, std::string* formatText) {
  std::array<char, kLineReadLimit + 1> buffer;
  std::size_t length = 0;
  if (!log.readLine(buffer.data(), &length)) return false;
  std::string line =
      withoutBlankBeforeBreak(std::string_view(buffer.data(), length));
  *formatText =
      streamingVariantText(countFields(line, {.equalsEndsField = true}));
  return !formatText->empty();
}

int readHeader(LogReader& log, std::string_view logFormatName,
               const ColumnTable& table, HeaderLayout& layout,
               const RunLog& runLog) {
  if (logFormatName.empty()) {
    std::array<char, kLineReadLimit + 1> buffer;
    for (int read = 0; read < kHeaderSearchLines; ++read) {
      std::size_t length = 0;
      if (!log.readLine(buffer.data(), &length)) return -4;
      std::string_view line(buffer.data(), length);
      detectLogType(line, layout.logTypeName);
      if (parseFieldsLine(line, table, layout, runLog) == 0) return 0;
    }
    return -4;
  }
  if (logFormatName == "real") {
    layout.logTypeName.assign("streaming");
    std::string formatText;
    if (!detectStreamingVariant(log, &formatText)) return -4;
    return parseFieldsLine(formatText, table, layout, runLog) == 0 ? 0 : -4;
  }
  BuiltInTemplate format = builtInTemplate(logFormatName);
  if (format.formatText.empty()) return -4;
  return useBuiltInTemplate(format, table, layout, runLog);
}

int useBuiltInTemplate(const BuiltInTemplate& format, const ColumnTable& table,
                       HeaderLayout& layout, const RunLog& runLog) {
  layout.logTypeName.assign(format.logTypeName);
  if (parseFieldsLine(format.formatText, table, layout, runLog) != 0) return -4;
  layout.splitRules = format.splitRules;
  layout.ignoresTrailingFields = format.ignoresTrailingFields;
  layout.unloadedColumns.clear();
  const int unloaded = format.unloadedField.empty()
                           ? -1
                           : table.findColumn(format.unloadedField);
  if (unloaded < 0) return 0;
  // Not loaded only where another field loads the same database column, so
  // data types that give the field a column of its own keep loading it.
  for (int column : layout.headerFields) {
    const ColumnDef& other = table.at(column);
    if (column != unloaded && other.outputFlag == 1 &&
        other.dbName.view() == table.at(unloaded).dbName.view()) {
      layout.unloadedColumns.push_back(unloaded);
      break;
    }
  }
  return 0;
}

void buildDerivedColumns(const ColumnTable& table, HeaderLayout& layout,
                         const RunLog& runLog) {
  for (int slot = 0; slot < kDerivedCount; ++slot) {
    std::string_view name = kDerivedNames[slot];
    int column = table.findColumn(name);
    layout.derivedColumns[slot] = column;
    if (column < 0) {
      runLog.logFormat(4,
                       "Derived column %.*s is not in the column data types "
                       "file; it is left out of every row",
                       static_cast<int>(name.size()), name.data());
    }
  }
}

void checkDuplicateColumns(ColumnTable& table, const HeaderLayout& layout,
                           const RunLog& runLog) {
  for (int column : layout.unloadedColumns) table.at(column).outputFlag = 0;
  const std::vector<int>& fields = layout.headerFields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const ColumnDef& kept = table.at(fields[i]);
    if (kept.outputFlag == 0) continue;
    std::string_view dbName = kept.dbName.view();
    for (std::size_t j = i + 1; j < fields.size(); ++j) {
      ColumnDef& later = table.at(fields[j]);
      if (later.outputFlag == 1 && later.dbName.view() == dbName) {
        later.outputFlag = 0;
        runLog.logFormat(4, "Duplicate internal header field %s",
                         later.dbName.c_str());
      }
    }
    for (int index : layout.derivedColumns) {
      if (index < 0) continue;
      ColumnDef& derived = table.at(index);
      if (derived.outputFlag == 1 && derived.dbName.view() == dbName) {
        derived.outputFlag = 0;
        runLog.logFormat(4, "Duplicate header field %s",
                         derived.dbName.c_str());
      }
    }
  }
}
