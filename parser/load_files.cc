#include "parser/load_files.h"

#include <array>
#include <cstdio>
#include <span>
#include <string_view>

#include "common/run_log.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

/// Columns of the raw table, in table order.
constexpr std::array<std::string_view, 40> kRawTableColumns = {
    "timestampid",  "groupid",        "transcodeid",      "actionid",
    "abortcodeid",  "logformat",      "status",           "os",
    "browser",      "player",         "userip",           "username",
    "dnsname",      "url",            "method",           "contenttype",
    "filetype",     "sitename",       "hostname",         "referrer",
    "serverdesc",   "serverdns",      "protocol",         "hierarchycode",
    "refcount",     "responsetime",   "bytecount",        "bytesdropped",
    "packetsrequested", "packetsserved", "packetsresent", "packetsdropped",
    "playtime",     "bandwidth",      "connecttime",      "dt_hour",
    "dt_dayofweek", "dt_month",       "dt_quarter",       "dt_year"};

/// Columns of the streaming table, in table order.
constexpr std::array<std::string_view, 21> kStreamingTableColumns = {
    "timestampid",    "groupid",       "userip",        "username",
    "url",            "method",        "logformat",     "connecttime",
    "filesize",       "filetime",      "bytecount",     "packetsrequested",
    "packetsserved",  "packetsresent", "packetsdropped", "playtime",
    "clipstartoff",   "clipendoff",    "senttime",      "bandwidth",
    "product"};

/// Columns of the SmartFilter table, in table order.
constexpr std::array<std::string_view, 9> kSmartFilterTableColumns = {
    "timestampid", "groupid", "userip", "username", "url",
    "method",      "logformat", "category", "result"};

/// Columns of every billing record and of the billing table, in order.
constexpr std::array<std::string_view, 10> kBillingColumns = {
    "timestampid", "groupid",   "userip",       "username",     "url",
    "method",      "logformat", "billmeasure1", "billmeasure2", "billmeasure3"};

/// Suffix the data file carries and the sort file replaces.
constexpr std::string_view kDataSuffix = ".csv";
constexpr std::string_view kSortSuffix = ".srt";

/// The table column list of `dataSet`.
std::span<const std::string_view> tableColumns(DataSet dataSet) {
  switch (dataSet) {
    case DataSet::SmartFilter:
      return kSmartFilterTableColumns;
    case DataSet::Streaming:
      return kStreamingTableColumns;
    case DataSet::Raw:
      break;
  }
  return kRawTableColumns;
}

/// 1-based position of `name` in `columns` (exact comparison), or one past
/// the end of the list when it is not there.
int serverColumnOrder(std::span<const std::string_view> columns,
                      std::string_view name) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i] == name) return static_cast<int>(i) + 1;
  }
  return static_cast<int>(columns.size()) + 1;
}

/// Outcome of writing a whole file.
enum class WriteOutcome { kWritten, kOpenFailed, kWriteFailed };

/// Creates `path` anew (replacing an old file) and writes `content` without
/// line-end translation.
WriteOutcome writeWholeFile(const std::string& path, std::string_view content) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return WriteOutcome::kOpenFailed;
  bool written =
      std::fwrite(content.data(), 1, content.size(), file) == content.size();
  if (std::fclose(file) != 0) written = false;
  return written ? WriteOutcome::kWritten : WriteOutcome::kWriteFailed;
}

/// Which loader file is written; decides the failure messages.
enum class FileKind { kControl, kFormat };

/// Writes `content` to `path` and reports a failure at level 5. Returns 0
/// or -8.
int storeFile(const std::string& path, std::string_view content, FileKind kind,
              const RunLog& runLog) {
  WriteOutcome outcome = writeWholeFile(path, content);
  if (outcome == WriteOutcome::kWritten) return 0;
  // A full disk must not pass for a complete file: a failed write is
  // reported like a failed open.
  static constexpr const char* kMessages[2][2] = {
      {"Could not open control file %s", "Could not write control file %s"},
      {"Could not open format file %s", "Could not write format file %s"}};
  int row = kind == FileKind::kControl ? 0 : 1;
  int column = outcome == WriteOutcome::kOpenFailed ? 0 : 1;
  runLog.logFormat(5, kMessages[row][column], path.c_str());
  return -8;
}

/// Appends `text` and a line break.
void appendLine(std::string& out, std::string_view text) {
  out.append(text);
  out.append(kLineEnd);
}

/// The two comment lines that open every loader control file.
void appendLoaderComments(std::string& out) {
  appendLine(out, "-- usage:");
  appendLine(out,
             "-- F:\\Oracle\\Ora817\\bin>SQLLdr userid=zx_user/hvlemz@ZX "
             "control=F:\\bulk\\http3.ctl log=f:\\bulk\\http3.log");
}

/// The loader directives from OPTIONS to the field clause, then the opening
/// of the column list.
void appendLoaderDirectives(std::string& out, std::string_view inputPath,
                            std::string_view tableName) {
  appendLine(out, "OPTIONS(ERRORS=1000,SILENT=FEEDBACK,ROWS=500)");
  appendLine(out, "LOAD DATA");
  out.append("INFILE '");
  out.append(inputPath);
  appendLine(out, "' \"str '\\r\\n'\"");
  appendLine(out, "APPEND");
  out.append("INTO TABLE ");
  appendLine(out, tableName);
  appendLine(out, "FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\\''");
  out.append("( ");
}

