#ifndef ZXFES_INSTALLATION_PATHS_H_
#define ZXFES_INSTALLATION_PATHS_H_

#include <cstddef>
#include <string>
#include <string_view>

/// Name of the service, its display name and its event source.
inline constexpr char kServiceName[] = "Zentrix";

/// Registry key (under HKEY_LOCAL_MACHINE) holding the installation root.
inline constexpr char kProductKey[] = "SOFTWARE\\Vantal Works\\Zentrix";

/// Value of `kProductKey` naming the installation root.
inline constexpr char kHomeDirValue[] = "HomeDir";

/// Longest installation root, in characters.
inline constexpr std::size_t kMaxRootChars = 999;

/// Longest front-end command line, in characters.
inline constexpr std::size_t kMaxCommandChars = 5998;

/// Longest class-path line, in characters.
inline constexpr std::size_t kMaxClassPathChars = 5997;

/// Path of the batch file whose first line is the front end's command.
std::string batchFilePath(std::string_view root);

/// Path of the file whose first line is the front end's class-path entry.
std::string classPathFilePath(std::string_view root);

/// Registry key (under HKEY_LOCAL_MACHINE) of the service's event source.
std::string eventSourceKey(std::string_view serviceName);

#endif  // ZXFES_INSTALLATION_PATHS_H_
