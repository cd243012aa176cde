#ifndef ZXSORT_MEMORY_CHECK_H_
#define ZXSORT_MEMORY_CHECK_H_

#include <string>

#include "common/platform.h"
#include "common/run_log.h"

/// Reads "TOTAL,AVAILABLE" (bytes) as a memory status; false when malformed
/// or when TOTAL is 0 or below AVAILABLE.
bool parseFakeMemory(const char* text, platform::MemoryStatus* status);

/// Reads the machine's physical memory; the environment variable
/// ZXSORT_FAKE_MEMORY="TOTAL,AVAILABLE" replaces the reading (a test hook).
bool readMemoryStatus(platform::MemoryStatus* status);

/// Percentage of physical memory in use, in single precision; 0 when the
/// total is unknown.
float percentUsed(const platform::MemoryStatus& status);

/// True when 95 percent or more of physical memory is in use.
bool memoryNearlyFull();

/// The memory status message of the run log.
std::string memoryStatusMessage(const platform::MemoryStatus& status);

/// Writes the memory status line at level 2.
void logMemoryStatus(const RunLog& log);

#endif  // ZXSORT_MEMORY_CHECK_H_
