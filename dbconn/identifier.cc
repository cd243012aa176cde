#include "dbconn/identifier.h"

namespace {

/// `text` between two `quote` characters, each inner one doubled.
std::string quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    if (c == quote) out.push_back(quote);
    out.push_back(c);
  }
  out.push_back(quote);
  return out;
}

}  // namespace

std::string quoteIdentifier(std::string_view name) { return quoted(name, '"'); }

std::string quoteLiteral(std::string_view text) { return quoted(text, '\''); }