/// The loader's entry for column `name`: the time stamp as a date with its
/// mask, the URL as a long character field, anything else by name. Every
/// entry but the last ends with a comma and a line break; the last one
/// ends with a line break only when it is the time stamp, so that the
/// closing parenthesis follows any other last column on its line.
void appendLoaderEntry(std::string& out, std::string_view name, bool last) {
  out.append(name);
  if (name == "timestampid") {
    out.append(" DATE \"YYYY-MM-DD HH24:MI:SS\"");
    if (!last) out.push_back(',');
    out.append(kLineEnd);
    return;
  }
  if (name == "url") out.append(" CHAR(1024)");
  if (!last) {
    out.push_back(',');
    out.append(kLineEnd);
  }
}

/// One bcp field line for host field `k` of `n`.
void appendBcpLine(std::string& out, int k, int n, int serverOrder,
                   std::string_view name) {
  char head[64];
  std::snprintf(head, sizeof head, "%d\tSQLCHAR\t0\t255\t%s\t%d\t", k,
                k < n ? "\",\"" : "\"\\r\\n\"", serverOrder);
  out.append(head);
  appendLine(out, name);
}

/// Path of the hourly sort file of `dataPath`: the data file suffix, and
/// whatever follows it, replaced by the sort suffix. The last ".csv" is the
/// one the data file name ends with, so the result is the file the sorter
/// writes even when a directory name holds ".csv". Empty when `dataPath`
/// holds no ".csv".
std::string sortFilePath(const std::string& dataPath) {
  std::size_t at = dataPath.rfind(kDataSuffix);
  if (at == std::string::npos) return std::string();
  std::string path = dataPath.substr(0, at);
  path.append(kSortSuffix);
  return path;
}

}  // namespace

int writeOracleControlFile(const std::string& controlPath,
                           const std::string& dataPath,
                           const std::string& tableName, bool useSortedData,
                           const ColumnTable& table, const HeaderLayout& layout,
                           const RunLog& runLog) {
  std::string content;
  appendLoaderComments(content);
  bool hasDataSuffix = dataPath.find(kDataSuffix) != std::string::npos;
  if (hasDataSuffix) {
    appendLoaderDirectives(content,
                           useSortedData ? sortFilePath(dataPath) : dataPath,
                           tableName);
    int count = countDeclaredColumns(table, layout);
    int k = 0;
    forEachDeclaredColumn(table, layout, [&](int index) {
      ++k;
      appendLoaderEntry(content, table.at(index).dbName.view(), k == count);
    });
    appendLine(content, ")");
  }
  int result = storeFile(controlPath, content, FileKind::kControl, runLog);
  if (result != 0) return result;
  if (!hasDataSuffix) {
    // Without a data file name there is no input to name; the file keeps
    // its comment lines only.
    runLog.logFormat(5, "Could not open sort control file %s", dataPath.c_str());
    return -8;
  }
  return 0;
}

int writeBcpFormatFile(const std::string& controlPath, DataSet dataSet,
                       const ColumnTable& table, const HeaderLayout& layout,
                       const RunLog& runLog) {
  std::span<const std::string_view> columns = tableColumns(dataSet);
  int count = countDeclaredColumns(table, layout);
  std::string content;
  appendLine(content, "7.0");
  appendLine(content, std::to_string(count));
  int k = 0;
  forEachDeclaredColumn(table, layout, [&](int index) {
    ++k;
    std::string_view name = table.at(index).dbName.view();
    appendBcpLine(content, k, count, serverColumnOrder(columns, name), name);
  });
  return storeFile(controlPath, content, FileKind::kControl, runLog);
}

int writeColumnDescriptionFile(const std::string& path,
                               const ColumnTable& table,
                               const HeaderLayout& layout,
                               const RunLog& runLog) {
  int count = countDeclaredColumns(table, layout);
  std::string content;
  int k = 0;
  forEachDeclaredColumn(table, layout, [&](int index) {
    ++k;
    content.append(table.at(index).dbName.view());
    if (k < count) {
      content.push_back(',');
    } else {
      content.append(kLineEnd);
    }
  });
  return storeFile(path, content, FileKind::kFormat, runLog);
}

int writeBillingControlFile(const std::string& billingControlPath,
                            const std::string& billingSortPath,
                            const std::string& billingTableName, DbKind db,
                            const RunLog& runLog) {
  const int count = static_cast<int>(kBillingColumns.size());
  std::string content;
  switch (db) {
    case DbKind::Oracle:
      // The billing sort file is loaded as it is; the closing parenthesis
      // stands on a line of its own after the last measure.
      appendLoaderComments(content);
      appendLoaderDirectives(content, billingSortPath, billingTableName);
      for (int k = 1; k < count; ++k) {
        appendLoaderEntry(content, kBillingColumns[k - 1], false);
      }
      appendLine(content, kBillingColumns[count - 1]);
      appendLine(content, ")");
      break;
    case DbKind::MsSql:
      appendLine(content, "7.0");
      appendLine(content, std::to_string(count));
      for (int k = 1; k <= count; ++k) {
        appendBcpLine(content, k, count, k, kBillingColumns[k - 1]);
      }
      break;
    case DbKind::Sybase:
    case DbKind::None:
      for (int k = 1; k <= count; ++k) {
        content.append(kBillingColumns[k - 1]);
        if (k < count) content.push_back(',');
      }
      content.append(kLineEnd);
      break;
  }
  return storeFile(billingControlPath, content, FileKind::kFormat, runLog);
}
