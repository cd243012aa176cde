#include "zxfes/service_base.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "zxfes/installation_paths.h"
#include "zxfes/launch_options.h"
#include "zxfes/sibling_console.h"
#include "zxfes/start_parameters.h"
#include "zxfes/win32_handles.h"

ServiceBase* ServiceBase::instance = nullptr;

namespace {

// How long the program waits, after the manager let it go, for the service
// thread to leave `initialize` or `run`, and for a stop under way to finish
// its reports, before the object goes away.
constexpr DWORD kEntryWaitMs = 30000;

// Query-configuration access to a service.
constexpr DWORD kQueryConfigAccess = SERVICE_QUERY_CONFIG;

// Access right to delete a service.
constexpr DWORD kDeleteAccess = DELETE;

// The service type: own process, interacting with the desktop.
constexpr DWORD kServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;

}  // namespace

ServiceBase::ServiceBase(const char* name) {
  std::snprintf(name_, sizeof name_, "%s", name);
  std::memset(&status_, 0, sizeof status_);
  status_.dwServiceType = kServiceType;
  status_.dwCurrentState = SERVICE_STOPPED;
  status_.dwControlsAccepted = SERVICE_ACCEPT_STOP;
  InitializeCriticalSection(&statusLock_);
  InitializeCriticalSection(&eventLock_);
  entryDone_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  stopDone_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  instance = this;
}

ServiceBase::~ServiceBase() {
  waitForServiceThreads();
  if (HANDLE process = static_cast<HANDLE>(guard_.release())) CloseHandle(process);
  if (eventSource_ != nullptr) DeregisterEventSource(eventSource_);
  if (entryDone_ != nullptr) CloseHandle(entryDone_);
  if (stopDone_ != nullptr) CloseHandle(stopDone_);
  DeleteCriticalSection(&eventLock_);
  DeleteCriticalSection(&statusLock_);
  if (instance == this) instance = nullptr;
}

void ServiceBase::run() {}

bool ServiceBase::initialize() { return true; }

void ServiceBase::stop() {
  if (HANDLE process = static_cast<HANDLE>(beginStop())) CloseHandle(process);
  setStatus(SERVICE_STOPPED);
}

void ServiceBase::interrogate() {
  reportEvent(EVENTLOG_INFORMATION_TYPE, kEventUnsupportedRequest);
}

void ServiceBase::pause() {
  reportEvent(EVENTLOG_INFORMATION_TYPE, kEventUnsupportedRequest);
}

void ServiceBase::resume() {
  reportEvent(EVENTLOG_INFORMATION_TYPE, kEventUnsupportedRequest);
}

void ServiceBase::shutdown() {}

bool ServiceBase::userControl(DWORD /*code*/) {
  reportEvent(EVENTLOG_INFORMATION_TYPE, kEventUnsupportedRequest);
  return false;
}

void ServiceBase::reportEvent(WORD type, DWORD id, const char* first,
                              const char* second) {
  // Reporting must not disturb the last-error code its callers pass on.
  const DWORD lastError = GetLastError();
  const char* strings[2];
  WORD count = 0;
  if (first != nullptr) strings[count++] = first;
  if (second != nullptr) strings[count++] = second;
  EnterCriticalSection(&eventLock_);
  if (eventSource_ == nullptr) eventSource_ = RegisterEventSourceA(nullptr, name_);
  if (eventSource_ != nullptr) {
    ReportEventA(eventSource_, type, 0, id, nullptr, count, 0,
                 count > 0 ? strings : nullptr, nullptr);
  }
  LeaveCriticalSection(&eventLock_);
  SetLastError(lastError);
}

void ServiceBase::reportEvent(WORD type, DWORD id) {
  reportEvent(type, id, name_, nullptr);
}

bool ServiceBase::isInstalled() {
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return false;
  ScHandle service(OpenServiceA(manager.get(), name_, kQueryConfigAccess));
  return static_cast<bool>(service);
}

namespace {

// Registers `programPath` as the message file of the event source `name`;
// failures are ignored (the reports then show no texts).
void registerEventSource(const char* name, const char* programPath) {
  RegKey key;
  const std::string keyPath = eventSourceKey(name);
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key.get(), "EventMessageFile", 0, REG_EXPAND_SZ,
                 reinterpret_cast<const BYTE*>(programPath),
                 static_cast<DWORD>(std::strlen(programPath) + 1));
  const DWORD typesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE |
                               EVENTLOG_INFORMATION_TYPE;
  RegSetValueExA(key.get(), "TypesSupported", 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&typesSupported),
                 sizeof typesSupported);
}

}  // namespace

