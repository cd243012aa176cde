#ifndef ZXFES_ENVIRONMENT_BLOCK_H_
#define ZXFES_ENVIRONMENT_BLOCK_H_

#include <string>
#include <string_view>

/// Builds the whole environment of the front end: the class-path line and
/// "SystemRoot=" with the Windows directory, each ended by a zero byte, and
/// one more zero byte ending the block. An empty class-path line is left
/// out, since an empty entry would end the block before SystemRoot.
std::string buildEnvironmentBlock(std::string_view classPathLine,
                                  std::string_view windowsDirectory);

/// The first entry of an environment block: the text a report of the block
/// as one C string shows.
std::string firstEnvironmentEntry(const std::string& block);

#endif  // ZXFES_ENVIRONMENT_BLOCK_H_
