// Command-line quoting for a Windows child: whatever the argument, the
// child's C runtime must read the quoted form back as exactly that one
// argument. The input is the argument in UTF-16 (pairs of bytes).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "hostbridge/command_line.h"

namespace {

// The arguments of `line` by the C runtime's rules: blanks and tabs outside
// quotes separate; 2n backslashes before a quote give n and the quote
// toggles quoting, 2n+1 give n and a literal quote; other backslashes are
// literal; inside quotes a doubled quote is a literal quote.
std::vector<std::u16string> parseCommandLine(const std::u16string& line) {
  std::vector<std::u16string> args;
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (true) {
    while (i < n && (line[i] == u' ' || line[i] == u'\t')) ++i;
    if (i >= n) break;
    std::u16string arg;
    bool quoted = false;
    while (i < n && (quoted || (line[i] != u' ' && line[i] != u'\t'))) {
      std::size_t slashes = 0;
      while (i < n && line[i] == u'\\') ++slashes, ++i;
      if (i < n && line[i] == u'"') {
        arg.append(slashes / 2, u'\\');
        if (slashes % 2 == 1) {
          arg.push_back(u'"');
          ++i;
        } else if (quoted && i + 1 < n && line[i + 1] == u'"') {
          arg.push_back(u'"');
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg.append(slashes, u'\\');
        if (i < n && slashes == 0) arg.push_back(line[i++]);
      }
    }
    args.push_back(arg);
  }
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string argument;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (c == 0) c = u'0';  // a command line ends at its first zero
    argument.push_back(c);
  }
  std::u16string quoted = command_line::quoteArgument(argument);
  std::vector<std::u16string> back = parseCommandLine(u"prog " + quoted);
  fuzz::require(back.size() == 2 && back[1] == argument,
                "quoted argument not read back as itself");
  std::vector<std::u16string> candidates = command_line::programCandidates(argument);
  fuzz::require(!candidates.empty(), "no program candidate");
  return 0;
}
