#include "zxfes/installation_paths.h"

std::string batchFilePath(std::string_view root) {
  std::string path(root);
  path.append("\\zxfesService.bat");
  return path;
}

std::string classPathFilePath(std::string_view root) {
  std::string path(root);
  path.append("\\jakarta-tomcat\\lib\\classpath");
  return path;
}

std::string eventSourceKey(std::string_view serviceName) {
  std::string key("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\");
  key.append(serviceName);
  return key;
}
