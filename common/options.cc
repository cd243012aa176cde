#include "common/options.h"

bool isOption(std::string_view arg) {
  return !arg.empty() && (arg[0] == '-' || arg[0] == '/');
}

char optionLetter(std::string_view arg) {
  return arg.size() >= 2 ? arg[1] : '\0';
}

std::string firstWord(std::string_view arg) {
  std::size_t end = arg.find_first_of(" \t\r\n\v\f");
  return std::string(arg.substr(0, end));
}

void replaceChar(std::string& text, char from, char to) {
  for (char& c : text) {
    if (c == from) c = to;
  }
}

std::string pathValue(std::string_view arg) {
  std::string value = firstWord(arg);
  replaceChar(value, '+', ' ');
  return value;
}
