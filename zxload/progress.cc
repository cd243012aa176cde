#include "zxload/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

/// Rows between two looks at the clock.
constexpr std::uint64_t kRowsPerLook = 4096;

using Clock = std::chrono::steady_clock;

}  // namespace

std::string groupedNumber(std::uint64_t number) {
  std::string digits = std::to_string(number);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

bool Progress::terminal() { return isatty(STDERR_FILENO) == 1; }

Progress::Progress(std::string label, bool shown, std::chrono::milliseconds firstAfter)
    : label_(std::move(label)),
      nextLook_(shown ? kRowsPerLook : UINT64_MAX),
      start_(Clock::now()),
      nextWrite_(start_ + firstAfter) {}

Progress::~Progress() {
  if (written_) std::fputs("\r\033[K", stderr);
}

void Progress::look(std::uint64_t rows) {
  nextLook_ = rows + kRowsPerLook;
  Clock::time_point now = Clock::now();
  if (now < nextWrite_) return;
  nextWrite_ = now + std::chrono::milliseconds(500);
  double seconds = std::max(std::chrono::duration<double>(now - start_).count(), 0.001);
  auto rate = static_cast<std::uint64_t>(static_cast<double>(rows) / seconds);
  std::fprintf(stderr, "\r\033[Kzxload: %s: %s rows, %s rows/s", label_.c_str(),
               groupedNumber(rows).c_str(), groupedNumber(rate).c_str());
  std::fflush(stderr);
  written_ = true;
}
