#ifndef PARSER_HELP_TEXT_H_
#define PARSER_HELP_TEXT_H_

#include <string>

/// What `--help` prints: usage, options and exit statuses, for the name
/// the program was started by.
std::string parserHelpText(const std::string& programName);

#endif  // PARSER_HELP_TEXT_H_
