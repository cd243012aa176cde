#ifndef COMMON_PROGRAM_INFO_H_
#define COMMON_PROGRAM_INFO_H_

#include <string>

/// Writes a program's --help text for the name it was started by.
using HelpWriter = std::string (*)(const std::string& programName);

/// The name a program was started by: the last part of `argv0` without
/// ".exe"; `fallback` when that is empty.
std::string startedName(const char* argv0, const char* fallback);

/// The line --version prints: "NAME (PACKAGE) VERSION".
std::string versionLine(const std::string& programName);

/// Answers a command line whose only argument is "--version" (or "--help"
/// when `help` is given) by printing the version line (or the help text)
/// on standard output. Any other command line, even one that holds these
/// words among other arguments, is left to the program: returns -1. Else
/// returns the exit status: 0, or 1 when standard output cannot be written.
int answerHelpOrVersion(int argc, const char* const* argv,
                        const char* fallbackName, HelpWriter help);

#endif  // COMMON_PROGRAM_INFO_H_
