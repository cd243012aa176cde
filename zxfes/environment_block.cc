#include "zxfes/environment_block.h"

std::string buildEnvironmentBlock(std::string_view classPathLine,
                                  std::string_view windowsDirectory) {
  std::string block;
  if (!classPathLine.empty()) {
    block.append(classPathLine);
    block.push_back('\0');
  }
  block.append("SystemRoot=");
  block.append(windowsDirectory);
  block.push_back('\0');
  block.push_back('\0');
  return block;
}

std::string firstEnvironmentEntry(const std::string& block) {
  return std::string(block.c_str());
}
