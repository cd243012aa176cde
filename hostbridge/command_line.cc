#include "hostbridge/command_line.h"

namespace command_line {

std::u16string quoteArgument(std::u16string_view argument) {
  if (!argument.empty() &&
      argument.find_first_of(u" \t\"") == std::u16string_view::npos) {
    return std::u16string(argument);
  }
  std::u16string quoted(1, u'"');
  std::size_t backslashes = 0;
  for (char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as escapes only right before a quote: double them
    // there and add one more to escape the quote itself.
    const std::size_t count = c == u'"' ? backslashes * 2 + 1 : backslashes;
    quoted.append(count, u'\\');
    quoted.push_back(c);
    backslashes = 0;
  }
  // Trailing backslashes precede the closing quote, so they are doubled too.
  quoted.append(backslashes * 2, u'\\');
  quoted.push_back(u'"');
  return quoted;
}

std::vector<std::u16string> programCandidates(std::u16string_view program) {
  const std::size_t nameStart = program.find_last_of(u"\\/:");
  const std::u16string_view name = nameStart == std::u16string_view::npos
                                       ? program
                                       : program.substr(nameStart + 1);
  if (name.find(u'.') != std::u16string_view::npos) {
    return {std::u16string(program)};
  }
  std::vector<std::u16string> candidates;
  for (const char16_t* extension : {u".com", u".exe", u".bat", u".cmd"}) {
    candidates.push_back(std::u16string(program) + extension);
  }
  return candidates;
}

}  // namespace command_line
