#ifndef HOSTBRIDGE_COMMAND_LINE_H_
#define HOSTBRIDGE_COMMAND_LINE_H_

#include <string>
#include <string_view>
#include <vector>

/// Building a Windows command line and finding the program it starts.
namespace command_line {

/// Quotes `argument` by the C runtime's parsing rules so that the child
/// reads it back as exactly one argument: an argument holding a blank, tab
/// or double quote, or an empty one, is put in double quotes, its quotes
/// escaped and the backslashes before them doubled; any other argument is
/// returned unchanged.
std::u16string quoteArgument(std::u16string_view argument);

/// The file names tried for `program`, in order: the name itself when its
/// last component has an extension, otherwise the name with ".com", ".exe",
/// ".bat" and ".cmd" appended. No search path is involved: a name without a
/// directory stays relative to the current directory.
std::vector<std::u16string> programCandidates(std::u16string_view program);

}  // namespace command_line

#endif  // HOSTBRIDGE_COMMAND_LINE_H_
