#include "hostbridge/system_report.h"

#include <cstdarg>
#include <cstdio>

namespace system_report {
namespace {

constexpr std::uint16_t kIntelArchitecture = 0;

/// printf into a string; report lines stay well under 256 characters and
/// anything longer is cut there.
__attribute__((format(printf, 1, 2))) std::string format(const char* pattern,
                                                         ...) {
  char buffer[256];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return buffer;
}

/// Compares two ASCII texts without regard to case.
bool equalsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    const auto lowerA = a[i] >= 'A' && a[i] <= 'Z' ? a[i] + 32 : a[i];
    const auto lowerB = b[i] >= 'A' && b[i] <= 'Z' ? b[i] + 32 : b[i];
    if (lowerA != lowerB) return false;
  }
  return i == a.size() && b[i] == '\0';
}

/// The word that the NT product type adds to the OS type text.
const char* productWord(const std::string& productType) {
  if (equalsIgnoringCase(productType, "WINNT")) return "Workstation ";
  if (equalsIgnoringCase(productType, "SERVERNT")) return "Server ";
  return "";
}

/// "#OS Version: ..." for NT-platform and POSIX systems.
std::string versionLine(const OperatingSystem& os) {
  return format("#OS Version: %d.%d %s (Build %d)", static_cast<int>(os.major),
                static_cast<int>(os.minor), os.servicePack.c_str(),
                static_cast<int>(os.build & 0xFFFF));
}

}  // namespace

std::string processorLine(const Processor& p) {
  if (p.architecture != kIntelArchitecture) {
    return format("#Processor: %s %u %d %u", "Non-Intel",
                  static_cast<unsigned>(p.architecture),
                  static_cast<int>(p.level), static_cast<unsigned>(p.revision));
  }
  const unsigned model = p.revision >> 8;
  const unsigned stepping = p.revision & 0xFF;
  switch (p.level) {
    case 5:
      return format("#Processor: %s %d model %x stepping %x", "Intel Pentium",
                    5, model, stepping);
    case 6:
      return format("#Processor: %s %d model %x stepping %x",
                    "Intel Pentium II, III or IV", 6, model, stepping);
    default:
      return format("#Processor: %s %d %x", "Unknown Intel",
                    static_cast<int>(p.level),
                    static_cast<unsigned>(p.revision));
  }
}

std::string osTypeText(const OperatingSystem& os) {
  switch (os.family) {
    case OsFamily::kWindowsNt: {
      std::string text;
      if (os.major <= 4) {
        text = "Microsoft Windows NT ";
      } else if (os.major == 5) {
        text = "Microsoft Windows 2000 ";
      } else {
        text = format("Microsoft Windows %u.%u ", os.major, os.minor);
      }
      return text + productWord(os.productType);
    }
    case OsFamily::kWindows9x:
      return "Win98 or Win95";
    case OsFamily::kPosix:
      return os.name + " ";
    case OsFamily::kUnknown:
      break;
  }
  return "Unknown";
}

std::string memoryLine(std::uint64_t totalBytes) {
  std::uint64_t kilobytes = totalBytes / 1024;
  if (kilobytes > 0x7FFFFFFF) kilobytes = 0x7FFFFFFF;
  return format("#Total Physical Memory: %d K", static_cast<int>(kilobytes));
}

Report buildReport(const Facts& facts) {
  Report report;
  report.fill(kPlaceholder);
  report[1] = processorLine(facts.processor);
  report[2] = format("#Number of Processors: %u",
                     static_cast<unsigned>(facts.processor.count));
  report[3] = format("#OS Type: %s", osTypeText(facts.os).c_str());
  switch (facts.os.family) {
    case OsFamily::kWindowsNt:
    case OsFamily::kPosix:
      report[4] = versionLine(facts.os);
      report[5] = memoryLine(facts.totalMemoryBytes);
      break;
    case OsFamily::kWindows9x:
      report[4] = memoryLine(facts.totalMemoryBytes);
      break;
    case OsFamily::kUnknown:
      break;
  }
  return report;
}

}  // namespace system_report
