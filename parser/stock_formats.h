#ifndef PARSER_STOCK_FORMATS_H_
#define PARSER_STOCK_FORMATS_H_

#include <string>
#include <string_view>

#include "parser/format_definition.h"

/// The stock format `name` of `server` as its configuration defines it
/// (unquoted): Apache's common, combined, combinedio, referer and agent
/// from its default configuration, vhost_combined from Debian's; nginx's
/// built-in combined and the main format of its stock nginx.conf. Empty
/// for another name.
std::string_view stockFormat(ServerKind server, std::string_view name);

/// The stock names of `server`, comma-separated, for messages.
std::string stockFormatNames(ServerKind server);

#endif  // PARSER_STOCK_FORMATS_H_
