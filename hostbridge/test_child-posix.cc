// Test helper: records its argument vector and exits with a chosen code.
// Usage: hostbridge_test_child RECORD-FILE EXIT-CODE [ARGUMENT...]
// Each argument is written as "<length>:<bytes>\r\n", so blanks, quotes and
// empty arguments are all visible.

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) return 100;
  std::FILE* record = std::fopen(argv[1], "wb");
  if (record == nullptr) return 101;
  for (int i = 0; i < argc; ++i) {
    std::fprintf(record, "%zu:%s\r\n", std::strlen(argv[i]), argv[i]);
  }
  std::fclose(record);
  return std::atoi(argv[2]);
}