void ServiceBase::install() {
  if (isInstalled()) remove();
  char programPath[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, programPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    // A cut path would name another file: better no service than a wrong one.
    reportEvent(EVENTLOG_ERROR_TYPE, kEventInstallFailed, name_, "cannot create service");
    return;
  }
  registerEventSource(name_, programPath);
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventInstallFailed, name_, "cannot open scmanage");
    return;
  }
  const std::string binaryPath = serviceBinaryPath(programPath);
  ScHandle service(CreateServiceA(manager.get(), name_, name_, SERVICE_ALL_ACCESS,
                                  kServiceType, SERVICE_AUTO_START,
                                  SERVICE_ERROR_IGNORE, binaryPath.c_str(), nullptr,
                                  nullptr, nullptr, nullptr, nullptr));
  if (service) {
    reportEvent(EVENTLOG_INFORMATION_TYPE, kEventInstalled);
  } else {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventInstallFailed, name_, "cannot create service");
  }
}

void ServiceBase::remove() {
  closeSiblingConsole();
  if (!isInstalled()) {
    std::printf("%s doesnot exists\n", name_);
    std::fflush(stdout);
    return;
  }
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventRemoveFailed);
    return;
  }
  ScHandle service(OpenServiceA(manager.get(), name_, kDeleteAccess));
  if (!service) return;
  if (DeleteService(service.get())) {
    reportEvent(EVENTLOG_INFORMATION_TYPE, kEventRemoved);
  } else {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventRemoveFailed);
  }
}

void ServiceBase::closeSiblingConsole() {
  HWND window = findFirstSiblingWindow(
      [](const char* title) { return FindWindowA(nullptr, title); });
  if (window == nullptr) return;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  enablePrivilege("SeDebugPrivilege");
  KernelHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
  if (process) TerminateProcess(process.get(), 0);
}

void ServiceBase::enablePrivilege(const char* name) {
  KernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.out())) {
    return;
  }
  TOKEN_PRIVILEGES privileges;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) return;
  AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

bool ServiceBase::openOwnService(ScHandle& manager, ScHandle& service) {
  manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventNoManager, name_,
                "could not open service manage with all access");
    return false;
  }
  service.reset(OpenServiceA(manager.get(), name_, SERVICE_ALL_ACCESS));
  if (!service) {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventNoServiceHandle, name_,
                "cannot get service handle");
  }
  return true;
}

void ServiceBase::stopAndRemove() {
  {
    ScHandle manager;
    ScHandle service;
    if (!openOwnService(manager, service)) return;
    SERVICE_STATUS status;
    if (!service) {
      // Nothing to stop; the removal below still runs.
    } else if (!QueryServiceStatus(service.get(), &status)) {
      reportEvent(EVENTLOG_ERROR_TYPE, kEventNoStatus);
    } else if (status.dwCurrentState == SERVICE_RUNNING &&
               !ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
      reportEvent(EVENTLOG_ERROR_TYPE, kEventStoppedWithError, name_,
                  "service not stopped");
    }
  }
  remove();
}

void ServiceBase::startService() {
  ScHandle manager;
  ScHandle service;
  if (!openOwnService(manager, service) || !service) return;
  SERVICE_STATUS status;
  if (!QueryServiceStatus(service.get(), &status)) {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventNoStatus);
    return;
  }
  if (status.dwCurrentState != SERVICE_RUNNING &&
      StartServiceA(service.get(), 0, nullptr)) {
    reportEvent(EVENTLOG_INFORMATION_TYPE, kEventStarted);
  }
}

