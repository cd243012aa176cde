#include "zxsort/memory_check.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Reads decimal digits from `*text` into `value`; false when there are none.
bool readDigits(const char** text, std::uint64_t* value) {
  const char* p = *text;
  std::uint64_t number = 0;
  int digits = 0;
  while (*p >= '0' && *p <= '9') {
    if (digits++ >= 19) return false;
    number = number * 10 + static_cast<std::uint64_t>(*p - '0');
    ++p;
  }
  if (digits == 0) return false;
  *value = number;
  *text = p;
  return true;
}

}  // namespace

bool parseFakeMemory(const char* text, platform::MemoryStatus* status) {
  if (text == nullptr) return false;
  std::uint64_t total = 0;
  std::uint64_t available = 0;
  if (!readDigits(&text, &total) || *text++ != ',') return false;
  if (!readDigits(&text, &available) || *text != '\0') return false;
  if (total == 0 || available > total) return false;
  status->total = total;
  status->available = available;
  return true;
}

bool readMemoryStatus(platform::MemoryStatus* status) {
  if (parseFakeMemory(std::getenv("ZXSORT_FAKE_MEMORY"), status)) return true;
  return platform::physicalMemory(status);
}

float percentUsed(const platform::MemoryStatus& status) {
  if (status.total == 0) return 0.0f;
  float used = static_cast<float>(status.total - status.available);
  return used / static_cast<float>(status.total) * 100.0f;
}

bool memoryNearlyFull() {
  platform::MemoryStatus status;
  if (!readMemoryStatus(&status)) return false;
  return percentUsed(status) >= 95.0f;
}

std::string memoryStatusMessage(const platform::MemoryStatus& status) {
  char message[256];
  std::snprintf(message, sizeof message,
                "physical mem: %llu bytes, free physical mem: %llu bytes, "
                "percentage used: %.2f%%:",
                static_cast<unsigned long long>(status.total),
                static_cast<unsigned long long>(status.available),
                static_cast<double>(percentUsed(status)));
  return message;
}

void logMemoryStatus(const RunLog& log) {
  platform::MemoryStatus status;
  if (!readMemoryStatus(&status)) status = platform::MemoryStatus{};
  log.logLine(2, memoryStatusMessage(status));
}
