// A whole parser run over a log in a file, plain or gzip-compressed: header,
// line loop with joined and rejected lines, load files and run log. The
// first byte picks compression, database, format name, data set and the
// error limit; the rest is the log.
#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/platform.h"
#include "common/run_log.h"
#include "fuzz/fuzz_support.h"
#include "parser/run_driver.h"
#include "parser/run_options.h"

namespace {

constexpr std::array<const char*, 4> kDatabases = {"none", "sybase", "oracle", "mssql"};
constexpr std::array<const char*, 4> kFormatNames = {"", "real", "common", "squid"};
constexpr std::array<std::string_view, 3> kTypesFiles = {
    "datatypes.dat", "smartfilter_datatypes.dat", "streaming_datatypes.dat"};

// Copies the bundled column data types and identifier files once.
void copyConfiguration() {
  static bool done = [] {
    platform::setTimeZone("America/Los_Angeles");
    for (std::string_view name : kTypesFiles) {
      fuzz::writeFile(fuzz::scratchPath(name),
                      fuzz::sourceFile("config/" + std::string(name)));
    }
    fuzz::writeFile(fuzz::scratchPath("datatypes.dat.id"),
                    fuzz::sourceFile("config/datatypes.dat.id"));
    return true;
  }();
  (void)done;
}

void writeGzip(const std::string& path, std::string_view bytes) {
  gzFile file = gzopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (!bytes.empty()) gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size()));
  gzclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  copyConfiguration();
  std::string_view input = fuzz::asText(data, size);
  unsigned selector = fuzz::takeSelector(&input);

  RunOptions options;
  options.logPath = fuzz::scratchPath("access.log");
  options.runLogPath = fuzz::scratchPath("access.log.out");
  options.dbName = kDatabases[(selector >> 1) % 4];
  options.logFormatName = kFormatNames[(selector >> 3) % 4];
  options.dataTypesPath = fuzz::scratchPath(kTypesFiles[(selector >> 5) % 3]);
  options.maxErrors = (selector & 0x80) != 0 ? 3 : 0;
  if ((selector & 1) != 0) {
    writeGzip(options.logPath, input);
  } else {
    fuzz::writeFile(options.logPath, input);
  }
  fuzz::writeFile(options.runLogPath, "");
  RunLog runLog("parser");
  runLog.setPath(options.runLogPath);
  int status = runParser(options, runLog);
  fuzz::require(status == kRunOk || status == kRunInvalidHeader ||
                    status == kRunNoRecords || status == kRunTooManyErrors ||
                    status == kRunFormatChanged || status == kRunLogCorrupt,
                "unexpected run status");
  return 0;
}
