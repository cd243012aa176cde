// Test helper: records its argument vector, as the C runtime parsed the
// command line, and exits with a chosen code.
// Usage: hostbridge_test_child RECORD-FILE EXIT-CODE [ARGUMENT...]
// Each argument is written in UTF-8 as "<byte length>:<bytes>\r\n".

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 100;
  std::FILE* record = _wfopen(argv[1], L"wb");
  if (record == nullptr) return 101;
  for (int i = 0; i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0,
                                         nullptr, nullptr);
    std::string text(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) {
      WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, text.data(), size, nullptr,
                          nullptr);
    }
    std::fprintf(record, "%d:%s\r\n", static_cast<int>(text.size()),
                 text.c_str());
  }
  std::fclose(record);
  return _wtoi(argv[2]);
}
