#include "common/platform.h"

#include <sys/sysinfo.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

static_assert(sizeof(time_t) == 8, "instants past 2038 need a 64-bit time_t");

std::tm localTime(std::int64_t instant) {
  std::tm result{};
  const time_t seconds = instant;
  if (localtime_r(&seconds, &result) == nullptr) result = std::tm{};
  return result;
}

std::int64_t localToInstant(std::tm local) {
  local.tm_isdst = -1;
  return mktime(&local);
}

std::int64_t utcToInstant(std::tm utc) { return timegm(&utc); }

long standardOffsetWest() {
  tzset();
  return timezone;
}

void reloadTimeZone() { tzset(); }

void setTimeZone(const char* zone) {
  if (zone == nullptr || *zone == '\0') {
    unsetenv("TZ");
  } else {
    setenv("TZ", zone, 1);
  }
  tzset();
}

std::uint32_t tickCount() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint32_t>(now.tv_sec * 1000u + now.tv_nsec / 1000000);
}

namespace {

// Reads one "Name:   N kB" entry of /proc/meminfo, in bytes.
bool meminfoEntry(const char* name, std::uint64_t* bytes) {
  std::FILE* file = std::fopen("/proc/meminfo", "r");
  if (file == nullptr) return false;
  char line[256];
  bool found = false;
  std::size_t nameLength = std::strlen(name);
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, name, nameLength) == 0 && line[nameLength] == ':') {
      unsigned long long kib = 0;
      if (std::sscanf(line + nameLength + 1, "%llu", &kib) == 1) {
        *bytes = kib * 1024ull;
        found = true;
      }
      break;
    }
  }
  std::fclose(file);
  return found;
}

}  // namespace

bool physicalMemory(MemoryStatus* status) {
  if (meminfoEntry("MemTotal", &status->total) &&
      meminfoEntry("MemAvailable", &status->available)) {
    return true;
  }
  struct sysinfo info;
  if (sysinfo(&info) != 0) return false;
  status->total = static_cast<std::uint64_t>(info.totalram) * info.mem_unit;
  status->available = static_cast<std::uint64_t>(info.freeram) * info.mem_unit;
  return true;
}

void tuneAllocatorForLargeRun(char** argv) {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
  return;
#endif
#endif
  if (std::getenv("GLIBC_TUNABLES") != nullptr) return;  // the user's, or restarted already
  // Under valgrind the restarted program would run outside the tool.
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && std::strstr(preload, "vgpreload") != nullptr) return;
  // Blocks up to 32 MiB come from the heap, which is trimmed only past
  // 1 GiB free; the heap and larger blocks are offered huge pages (where
  // the kernel gives them on request).
  setenv("GLIBC_TUNABLES",
         "glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=1073741824:"
         "glibc.malloc.hugetlb=1",
         1);
  execv("/proc/self/exe", argv);
  unsetenv("GLIBC_TUNABLES");  // not restarted: run as started
#else
  (void)argv;
#endif
}

}  // namespace platform
