// Windows host of the bridge: domain logon and global groups through the
// network management functions, drive roots, the runtime's spawn function
// and the system, version, registry and memory queries.

#include <windows.h>
// After windows.h, which they build on.
#include <lm.h>
#include <process.h>

#include <cstdio>
#include <string>
#include <vector>

#include "hostbridge/command_line.h"
#include "hostbridge/host.h"

namespace host {
namespace {

constexpr DWORD kInteractiveLogon = 2;  // LOGON32_LOGON_INTERACTIVE
constexpr DWORD kDefaultProvider = 0;   // LOGON32_PROVIDER_DEFAULT
constexpr DWORD kDriveListLength = 1000;
constexpr DWORD kProductTypeLength = 64;

/// Java's UTF-16 units as Windows wide characters (the same 16-bit units).
const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

/// `text` in the ANSI code page, the encoding of the "A" functions.
std::string ansi(const wchar_t* text, int length) {
  if (length == 0) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0,
                                       nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), size, nullptr,
                      nullptr);
  return out;
}

/// Java text in the ANSI code page.
std::string ansi(const std::u16string& text) {
  return ansi(wide(text), static_cast<int>(text.size()));
}

/// Overwrites a secret held in memory before it is released.
void wipe(std::string* secret) {
  SecureZeroMemory(secret->data(), secret->size());
}

/// True when the domain accepts the credentials. The logon token only
/// proves that; it is closed at once.
bool logOn(const std::u16string& user, const std::u16string& password,
           const std::u16string& domain) {
  const std::string userName = ansi(user);
  const std::string domainName = ansi(domain);
  std::string secret = ansi(password);
  HANDLE token = nullptr;
  const BOOL accepted =
      LogonUserA(userName.c_str(), domainName.c_str(), secret.c_str(),
                 kInteractiveLogon, kDefaultProvider, &token);
  wipe(&secret);
  if (accepted && token != nullptr) CloseHandle(token);
  return accepted != FALSE;
}

/// Frees a buffer of the network management functions, if any.
void freeNetBuffer(void* buffer) {
  if (buffer != nullptr) NetApiBufferFree(buffer);
}

/// Reads the user's global groups from `controller` into `answer`.
void readGroups(const wchar_t* controller, const std::u16string& user,
                GroupList* answer) {
  BYTE* buffer = nullptr;
  DWORD read = 0;
  DWORD total = 0;
  const NET_API_STATUS status = NetUserGetGroups(
      controller, wide(user), 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total);
  // ERROR_MORE_DATA still delivers the entries read; the total shows the
  // rest exists.
  if (status != NERR_Success && status != ERROR_MORE_DATA) {
    std::fprintf(stderr, "A system error has occurred: %d\n",
                 static_cast<int>(status));
    freeNetBuffer(buffer);
    answer->status = GroupStatus::kGroupsFailed;
    return;
  }
  if (buffer != nullptr) {
    answer->status = GroupStatus::kGroups;
    const auto* groups = reinterpret_cast<const GROUP_USERS_INFO_0*>(buffer);
    std::fputs("\nGlobal group(s):\n", stderr);
    for (DWORD i = 0; i < read; ++i) {
      const wchar_t* name = groups[i].grui0_name;
      std::u16string text(reinterpret_cast<const char16_t*>(name),
                          name == nullptr ? 0 : wcslen(name));
      if (text.size() > kMaxGroupName) text.resize(kMaxGroupName);
      std::printf("\t -- %s", ansi(text).c_str());
      answer->names.push_back(std::move(text));
    }
  }
  if (read < total) {
    std::fprintf(stderr, "\nTotal entries: %d", static_cast<int>(total));
  }
  std::printf("\nEntries enumerated: %d\n",
              static_cast<int>(answer->names.size()));
  std::fflush(stdout);
  freeNetBuffer(buffer);
}

/// The file that runs for `program`, or an empty text when none exists.
std::u16string findProgram(const std::u16string& program) {
  for (const std::u16string& candidate :
       command_line::programCandidates(program)) {
    const DWORD attributes = GetFileAttributesW(wide(candidate));
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return candidate;
    }
  }
  return {};
}

