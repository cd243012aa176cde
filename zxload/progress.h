#ifndef ZXLOAD_PROGRESS_H_
#define ZXLOAD_PROGRESS_H_

#include <chrono>
#include <cstdint>
#include <string>

/// Shows the rows of a long load and their rate on standard error, when
/// that is a terminal: one line, rewritten about twice a second from
/// `firstAfter` (a second) on, erased at the end.
class Progress {
 public:
  /// Progress of loading `label` (the file); silent when `shown` is false.
  Progress(std::string label, bool shown,
           std::chrono::milliseconds firstAfter = std::chrono::seconds(1));
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  /// Notes that `rows` rows are done; cheap between looks at the clock.
  void update(std::uint64_t rows) {
    if (rows >= nextLook_) look(rows);
  }

  /// True when standard error is a terminal.
  static bool terminal();

 private:
  /// Looks at the clock and rewrites the line when it is time.
  void look(std::uint64_t rows);

  std::string label_;
  bool written_ = false;
  std::uint64_t nextLook_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point nextWrite_;
};

/// `number` with a comma between groups of three digits.
std::string groupedNumber(std::uint64_t number);

#endif  // ZXLOAD_PROGRESS_H_
