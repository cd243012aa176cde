#ifndef HOSTBRIDGE_SYSTEM_REPORT_H_
#define HOSTBRIDGE_SYSTEM_REPORT_H_

#include <array>
#include <cstdint>
#include <string>

/// The six-line hardware and operating-system report, built from plain
/// facts that the host gathers.
namespace system_report {

/// Text of every report line that nothing more specific fills.
inline constexpr char kPlaceholder[] = "#Harware Infomation";

/// Processor facts in the Windows system-information shape.
struct Processor {
  std::uint16_t architecture = 0;  ///< 0 for Intel x86, other numbers else.
  std::uint16_t level = 0;         ///< Processor family.
  std::uint16_t revision = 0;      ///< Model in the high byte, stepping low.
  std::uint32_t count = 0;         ///< Number of processors.
};

/// Which kind of operating system the version facts describe.
enum class OsFamily { kUnknown, kWindowsNt, kWindows9x, kPosix };

/// Operating-system version facts.
struct OperatingSystem {
  OsFamily family = OsFamily::kUnknown;
  std::uint32_t major = 0;  ///< Major version number.
  std::uint32_t minor = 0;  ///< Minor version number.
  std::string servicePack;  ///< Service-pack text, or the POSIX release.
  std::uint32_t build = 0;  ///< Build number (its low 16 bits are shown).
  std::string productType;  ///< Windows NT registry product type.
  std::string name;         ///< POSIX system name, such as "Linux".
};

/// Everything the report is made of.
struct Facts {
  Processor processor;
  OperatingSystem os;
  std::uint64_t totalMemoryBytes = 0;  ///< Total physical memory.
};

/// The six report lines.
using Report = std::array<std::string, 6>;

/// Builds the report: placeholder, processor, processor count, OS type,
/// OS version and memory (the memory line moves up to element 4 on
/// Windows 9x; an unknown OS leaves elements 4 and 5 as placeholders).
Report buildReport(const Facts& facts);

/// The processor line, "#Processor: ..." in one of four shapes.
std::string processorLine(const Processor& processor);

/// The operating-system text that fills "#OS Type: %s".
std::string osTypeText(const OperatingSystem& os);

/// "#Total Physical Memory: %d K" with the bytes in whole kilobytes
/// (capped at the largest 32-bit count).
std::string memoryLine(std::uint64_t totalBytes);

}  // namespace system_report

#endif  // HOSTBRIDGE_SYSTEM_REPORT_H_
