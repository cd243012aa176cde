#include "zxfes/first_line.h"

std::string readFirstLine(std::FILE* file, std::size_t maxChars) {
  std::string line;
  bool pendingReturn = false;  // a carriage return not yet known to end the line
  bool ended = false;          // a zero byte was seen: keep nothing more
  auto keep = [&](char c) {
    if (!ended && line.size() < maxChars) line.push_back(c);
  };
  for (int c = std::fgetc(file); c != EOF && c != '\n'; c = std::fgetc(file)) {
    if (pendingReturn) keep('\r');
    pendingReturn = (c == '\r');
    if (pendingReturn) continue;
    if (c == '\0') ended = true;
    keep(static_cast<char>(c));
  }
  // A carriage return directly before the line feed belongs to the line
  // end; one that ends the file without a line feed is text.
  if (pendingReturn && std::feof(file)) keep('\r');
  return line;
}
