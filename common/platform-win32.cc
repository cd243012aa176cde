#include "common/platform.h"

#include <windows.h>

#include <stdlib.h>
#include <time.h>

#include <string>

namespace platform {

// The 64-bit forms: a 32-bit build's time_t ends in 2038.
std::tm localTime(std::int64_t instant) {
  std::tm result{};
  const __time64_t seconds = instant;
  if (_localtime64_s(&result, &seconds) != 0) result = std::tm{};
  return result;
}

std::int64_t localToInstant(std::tm local) {
  local.tm_isdst = -1;
  return _mktime64(&local);
}

std::int64_t utcToInstant(std::tm utc) { return _mkgmtime64(&utc); }

long standardOffsetWest() {
  _tzset();
  return _timezone;
}

void reloadTimeZone() { _tzset(); }

void setTimeZone(const char* zone) {
  // "TZ=" with nothing after it removes the variable.
  std::string setting = "TZ=";
  if (zone != nullptr) setting += zone;
  _putenv(setting.c_str());
  _tzset();
}

std::uint32_t tickCount() { return GetTickCount(); }

bool physicalMemory(MemoryStatus* status) {
  // The extended query: the plain one caps its sizes at what a 32-bit
  // process can address, which misstates machines with more memory.
  MEMORYSTATUSEX memory;
  memory.dwLength = sizeof memory;
  if (!GlobalMemoryStatusEx(&memory)) return false;
  status->total = memory.ullTotalPhys;
  status->available = memory.ullAvailPhys;
  return memory.ullTotalPhys != 0;
}

void tuneAllocatorForLargeRun(char**) {}

}  // namespace platform
