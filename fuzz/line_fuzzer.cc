// Line conversion: splitting (escapes and trailing fields of the web server
// layouts too), exclusion, normalisation of every field kind, dates and
// times, the row and its derived columns; lines read by servers' format
// definitions (-f) and as JSON lines. The first byte picks the layout, the
// database and the data set; every further line of the input is one log
// line.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "common/platform.h"
#include "common/run_log.h"
#include "fuzz/fuzz_support.h"
#include "parser/column_table.h"
#include "parser/header.h"
#include "parser/identifier_tables.h"
#include "parser/line_loop.h"
#include "parser/log_format.h"
#include "parser/row_builder.h"

namespace {

// Layouts starting with "-f " are -f values.
constexpr std::array<std::string_view, 16> kLayouts = {
    "webaccess", "squid", "common", "straccess", "extended",
    "#Fields: date time c-ip cs-username cs-method cs-uri-stem cs-uri-query "
    "sc-status sc-bytes time-taken cs(user-agent) cs(referer)",
    "#Fields: time date cs-uri x-request-line x-timestamp x-localtime "
    "x-transaction x-action x-elapsed-milliseconds rs(content-type) "
    "x-smartfilter-categories x-hiercode cs(user-agent) cs(referer) x-note",
    "#Fields: x-timestamp c-ip cs-uri x-smartfilter-categories bytes "
    "time-taken",
    "combined",
    "-f apache:combined",
    "-f nginx:$remote_addr - $remote_user [$time_local] \"$request\" $status "
    "$body_bytes_sent \"$http_referer\" \"$http_user_agent\" rt=$request_time "
    "urt=\"$upstream_response_time\" host=$host",
    "-f apache:%v %a %l %u %t \\\"%r\\\" %>s %b %D \\\"%{Referer}i\\\" "
    "\\\"%{User-Agent}i\\\"",
    "-f apache:%h %r %>s %b [%{%d/%b/%Y:%H:%M:%S}t.%{msec_frac}t %{%z}t] %{ms}T %{c}a%a",
    "-f nginx:escape=none '$remote_addr \"$request\" $status $request_time "
    "$time_iso8601 $msec $upstream_response_time'",
    "-f json",
    "-f json:a.b[1]=c-ip,t=%{%d/%b/%Y %T}t,u=x-request-line,d=%D,s=sc-status,"
    "ts=-,q=cs-uri"};

constexpr std::array<std::string_view, 3> kTypesFiles = {
    "config/datatypes.dat", "config/smartfilter_datatypes.dat",
    "config/streaming_datatypes.dat"};
constexpr std::array<DataSet, 3> kDataSets = {DataSet::Raw, DataSet::SmartFilter,
                                              DataSet::Streaming};

struct Fixture {
  ColumnTable tables[kTypesFiles.size()];
  IdentifierTables ids;
};

Fixture& fixture() {
  static Fixture* loaded = [] {
    // A zone with daylight saving, so the clock's hour window changes.
    platform::setTimeZone("Europe/Berlin");
    auto* f = new Fixture;
    for (std::size_t i = 0; i < kTypesFiles.size(); ++i) {
      std::string path = fuzz::scratchPath("line_types_" + std::to_string(i));
      fuzz::writeFile(path, fuzz::sourceFile(kTypesFiles[i]));
      f->tables[i].clear();
      if (f->tables[i].loadColumnTypes(path, RunLog("")) != 0) std::abort();
    }
    fuzz::writeFile(fuzz::scratchPath("datatypes.dat.id"),
                    fuzz::sourceFile("config/datatypes.dat.id"));
    f->ids.load(fuzz::scratchPath("datatypes.dat"));
    return f;
  }();
  return *loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const RunLog quiet("");
  static auto* table = new ColumnTable;
  Fixture& f = fixture();
  std::string_view input = fuzz::asText(data, size);
  unsigned selector = fuzz::takeSelector(&input);
  const std::size_t typesIndex = (selector / 32) % kTypesFiles.size();
  *table = f.tables[typesIndex];
  const DbKind db = static_cast<DbKind>((selector / 8) % 4);

  HeaderLayout layout;
  std::string_view layoutText = kLayouts[selector % kLayouts.size()];
  std::unique_ptr<FieldSource> source;
  if (layoutText.starts_with("-f ")) {
    LogFormatChoice choice;
    std::string error;
    if (!parseLogFormatOption(layoutText.substr(3), &choice, &error)) std::abort();
    source = buildLogFormat(choice, *table, layout, quiet, &error);
    // A layout of JSON lines in a build without simdjson: nothing to read.
    if (source == nullptr) return 0;
  } else {
    BuiltInTemplate builtIn = builtInTemplate(layoutText);
    const int status = builtIn.formatText.empty()
                           ? parseFieldsLine(layoutText, *table, layout, quiet)
                           : useBuiltInTemplate(builtIn, *table, layout, quiet);
    if (status != 0) std::abort();
  }
  buildDerivedColumns(*table, layout, quiet);
  checkDuplicateColumns(*table, layout, quiet);
  const std::size_t declared =
      static_cast<std::size_t>(countDeclaredColumns(*table, layout));

  auto builder = std::make_unique<RowBuilder>(*table, layout, f.ids, db,
                                              kDataSets[typesIndex], quiet);
  if (source != nullptr) builder->setFieldSource(source.get());
  RunCounters counters;
  while (!input.empty()) {
    std::size_t end = input.find('\n');
    end = end == std::string_view::npos ? input.size() : end + 1;
    std::string_view line = input.substr(0, std::min(end, kMaxLineLength));
    input.remove_prefix(end);
    LineResult result = builder->convertLine(line, counters);
    if (static_cast<std::size_t>(result.fieldCount) != layout.headerFields.size() ||
        result.excluded) {
      continue;
    }
    builder->finishRow();
    fuzz::requireRow(builder->row(), declared);
  }
  return 0;
}
