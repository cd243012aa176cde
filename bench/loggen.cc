// Writes a synthetic access log of one built-in layout to standard output,
// for throughput measurements. Lines are reproducible from run to run.
//
// Usage: bench_loggen LAYOUT LINES [FIRST]  (FIRST: number of the first
// record, 0 by default; logs of other FIRST records follow on in time)
// LAYOUT: webaccess, squid, common, straccess, extended or real; combined
// (Apache's and nginx's combined format), caddy (Caddy's JSON access log)
// or nginx-json (nginx's escape=json lines of its variables).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "bench/sequence.h"

namespace {

constexpr const char* kMethods[] = {"GET",  "GET",  "GET",
                                    "POST", "HEAD", "CONNECT"};
constexpr const char* kTypes[] = {"text/html", "image/gif", "image/jpeg",
                                  "application/x-javascript", "-"};
constexpr const char* kActions[] = {"TCP_MISS/200", "TCP_HIT/200",
                                    "TCP_REFRESH_MISS/304", "TCP_DENIED/403"};
constexpr const char* kAgents[] = {
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like "
    "Gecko) Chrome/131.0.0.0 Safari/537.36",
    "Mozilla/5.0 (X11; Linux x86_64; rv:133.0) Gecko/20100101 Firefox/133.0",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 18_1 like Mac OS X) AppleWebKit/605.1.15 "
    "(KHTML, like Gecko) Version/18.1 Mobile/15E148 Safari/604.1",
    "curl/8.5.0"};
