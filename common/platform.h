#ifndef COMMON_PLATFORM_H_
#define COMMON_PLATFORM_H_

#include <cstdint>
#include <ctime>

/// The narrow seam between the portable code and the operating system.
/// Each function has one implementation per platform (platform-posix.cc,
/// platform-win32.cc).
namespace platform {

/// Converts an instant (seconds since 1970, 64 bits on every build, also
/// where the C library's time_t has 32) to the local calendar time of this
/// machine; all fields zero when the platform cannot convert it.
std::tm localTime(std::int64_t instant);

/// Converts a local calendar time to an instant, -1 when it cannot; whether
/// daylight saving applies is decided by the platform (tm_isdst is set to
/// -1 first).
std::int64_t localToInstant(std::tm local);

/// Converts a calendar time taken as UTC to an instant, -1 when it cannot.
std::int64_t utcToInstant(std::tm utc);

/// The machine's standard-time offset from UTC in seconds, positive west
/// of Greenwich.
long standardOffsetWest();

/// Makes the C library read the time-zone setting again (after a test
/// changed it).
void reloadTimeZone();

/// Sets the time-zone setting of this process (the TZ variable; an empty
/// zone removes it) and makes the C library read it again.
void setTimeZone(const char* zone);

/// Milliseconds since the system started, wrapping at 2^32.
std::uint32_t tickCount();

/// Physical memory of the machine in bytes.
struct MemoryStatus {
  std::uint64_t total = 0;
  std::uint64_t available = 0;
};

/// Reads the machine's physical memory; false when it cannot be read.
bool physicalMemory(MemoryStatus* status);

/// Restarts this program once, with the same arguments, with the C
/// library's allocator set for a large run: freed memory is kept for reuse
/// instead of being handed back and faulted in again, and large blocks are
/// backed by huge pages. Does nothing where the allocator's settings are
/// given in the environment already, under a memory checker or sanitizer,
/// or on platforms without such settings; returns when it did not restart.
void tuneAllocatorForLargeRun(char** argv);

}  // namespace platform

#endif  // COMMON_PLATFORM_H_
