#ifndef ZXFES_FIRST_LINE_H_
#define ZXFES_FIRST_LINE_H_

#include <cstddef>
#include <cstdio>
#include <string>

/// Reads the first line of `file` (opened in binary mode): everything up
/// to the first line feed, without it and without a carriage return right
/// before it, cut to its first `maxChars` characters. A zero byte ends the
/// usable text, as it would for the C string the line is used as. An empty
/// file gives an empty line. Nothing after the first line is read.
std::string readFirstLine(std::FILE* file, std::size_t maxChars);

#endif  // ZXFES_FIRST_LINE_H_