/// The NT product type from the registry ("WinNT", "ServerNT", ...).
std::string productType() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                    "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return {};
  }
  // One byte beyond the value's room keeps a value without its own
  // terminator terminated.
  char value[kProductTypeLength + 1] = {};
  DWORD size = kProductTypeLength;
  const LONG status = RegQueryValueExA(key, "ProductType", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? std::string(value) : std::string();
}

/// Version facts, from the extended structure where the system accepts it.
system_report::OperatingSystem osFacts() {
  system_report::OperatingSystem os;
  OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  auto* basic = reinterpret_cast<OSVERSIONINFOA*>(&version);
  if (!GetVersionExA(basic)) {
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(basic)) return os;
  }
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    os.family = system_report::OsFamily::kWindows9x;
    return os;
  }
  os.family = system_report::OsFamily::kWindowsNt;
  os.major = version.dwMajorVersion;
  os.minor = version.dwMinorVersion;
  version.szCSDVersion[sizeof version.szCSDVersion - 1] = '\0';
  os.servicePack = version.szCSDVersion;
  os.build = version.dwBuildNumber;
  os.productType = productType();
  return os;
}

}  // namespace

GroupList groupList(const std::u16string& user, const std::u16string& password,
                    const std::u16string& domain) {
  GroupList answer;
  if (!logOn(user, password, domain)) return answer;

  wchar_t* controller = nullptr;
  const NET_API_STATUS status = NetGetDCName(
      nullptr, wide(domain), reinterpret_cast<BYTE**>(&controller));
  if (status != NERR_Success) {
    std::fprintf(stderr, "A system error has occurred: %d\n",
                 static_cast<int>(status));
    freeNetBuffer(controller);
    answer.status = GroupStatus::kNoController;
    return answer;
  }
  std::printf("Primary Domain Controller is %S\n", controller);
  readGroups(controller, user, &answer);
  freeNetBuffer(controller);
  return answer;
}

std::vector<std::u16string> listRoots() {
  std::vector<std::u16string> roots;
  char drives[kDriveListLength];
  const DWORD length = GetLogicalDriveStringsA(kDriveListLength, drives);
  // Zero means failure; a length beyond the buffer means it did not fit
  // and nothing was written.
  if (length == 0 || length >= kDriveListLength) return roots;
  for (const char* root = drives; *root != '\0'; root += strlen(root) + 1) {
    if (GetDriveTypeA(root) == DRIVE_REMOVABLE) continue;
    roots.emplace_back(root, root + strlen(root));
  }
  return roots;
}

int runAndWait(const std::vector<std::u16string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) return -1;
  const std::u16string program = findProgram(arguments[0]);
  if (program.empty()) return -1;
  // The runtime joins the arguments with blanks; quoting each one makes the
  // child's parser give back exactly these arguments.
  std::vector<std::u16string> quoted;
  for (const std::u16string& argument : arguments) {
    quoted.push_back(command_line::quoteArgument(argument));
  }
  std::vector<const wchar_t*> argv;
  for (const std::u16string& argument : quoted) argv.push_back(wide(argument));
  argv.push_back(nullptr);
  const intptr_t code = _wspawnv(_P_WAIT, wide(program), argv.data());
  return code == -1 ? -1 : static_cast<int>(code);
}

std::string consoleText(const std::u16string& text) { return ansi(text); }

std::u16string systemText(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size =
      MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), size);
  return std::u16string(out.begin(), out.end());
}

system_report::Facts systemFacts() {
  system_report::Facts facts;
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  // An x64 processor is the same x86 family to the report: the 64-bit
  // library describes the machine as the 32-bit one does.
  facts.processor.architecture =
      system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64
          ? PROCESSOR_ARCHITECTURE_INTEL
          : system.wProcessorArchitecture;
  facts.processor.level = system.wProcessorLevel;
  facts.processor.revision = system.wProcessorRevision;
  facts.processor.count = system.dwNumberOfProcessors;
  facts.os = osFacts();
  // The extended query: the plain one caps the size at what a 32-bit
  // process can address.
  MEMORYSTATUSEX memory;
  memory.dwLength = sizeof memory;
  if (GlobalMemoryStatusEx(&memory)) facts.totalMemoryBytes = memory.ullTotalPhys;
  return facts;
}

}  // namespace host
