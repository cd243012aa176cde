#ifndef ZXFES_START_PARAMETERS_H_
#define ZXFES_START_PARAMETERS_H_

/// The two launch flags an operator can give when starting the service.
struct StartFlags {
  bool debugMode = false;          ///< "-debug": Tomcat wording, no command events.
  bool interactiveLaunch = false;  ///< "-zxfes": front end on the interactive desktop.
};

/// Reads the service's start parameters (`argv[0]` is the service name).
/// Only exactly one parameter besides the name counts: "-debug" or
/// "-zxfes", compared exactly; anything else leaves both flags clear.
StartFlags parseStartParameters(unsigned long argc, const char* const* argv);

#endif  // ZXFES_START_PARAMETERS_H_