constexpr const char* kReferers[] = {"-", "-", "https://www.example.com/",
                                     "https://search.example.net/?q=lamp"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <std::size_t N>
const char* pick(Sequence& random, const char* const (&items)[N]) {
  return items[random.next(N)];
}

/// Writes one line of `layout` for the record number `i`; false for an
/// unknown layout.
bool writeLine(std::string_view layout, long i, Sequence& random) {
  const long epoch = 1049155200L + i / 20;
  const unsigned a = random.next(250) + 1;
  const unsigned b = random.next(250) + 1;
  const unsigned host = random.next(500);
  const unsigned page = random.next(100000);
  const unsigned bytes = random.next(200000);
  const char* method = pick(random, kMethods);
  if (layout == "squid") {
    std::printf(
        "%ld.%03u %6u 10.%u.%u.%u %s %u %s "
        "http://www%u.example.com/dir%u/page%u.html - "
        "DIRECT/192.168.%u.%u %s\n",
        epoch, random.next(1000), random.next(5000), a, b, random.next(250),
        pick(random, kActions), bytes, method, host, page % 97, page, a, b,
        pick(random, kTypes));
  } else if (layout == "webaccess") {
    std::printf(
        "%ld %u 10.%u.%u.%u %s %u %s "
        "http://www%u.example.com/dir%u/page%u.html user%u "
        "DIRECT/www%u.example.com %s \"note %u\"\n",
        epoch, random.next(5000), a, b, random.next(250),
        pick(random, kActions), bytes, method, host, page % 97, page,
        random.next(1000), host, pick(random, kTypes), random.next(10));
  } else if (layout == "common" || layout == "extended" || layout == "real") {
    const long day = 1 + (i / 86400) % 28;
    const long second = i % 86400;
    std::printf(
        "10.%u.%u.%u - user%u [%02ld/%s/2003:%02ld:%02ld:%02ld -0700] "
        "\"%s http://www%u.example.com/dir%u/page%u.html HTTP/1.0\" 200 %u",
        a, b, random.next(250), random.next(1000), day,
        kMonths[(i / 2419200) % 12], second / 3600, second / 60 % 60,
        second % 60, method, host, page % 97, page, bytes);
    if (layout == "extended") {
      std::printf(" 200 %u 0 0 %u %u %u %u %u\n", bytes, random.next(400),
                  random.next(400), random.next(400), random.next(400),
                  random.next(60));
    } else if (layout == "real") {
      std::printf(" [UNKNOWN] [%u] %u %u %u %u %u\n", random.next(9),
                  bytes + 1000, random.next(3600), random.next(3600),
                  random.next(10), random.next(3));
    } else {
      std::printf("\n");
    }
  } else if (layout == "combined" || layout == "caddy" || layout == "nginx-json") {
    const long second = i % 86400;
    const long day = 1 + (i / 86400) % 28;
    const unsigned status = random.next(10) < 8 ? 200 : 304;
    const unsigned micros = random.next(2000000);
    const char* agent = pick(random, kAgents);
    const char* referer = pick(random, kReferers);
    const unsigned client = random.next(250);
    if (layout == "combined") {
      std::printf(
          "10.%u.%u.%u - - [%02ld/Dec/2026:%02ld:%02ld:%02ld +0100] "
          "\"%s /dir%u/page%u.html HTTP/1.1\" %u %u \"%s\" \"%s\"\n",
          a, b, client, day, second / 3600, second / 60 % 60, second % 60, method,
          page % 97, page, status, bytes, referer, agent);
    } else if (layout == "caddy") {
      std::printf(
          "{\"level\":\"info\",\"ts\":%ld.%03u,\"logger\":\"http.log.access\","
          "\"msg\":\"handled request\",\"request\":{\"remote_ip\":\"10.%u.%u.%u\","
          "\"remote_port\":\"%u\",\"proto\":\"HTTP/1.1\",\"method\":\"%s\","
          "\"host\":\"www%u.example.com\",\"uri\":\"/dir%u/page%u.html\","
          "\"headers\":{\"User-Agent\":[\"%s\"],\"Referer\":[\"%s\"]}},"
          "\"bytes_read\":0,\"user_id\":\"\",\"duration\":%u.%06u,\"size\":%u,"
          "\"status\":%u,\"resp_headers\":{\"Content-Type\":[\"text/html\"]}}\n",
          1796598000L + i, random.next(1000), a, b, client, 30000 + random.next(30000),
          method, host, page % 97, page, agent, referer, micros / 1000000,
          micros % 1000000, bytes, status);
    } else {
      std::printf(
          "{\"time_local\":\"%02ld/Dec/2026:%02ld:%02ld:%02ld +0100\","
          "\"remote_addr\":\"10.%u.%u.%u\",\"remote_user\":\"\","
          "\"request\":\"%s /dir%u/page%u.html HTTP/1.1\",\"status\":\"%u\","
          "\"body_bytes_sent\":\"%u\",\"request_time\":\"%u.%03u\","
          "\"http_referer\":\"%s\",\"http_user_agent\":\"%s\"}\n",
          day, second / 3600, second / 60 % 60, second % 60, a, b, client, method,
          page % 97, page, status, bytes, micros / 1000000, micros / 1000 % 1000,
          referer, agent);
    }
  } else if (layout == "straccess") {
    const long second = i % 86400;
    std::printf(
        "10.%u.%u.%u 2003-04-%02ld %02ld:%02ld:%02ld 192.168.%u.%u "
        "rtsp://media%u.example.com/clip%u.rm %u %u play %u %u %u 0 0 %u %u "
        "RTSP UDP "
        "Player/8.0 client-%u\n",
        a, b, random.next(250), 1 + (i / 86400) % 28, second / 3600,
        second / 60 % 60, second % 60, a, b, host, page, 200u, 0u,
        random.next(100000), bytes, bytes / 1000, random.next(10),
        random.next(3600), random.next(100000));
  } else {
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: bench_loggen LAYOUT LINES [FIRST]\n");
    return 2;
  }
  std::string_view layout = argv[1];
  long lines = std::strtol(argv[2], nullptr, 10);
  // Logs from other FIRST records follow on in time, with other values.
  long first = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 0;
  Sequence random(88172645463325252ULL + static_cast<std::uint64_t>(first));
  for (long i = first; i < first + lines; ++i) {
    if (!writeLine(layout, i, random)) {
      std::fprintf(stderr, "unknown layout %s\n", argv[1]);
      return 2;
    }
  }
  return 0;
}
