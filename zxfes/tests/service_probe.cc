// An operator's service tool for the end-to-end suite:
//   probe state NAME              prints "state=S exit=E"
//   probe wait NAME STATE MS      waits for state S, prints it; 1 on timeout
//   probe start NAME [PARAM...]   starts the service with start parameters
//   probe control NAME CODE       sends a control code
//   probe config NAME             prints the service's configuration
//   probe alive PID               prints "alive" or "gone"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

SC_HANDLE openService(const char* name, DWORD access) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return nullptr;
  SC_HANDLE service = OpenServiceA(manager, name, access);
  CloseServiceHandle(manager);
  return service;
}

int fail(const char* what) {
  std::printf("%s failed %lu\n", what, GetLastError());
  return 1;
}

int queryState(const char* name, SERVICE_STATUS* status) {
  SC_HANDLE service = openService(name, SERVICE_QUERY_STATUS);
  if (service == nullptr) return -1;
  const BOOL ok = QueryServiceStatus(service, status);
  CloseServiceHandle(service);
  return ok ? static_cast<int>(status->dwCurrentState) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const char* command = argv[1];
  const char* name = argv[2];
  if (std::strcmp(command, "alive") == 0) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE,
                                 std::strtoul(name, nullptr, 10));
    DWORD code = 0;
    const bool alive = process != nullptr && GetExitCodeProcess(process, &code) &&
                       code == STILL_ACTIVE;
    if (process != nullptr) CloseHandle(process);
    std::printf(alive ? "alive\n" : "gone\n");
    return 0;
  }
  if (std::strcmp(command, "state") == 0 || std::strcmp(command, "wait") == 0) {
    const bool wait = command[0] == 'w';
    const int wanted = wait && argc > 3 ? std::atoi(argv[3]) : 0;
    const DWORD limit = wait && argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 0;
    const DWORD start = GetTickCount();
    SERVICE_STATUS status = {};
    int state = queryState(name, &status);
    while (wait && state != wanted && GetTickCount() - start < limit) {
      Sleep(100);
      state = queryState(name, &status);
    }
    if (state < 0) return fail("query");
    std::printf("state=%d exit=%lu\n", state, status.dwWin32ExitCode);
    return wait && state != wanted ? 1 : 0;
  }
  if (std::strcmp(command, "start") == 0) {
    SC_HANDLE service = openService(name, SERVICE_START);
    if (service == nullptr) return fail("open");
    std::vector<const char*> parameters(argv + 3, argv + argc);
    const BOOL ok = StartServiceA(service, static_cast<DWORD>(parameters.size()),
                                  parameters.empty() ? nullptr : parameters.data());
    CloseServiceHandle(service);
    return ok ? 0 : fail("start");
  }
  if (std::strcmp(command, "control") == 0 && argc > 3) {
    SC_HANDLE service = openService(name, SERVICE_ALL_ACCESS);
    if (service == nullptr) return fail("open");
    SERVICE_STATUS status = {};
    const BOOL ok = ControlService(service, std::strtoul(argv[3], nullptr, 10), &status);
    CloseServiceHandle(service);
    return ok ? 0 : fail("control");
  }
  if (std::strcmp(command, "config") == 0) {
    SC_HANDLE service = openService(name, SERVICE_QUERY_CONFIG);
    if (service == nullptr) return fail("open");
    std::vector<char> buffer(8192);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    DWORD needed = 0;
    const BOOL ok = QueryServiceConfigA(service, config, static_cast<DWORD>(buffer.size()),
                                        &needed);
    CloseServiceHandle(service);
    if (!ok) return fail("config");
    std::printf("type=0x%lx\nstart=%lu\nerror=%lu\npath=%s\ndisplay=%s\n",
                config->dwServiceType, config->dwStartType, config->dwErrorControl,
                config->lpBinaryPathName, config->lpDisplayName);
    return 0;
  }
  return 2;
}
