#ifndef ZXFES_SERVICE_BASE_H_
#define ZXFES_SERVICE_BASE_H_

#include <windows.h>

#include "zxfes/stop_guard.h"
#include "zxfes/win32_handles.h"

/// Message ids of the service's event-log message table.
enum EventId : DWORD {
  kEventInstalled = 100,
  kEventInstallFailed = 101,
  kEventRemoved = 102,
  kEventRemoveFailed = 103,
  kEventNoControlHandler = 104,
  kEventInitFailed = 105,
  kEventStarted = 106,
  kEventUnsupportedRequest = 107,
  kEventStopped = 108,
  kEventFileNotFound = 109,
  kEventCannotCreateProcess = 111,
  kEventRootNotInRegistry = 113,
  kEventNoServiceHandle = 114,
  kEventNoManager = 115,
  kEventStoppedWithError = 116,
  kEventNoStatus = 117,
  kEventRootDirectory = 118,
  kEventCommand = 119,
  kEventEnvironment = 120,
};

/// One Windows service run by this process: installs, removes and starts
/// itself through the Service Control Manager, reports its status to it and
/// reports events to the Application event log. Exactly one exists per
/// process; `instance` lets the system's context-free callbacks reach it.
class ServiceBase {
 public:
  /// Creates the service object named `name` (at most 63 characters) and
  /// makes it the process's instance.
  explicit ServiceBase(const char* name);
  ServiceBase(const ServiceBase&) = delete;
  ServiceBase& operator=(const ServiceBase&) = delete;
  /// Deregisters the event source and forgets the instance.
  virtual ~ServiceBase();

  /// Works while the service runs; returns to end the service thread.
  virtual void run();
  /// Prepares the service; false (with the last-error code set) stops it.
  virtual bool initialize();
  /// Ends the service on the stop control.
  virtual void stop();
  /// Answers the interrogate control.
  virtual void interrogate();
  /// Answers the pause control.
  virtual void pause();
  /// Answers the continue control.
  virtual void resume();
  /// Answers the system shutdown control.
  virtual void shutdown();
  /// Answers a user-defined control code (128 and above); true when handled.
  virtual bool userControl(DWORD code);

  /// Reports event `id` of `type` (error or information) with up to two
  /// insertion strings (null ones are left out); registers the event source
  /// on first use and drops the report when that fails.
  void reportEvent(WORD type, DWORD id, const char* first, const char* second);
  /// Reports event `id` with the service name as its only insertion.
  void reportEvent(WORD type, DWORD id);

  /// True when the manager knows the service.
  bool isInstalled();
  /// Installs the service (removing an existing installation first).
  void install();
  /// Removes the service.
  void remove();
  /// Stops the service when it runs, then removes it.
  void stopAndRemove();
  /// Asks the manager to start the service when it is not running.
  void startService();
  /// Hands the thread to the manager; returns the exit code of the program.
  DWORD runAsService();

  /// Ends the process of the first sibling console window found.
  static void closeSiblingConsole();
  /// Enables privilege `name` in the own process's token.
  static void enablePrivilege(const char* name);

  /// Stores `state` in the status record and reports the record; once a
  /// stop has begun, start-pending and running are no longer reported.
  void setStatus(DWORD state);

  /// The process's service object, for the system's callbacks.
  static ServiceBase* instance;

 protected:
  /// Marks the stop as begun and takes the front end's handle (if any).
  void* beginStop();
  /// Keeps a launched front end's handle; false when a stop came first.
  bool keepFrontEnd(void* process);
  /// True once the stop control has arrived.
  bool stopRequested() const;

  char name_[64];
  bool debugMode_ = false;
  bool interactiveLaunch_ = false;

 private:
  static void WINAPI serviceMain(DWORD argc, LPSTR* argv);
  static void WINAPI controlHandler(DWORD code);
  void serviceEntry(DWORD argc, LPSTR* argv);
  void handleControl(DWORD code);
  void setExitCode(DWORD code);
  /// Waits (bounded) for the service entry point and for a stop control
  /// under way to return.
  void waitForServiceThreads();
  /// Opens the manager and this service with all access, reporting a
  /// failure of either; false when the manager cannot be opened.
  bool openOwnService(ScHandle& manager, ScHandle& service);

  SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
  SERVICE_STATUS status_;
  HANDLE eventSource_ = nullptr;
  CRITICAL_SECTION statusLock_;
  CRITICAL_SECTION eventLock_;
  StopGuard guard_;
  HANDLE entryDone_ = nullptr;  ///< Set when the service entry point returns.
  bool entryStarted_ = false;
  HANDLE stopDone_ = nullptr;  ///< Set when the stop control's handling returns.
  bool stopStarted_ = false;
};

#endif  // ZXFES_SERVICE_BASE_H_
