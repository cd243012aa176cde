#include "common/options.h"

bool isOption(std::string_view arg) {
  return !arg.empty() && (arg[0] == '-' || arg[0] == '/');
}

char optionLetter(std::string_view arg) {
  return arg.size() >= 2 ? arg[1] : '\0';
}

std::string firstWord(std::string_view arg) {
  constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
  std::size_t begin = arg.find_first_not_of(kWhiteSpace);
  if (begin == std::string_view::npos) return std::string();
  arg.remove_prefix(begin);
  return std::string(arg.substr(0, arg.find_first_of(kWhiteSpace)));
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
