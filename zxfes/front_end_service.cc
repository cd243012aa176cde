#include "zxfes/front_end_service.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "zxfes/environment_block.h"
#include "zxfes/first_line.h"
#include "zxfes/installation_paths.h"
#include "zxfes/launch_options.h"
#include "zxfes/win32_handles.h"

FrontEndService::FrontEndService() : ServiceBase(kServiceName) {}

namespace {

/// Registry views searched for the installation root, in this order: the
/// 32-bit view, where a 32-bit installer writes and the 32-bit service has
/// always read, then the 64-bit view. Both builds search the same way, so
/// they find the same root on the same machine. 32-bit Windows has one
/// view and ignores the flags.
constexpr REGSAM kRootViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

/// Reads "HomeDir" of the product key in registry `view` into `root`;
/// ERROR_FILE_NOT_FOUND when the key or the value is missing there.
LONG readRootInView(REGSAM view, std::string* root) {
  RegKey key;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0,
                              KEY_QUERY_VALUE | view, key.out());
  if (result != ERROR_SUCCESS) return result;
  // One byte more than the longest root with its end, so that a value
  // stored without an end still gets one.
  char text[kMaxRootChars + 2] = {};
  DWORD type = REG_NONE;
  DWORD size = kMaxRootChars + 1;
  result = RegQueryValueExA(key.get(), kHomeDirValue, nullptr, &type,
                            reinterpret_cast<BYTE*>(text), &size);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATATYPE;
  text[size < sizeof text ? size : sizeof text - 1] = '\0';
  if (std::strlen(text) > kMaxRootChars) return ERROR_MORE_DATA;
  *root = text;
  return ERROR_SUCCESS;
}

}  // namespace

bool FrontEndService::readInstallationRoot(DWORD* error) {
  LONG result = ERROR_FILE_NOT_FOUND;
  for (const REGSAM view : kRootViews) {
    result = readRootInView(view, &root_);
    if (result != ERROR_FILE_NOT_FOUND) break;
  }
  *error = static_cast<DWORD>(result);
  return result == ERROR_SUCCESS;
}

bool FrontEndService::readInstallationFile(const std::string& path,
                                           std::size_t maxChars,
                                           std::string* line, DWORD* error) {
  SetLastError(0);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = GetLastError() != 0 ? GetLastError() : ERROR_FILE_NOT_FOUND;
    return false;
  }
  *line = readFirstLine(file, maxChars);
  std::fclose(file);
  return true;
}

bool FrontEndService::initialize() {
  DWORD error = 0;
  if (!readInstallationRoot(&error)) {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventRootNotInRegistry, name_, kProductKey);
    SetLastError(error);
    return false;
  }
  reportEvent(EVENTLOG_INFORMATION_TYPE, kEventRootDirectory, name_, root_.c_str());

  const std::string batchPath = batchFilePath(root_);
  if (!readInstallationFile(batchPath, kMaxCommandChars, &command_, &error)) {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventFileNotFound, name_, batchPath.c_str());
    SetLastError(error);
    return false;
  }
  const std::string classPathPath = classPathFilePath(root_);
  if (!readInstallationFile(classPathPath, kMaxClassPathChars, &classPath_, &error)) {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventFileNotFound, name_, classPathPath.c_str());
    SetLastError(error);
    return false;
  }

  char windowsDirectory[MAX_PATH + 1] = {};
  const UINT length = GetWindowsDirectoryA(windowsDirectory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) windowsDirectory[0] = '\0';
  environment_ = buildEnvironmentBlock(classPath_, windowsDirectory);
  SetLastError(0);
  return true;
}

FrontEndService::Launch FrontEndService::launchFrontEnd() {
  const LaunchOptions options = chooseLaunchOptions(debugMode_, interactiveLaunch_);
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  std::vector<char> desktop(options.desktop, options.desktop + std::strlen(options.desktop) + 1);
  startup.lpDesktop = desktop.data();
  std::vector<char> title;
  if (options.title != nullptr) {
    title.assign(options.title, options.title + std::strlen(options.title) + 1);
    startup.lpTitle = title.data();
  }
  // The system may write into the command line it is given.
  std::vector<char> commandLine(command_.begin(), command_.end());
  commandLine.push_back('\0');
  std::vector<char> environment(environment_.begin(), environment_.end());

  PROCESS_INFORMATION process;
  std::memset(&process, 0, sizeof process);
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr,
                      options.inheritHandles ? TRUE : FALSE, 0, environment.data(),
                      nullptr, &startup, &process)) {
    return Launch::kFailed;
  }
  CloseHandle(process.hThread);
  if (!keepFrontEnd(process.hProcess)) {
    // The stop came while the process was being created: it must not
    // outlive the service.
    TerminateProcess(process.hProcess, 0);
    CloseHandle(process.hProcess);
    return Launch::kOvertakenByStop;
  }
  return Launch::kStarted;
}

void FrontEndService::run() {
  if (!debugMode_) {
    reportEvent(EVENTLOG_INFORMATION_TYPE, kEventCommand, name_, command_.c_str());
    reportEvent(EVENTLOG_INFORMATION_TYPE, kEventEnvironment, name_, environment_.c_str());
  }
  const Launch launch = launchFrontEnd();
  if (launch == Launch::kOvertakenByStop) return;
  if (launch == Launch::kFailed) {
    const LaunchOptions options = chooseLaunchOptions(debugMode_, interactiveLaunch_);
    reportEvent(EVENTLOG_ERROR_TYPE, kEventCannotCreateProcess, name_, options.launchFailure);
    return;
  }
  if (stopRequested()) return;
  setStatus(SERVICE_START_PENDING);
  setStatus(SERVICE_START_PENDING);
  reportEvent(EVENTLOG_INFORMATION_TYPE, kEventStarted);
  setStatus(SERVICE_RUNNING);
}

void FrontEndService::stop() {
  HANDLE process = static_cast<HANDLE>(beginStop());
  setStatus(SERVICE_STOP_PENDING);
  const bool ended = process != nullptr && TerminateProcess(process, 0);
  if (process != nullptr) CloseHandle(process);
  if (!ended) {
    const LaunchOptions options = chooseLaunchOptions(debugMode_, interactiveLaunch_);
    reportEvent(EVENTLOG_INFORMATION_TYPE, kEventStoppedWithError, name_, options.stopFailure);
    setStatus(SERVICE_STOP_PENDING);
  }
  setStatus(SERVICE_STOPPED);
  reportEvent(EVENTLOG_INFORMATION_TYPE, kEventStopped);
}

bool FrontEndService::userControl(DWORD /*code*/) { return true; }
