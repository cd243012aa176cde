#include "parser/stock_formats.h"

#include <array>

namespace {

struct StockFormat {
  ServerKind server;
  std::string_view name;
  std::string_view format;
};

constexpr std::array<StockFormat, 8> kStockFormats = {{
    {ServerKind::kApache, "common", R"(%h %l %u %t "%r" %>s %b)"},
    {ServerKind::kApache, "combined",
     R"(%h %l %u %t "%r" %>s %b "%{Referer}i" "%{User-Agent}i")"},
    {ServerKind::kApache, "vhost_combined",
     R"(%v:%p %h %l %u %t "%r" %>s %O "%{Referer}i" "%{User-Agent}i")"},
    {ServerKind::kApache, "combinedio",
     R"(%h %l %u %t "%r" %>s %b "%{Referer}i" "%{User-Agent}i" %I %O)"},
    {ServerKind::kApache, "referer", "%{Referer}i -> %U"},
    {ServerKind::kApache, "agent", "%{User-agent}i"},
    {ServerKind::kNginx, "combined",
     R"($remote_addr - $remote_user [$time_local] "$request" $status )"
     R"($body_bytes_sent "$http_referer" "$http_user_agent")"},
    {ServerKind::kNginx, "main",
     R"($remote_addr - $remote_user [$time_local] "$request" $status )"
     R"($body_bytes_sent "$http_referer" "$http_user_agent" )"
     R"("$http_x_forwarded_for")"},
}};

}  // namespace

std::string_view stockFormat(ServerKind server, std::string_view name) {
  for (const StockFormat& stock : kStockFormats) {
    if (stock.server == server && stock.name == name) return stock.format;
  }
  return {};
}

std::string stockFormatNames(ServerKind server) {
  std::string names;
  for (const StockFormat& stock : kStockFormats) {
    if (stock.server != server) continue;
    if (!names.empty()) names += ", ";
    names += stock.name;
  }
  return names;
}
