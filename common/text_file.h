#ifndef COMMON_TEXT_FILE_H_
#define COMMON_TEXT_FILE_H_

#include <cstddef>
#include <cstdio>

/// Reads one line the way `fgets` reads a Windows text-mode stream, on
/// every platform: at most `capacity` - 1 characters, a carriage return
/// directly followed by a line feed is read as a line feed alone, and the
/// line feed (when it fits) ends the line and is kept. The buffer is always
/// zero-terminated. Returns the number of characters stored, or -1 at the
/// end of the file when nothing was read. The file must be opened in
/// binary mode.
long readTextLine(std::FILE* file, char* buffer, std::size_t capacity);

#endif  // COMMON_TEXT_FILE_H_
