#ifndef ZXFES_FRONT_END_SERVICE_H_
#define ZXFES_FRONT_END_SERVICE_H_

#include <windows.h>

#include <string>

#include "zxfes/service_base.h"

/// The service that runs the web front end: reads the installation root
/// from the registry and the front end's command line and class path from
/// the installation's files, launches it with a two-entry environment and
/// ends it on stop.
class FrontEndService : public ServiceBase {
 public:
  /// Creates the service object under the product's service name.
  FrontEndService();

  /// Launches the front end and reports the start.
  void run() override;
  /// Reads the installation root, command line and class path.
  bool initialize() override;
  /// Ends the front end and reports the service stopped.
  void stop() override;
  /// Accepts user-defined controls without doing anything.
  bool userControl(DWORD code) override;

 private:
  /// Reads the installation root from the registry, from the first view
  /// that holds "HomeDir"; false when no view does or the value is unusable.
  bool readInstallationRoot(DWORD* error);
  /// Reads the first line of `path` into `line`, at most `maxChars` long;
  /// false when the file cannot be opened.
  bool readInstallationFile(const std::string& path, std::size_t maxChars,
                            std::string* line, DWORD* error);
  /// Outcome of one launch of the front end.
  enum class Launch { kStarted, kFailed, kOvertakenByStop };
  /// Starts the front end and keeps its process handle.
  Launch launchFrontEnd();

  std::string root_;
  std::string command_;
  std::string classPath_;
  std::string environment_;
};

#endif  // ZXFES_FRONT_END_SERVICE_H_
