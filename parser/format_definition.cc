#include "parser/format_definition.h"

namespace {

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '_';
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

/// Ends the definition: the text after the last directive; false without
/// any directive.
bool finish(std::string literal, FormatDefinition* definition, std::string* error) {
  if (definition->items.empty()) {
    *error = "the format has no directive";
    return false;
  }
  definition->trailing = std::move(literal);
  return true;
}

/// Reads the Apache directive that starts at `format[*at]` (just after its
/// '%') into `item`; `*at` moves past it.
bool readApacheDirective(std::string_view format, std::size_t* at, FormatItem* item,
                         std::string* error) {
  const std::size_t start = *at - 1;
  bool hasArgument = false;
  bool final = false;
  std::string_view argument;
  while (*at < format.size()) {
    char c = format[*at];
    if (c == '!' || c == ',' || c == '<' || (c >= '0' && c <= '9')) {
      ++*at;
    } else if (c == '>') {
      final = true;
      ++*at;
    } else if (c == '{' && !hasArgument) {
      std::size_t close = format.find('}', *at);
      if (close == std::string_view::npos) {
        *error = "a '{' without its '}' in " + std::string(format.substr(start));
        return false;
      }
      argument = format.substr(*at + 1, close - *at - 1);
      hasArgument = true;
      *at = close + 1;
    } else {
      break;
    }
  }
  if (*at >= format.size()) {
    *error = "a directive without its letter at the end: " + std::string(format.substr(start));
    return false;
  }
  char letter = format[(*at)++];
  if (letter == '^') {
    std::string_view rest = format.substr(*at, 2);
    if (rest != "ti" && rest != "to") {
      *error = "unknown directive " + std::string(format.substr(start, *at - start)) +
               std::string(rest);
      return false;
    }
    *at += 2;
  }
  item->directive = std::string(format.substr(start, *at - start));
  if (!apacheDirective(letter, hasArgument, argument, final, &item->mapping, error)) {
    if (error->starts_with("unknown directive")) *error = "unknown directive " + item->directive;
    return false;
  }
  return true;
}

}  // namespace

bool compileApacheFormat(std::string_view format, FormatDefinition* definition,
                         std::string* error) {
  *definition = FormatDefinition();
  std::string literal;
  std::size_t at = 0;
  while (at < format.size()) {
    char c = format[at];
    if (c == '\\' && at + 1 < format.size()) {
      // mod_log_config's escapes; any other backslash stays as written.
      char next = format[at + 1];
      char replaced = next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r'
                    : next == '\\' ? '\\' : 0;
      if (replaced != 0) {
        literal += replaced;
        at += 2;
        continue;
      }
    }
    if (c != '%') {
      literal += c;
      ++at;
      continue;
    }
    if (at + 1 < format.size() && format[at + 1] == '%') {
      literal += '%';
      at += 2;
      continue;
    }
    ++at;
    FormatItem item;
    if (!readApacheDirective(format, &at, &item, error)) return false;
    item.literal = std::move(literal);
    literal.clear();
    definition->items.push_back(std::move(item));
  }
  return finish(std::move(literal), definition, error);
}

bool compileNginxFormat(std::string_view format, EscapeStyle escapes,
                        FormatDefinition* definition, std::string* error) {
  *definition = FormatDefinition();
  definition->escapes = escapes;
  std::string literal;
  std::size_t at = 0;
  while (at < format.size()) {
    if (format[at] != '$') {
      literal += format[at++];
      continue;
    }
    const std::size_t start = at++;
    std::string_view name;
    if (at < format.size() && format[at] == '{') {
      std::size_t close = format.find('}', at);
      if (close == std::string_view::npos) {
        *error = "a '${' without its '}' in " + std::string(format.substr(start));
        return false;
      }
      name = format.substr(at + 1, close - at - 1);
      at = close + 1;
    } else {
      std::size_t end = at;
      while (end < format.size() && isNameCharacter(format[end])) ++end;
      name = format.substr(at, end - at);
      at = end;
    }
    bool valid = !name.empty();
    for (char c : name) valid = valid && isNameCharacter(c);
    if (!valid) {
      *error = "a '$' without a variable name at character " + std::to_string(start + 1);
      return false;
    }
    std::string lowered(name);
    for (char& c : lowered) {
      if (isAsciiLetter(c) && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    FormatItem item;
    item.literal = std::move(literal);
    literal.clear();
    item.directive = std::string(format.substr(start, at - start));
    item.mapping = nginxVariable(lowered);
    definition->items.push_back(std::move(item));
  }
  return finish(std::move(literal), definition, error);
}
