// Stands in for the web front end in the end-to-end suite: records how it
// was started (process id, command line, startup desktop and title, every
// environment entry) into the file named by its first argument, then waits
// until it is ended.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void appendLine(std::string* record, const char* key, const char* value) {
  record->append(key);
  record->push_back('=');
  record->append(value != nullptr ? value : "(none)");
  record->append("\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string record;
  appendLine(&record, "pid", std::to_string(GetCurrentProcessId()).c_str());
  appendLine(&record, "cmdline", GetCommandLineA());
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  appendLine(&record, "desktop", startup.lpDesktop);
  appendLine(&record, "title", startup.lpTitle);
  char* environment = GetEnvironmentStringsA();
  for (const char* entry = environment; entry != nullptr && *entry != '\0';
       entry += std::string(entry).size() + 1) {
    appendLine(&record, "env", entry);
  }
  FreeEnvironmentStringsA(environment);

  // Written under another name first, so that the suite never reads half.
  const std::string partial = std::string(argv[1]) + ".part";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return 3;
  std::fwrite(record.data(), 1, record.size(), file);
  std::fclose(file);
  MoveFileExA(partial.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING);

  // Long enough for any test, short enough never to linger.
  Sleep(300000);
  return 0;
}
