#include "common/platform.h"

#include <windows.h>

#include <stdlib.h>
#include <time.h>

#include <string>

namespace platform {

std::tm localTime(std::time_t instant) {
  std::tm result{};
  if (localtime_s(&result, &instant) != 0) result = std::tm{};
  return result;
}

std::time_t localToInstant(std::tm local) {
  local.tm_isdst = -1;
  return mktime(&local);
}

std::time_t utcToInstant(std::tm utc) { return _mkgmtime(&utc); }

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

}  // namespace platform
