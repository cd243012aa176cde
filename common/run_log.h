#ifndef COMMON_RUN_LOG_H_
#define COMMON_RUN_LOG_H_

#include <cstdint>
#include <string>
#include <string_view>

/// Longest message a run-log line carries; longer texts are cut.
constexpr std::size_t kMaxMessageLength = 255;

/// Appends stamped lines to a run log shared by the console programs.
/// Every line is one open-append-close, so several programs may write to
/// the same file one after another; a log that cannot be opened loses the
/// message and nothing else.
class RunLog {
 public:
  /// Creates a writer that signs its lines with `component`.
  explicit RunLog(std::string component);

  /// Sets the file the lines go to; an empty path drops every message.
  void setPath(std::string path) { path_ = std::move(path); }
  /// The file the lines go to.
  const std::string& path() const { return path_; }

  /// Appends one line with `text` (cut to 255 characters) at `level`.
  void logLine(int level, std::string_view text) const;
  /// Appends `label` followed directly by `number` in decimal.
  void logCount(int level, std::string_view label, std::int64_t number) const;
  /// Appends `label` followed directly by `number` as "%lf".
  void logReal(int level, std::string_view label, double number) const;
  /// Formats a message printf-style (cut to 255 characters) and appends it.
  void logFormat(int level, const char* format, ...) const
      __attribute__((format(printf, 3, 4)));

  /// Builds the complete line for `text` at `level` with the given stamp
  /// parts; exposed so the line format can be checked exactly.
  std::string formatLine(int level, std::string_view text, int month, int day,
                         int year, int hour, int minute, int second) const;

 private:
  std::string component_;
  std::string path_;
};

#endif  // COMMON_RUN_LOG_H_
