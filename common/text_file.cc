#include "common/text_file.h"

long readTextLine(std::FILE* file, char* buffer, std::size_t capacity) {
  if (capacity == 0) return -1;
  std::size_t length = 0;
  bool readAny = false;
  while (length + 1 < capacity) {
    int c = std::getc(file);
    if (c == EOF) break;
    readAny = true;
    if (c == '\r') {
      int next = std::getc(file);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, file);
      }
    }
    buffer[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[length] = '\0';
  if (!readAny) return -1;
  return static_cast<long>(length);
}
