#include "zxfes/launch_options.h"

LaunchOptions chooseLaunchOptions(bool debugMode, bool interactiveLaunch) {
  LaunchOptions options;
  options.inheritHandles = debugMode || interactiveLaunch;
  if (options.inheritHandles) {
    options.desktop = "WinSta0\\Default";
    options.title = "ZXFES";
  }
  options.launchFailure = debugMode ? "Cannot start Tomcat" : "cannot start ZXFES";
  options.stopFailure = debugMode ? "cannot stop Tomcat" : "cannot stop ZXFES";
  return options;
}

std::string serviceBinaryPath(std::string_view programPath) {
  if (programPath.find(' ') == std::string_view::npos) {
    return std::string(programPath);
  }
  std::string quoted;
  quoted.reserve(programPath.size() + 2);
  quoted.push_back('"');
  quoted.append(programPath);
  quoted.push_back('"');
  return quoted;
}