DWORD ServiceBase::runAsService() {
  SERVICE_TABLE_ENTRYA table[] = {{name_, &ServiceBase::serviceMain},
                                  {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherA(table)) {
    char reason[256];
    std::snprintf(reason, sizeof reason, "Failed to execService error code %d",
                  static_cast<int>(GetLastError()));
    reportEvent(EVENTLOG_ERROR_TYPE, kEventRootNotInRegistry, "Zentrix", reason);
    startService();
    return 0;
  }
  // The manager lets the dispatcher go as soon as the status says stopped;
  // the stop that said so still has its event to report.
  waitForServiceThreads();
  EnterCriticalSection(&statusLock_);
  const DWORD exitCode = status_.dwWin32ExitCode;
  LeaveCriticalSection(&statusLock_);
  return exitCode;
}

void ServiceBase::setStatus(DWORD state) {
  EnterCriticalSection(&statusLock_);
  if (guard_.admits(state)) {
    status_.dwCurrentState = state;
    if (statusHandle_ != nullptr) SetServiceStatus(statusHandle_, &status_);
  }
  LeaveCriticalSection(&statusLock_);
}

void* ServiceBase::beginStop() {
  EnterCriticalSection(&statusLock_);
  void* process = guard_.beginStop();
  LeaveCriticalSection(&statusLock_);
  return process;
}

bool ServiceBase::keepFrontEnd(void* process) { return guard_.keep(process); }

bool ServiceBase::stopRequested() const { return guard_.stopping(); }

void WINAPI ServiceBase::serviceMain(DWORD argc, LPSTR* argv) {
  if (instance != nullptr) instance->serviceEntry(argc, argv);
}

void WINAPI ServiceBase::controlHandler(DWORD code) {
  if (instance != nullptr) instance->handleControl(code);
}

void ServiceBase::serviceEntry(DWORD argc, LPSTR* argv) {
  EnterCriticalSection(&statusLock_);
  entryStarted_ = true;
  LeaveCriticalSection(&statusLock_);

  const StartFlags flags = parseStartParameters(argc, argv);
  debugMode_ = flags.debugMode;
  interactiveLaunch_ = flags.interactiveLaunch;

  EnterCriticalSection(&statusLock_);
  status_.dwCurrentState = SERVICE_START_PENDING;
  LeaveCriticalSection(&statusLock_);

  SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerA(name_, &ServiceBase::controlHandler);
  if (handle == nullptr) {
    reportEvent(EVENTLOG_ERROR_TYPE, kEventNoControlHandler);
  } else {
    EnterCriticalSection(&statusLock_);
    statusHandle_ = handle;
    LeaveCriticalSection(&statusLock_);
    setStatus(SERVICE_START_PENDING);
    const bool initialized = initialize();
    setExitCode(GetLastError());
    if (!initialized) {
      setStatus(SERVICE_STOPPED);
      reportEvent(EVENTLOG_ERROR_TYPE, kEventInitFailed);
    } else if (!stopRequested()) {
      setStatus(SERVICE_RUNNING);
      setExitCode(0);
      run();
    }
  }
  SetEvent(entryDone_);
}

void ServiceBase::setExitCode(DWORD code) {
  EnterCriticalSection(&statusLock_);
  status_.dwWin32ExitCode = code;
  status_.dwServiceSpecificExitCode = 0;
  status_.dwCheckPoint = 0;
  status_.dwWaitHint = 0;
  LeaveCriticalSection(&statusLock_);
}

void ServiceBase::handleControl(DWORD code) {
  switch (code) {
    case SERVICE_CONTROL_STOP:
      // From here on the service thread reports no start-up states.
      EnterCriticalSection(&statusLock_);
      guard_.requestStop();
      stopStarted_ = true;
      LeaveCriticalSection(&statusLock_);
      setStatus(SERVICE_STOP_PENDING);
      stop();
      SetEvent(stopDone_);
      break;
    case SERVICE_CONTROL_PAUSE:
      pause();
      break;
    case SERVICE_CONTROL_CONTINUE:
      resume();
      break;
    case SERVICE_CONTROL_INTERROGATE:
      interrogate();
      break;
    case SERVICE_CONTROL_SHUTDOWN:
      shutdown();
      break;
    default:
      if (code >= 128) userControl(code);
      break;
  }
}

void ServiceBase::waitForServiceThreads() {
  EnterCriticalSection(&statusLock_);
  const bool entered = entryStarted_;
  const bool stopping = stopStarted_;
  LeaveCriticalSection(&statusLock_);
  if (entered && entryDone_ != nullptr) WaitForSingleObject(entryDone_, kEntryWaitMs);
  if (stopping && stopDone_ != nullptr) WaitForSingleObject(stopDone_, kEntryWaitMs);
}
