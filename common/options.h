#ifndef COMMON_OPTIONS_H_
#define COMMON_OPTIONS_H_

#include <string>
#include <string_view>

/// True when `arg` is an option: it begins with '-' or '/'.
bool isOption(std::string_view arg);

/// The letter that selects an option: its second character, or '\0'.
char optionLetter(std::string_view arg);

/// The value of an option argument read as one word: leading white space
/// skipped, then the text up to the next blank, tab or line break.
std::string firstWord(std::string_view arg);

/// Replaces every `from` in `text` by `to`.
void replaceChar(std::string& text, char from, char to);

/// A path option's value: its first word with every '+' turned into a blank.
std::string pathValue(std::string_view arg);

#endif  // COMMON_OPTIONS_H_
