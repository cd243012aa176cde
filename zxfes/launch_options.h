#ifndef ZXFES_LAUNCH_OPTIONS_H_
#define ZXFES_LAUNCH_OPTIONS_H_

#include <string>
#include <string_view>

/// How the front end is started and how its failures are worded.
struct LaunchOptions {
  bool inheritHandles = false;      ///< The child inherits the service's handles.
  const char* desktop = "";         ///< Desktop of the child's startup information.
  const char* title = nullptr;      ///< Console title, or none.
  const char* launchFailure = "";   ///< Second insertion when the launch fails.
  const char* stopFailure = "";     ///< Second insertion when ending it fails.
};

/// Chooses the launch options from the two start flags: either flag puts
/// the front end on the interactive desktop under its own title and lets it
/// inherit handles; `debugMode` names Tomcat in the failure texts.
LaunchOptions chooseLaunchOptions(bool debugMode, bool interactiveLaunch);

/// The path given to the service manager for the program: enclosed in
/// double quotes when it holds a blank, unchanged otherwise.
std::string serviceBinaryPath(std::string_view programPath);

#endif  // ZXFES_LAUNCH_OPTIONS_H_
