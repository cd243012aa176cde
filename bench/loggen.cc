// Writes a synthetic access log of one built-in layout to standard output,
// for throughput measurements. Lines are reproducible from run to run.
//
// Usage: bench_loggen LAYOUT LINES [FIRST]  (FIRST: number of the first
// record, 0 by default; logs of other FIRST records follow on in time)
// LAYOUT: webaccess, squid, common, combined, straccess, extended or real.

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
  } else if (layout == "common" || layout == "combined" || layout == "extended" ||
             layout == "real") {
    const long day = 1 + (i / 86400) % 28;
    const long second = i % 86400;
    std::printf(
        "10.%u.%u.%u - user%u [%02ld/%s/2003:%02ld:%02ld:%02ld -0700] "
        "\"%s http://www%u.example.com/dir%u/page%u.html HTTP/1.0\" 200 %u",
        a, b, random.next(250), random.next(1000), day,
        kMonths[(i / 2419200) % 12], second / 3600, second / 60 % 60,
        second % 60, method, host, page % 97, page, bytes);
    if (layout == "combined") {
      std::printf(" \"http://www%u.example.com/dir%u/\" \"Mozilla/5.0 (X11; Linux x86_64; rv:%u.0) Gecko/20100101 Firefox/%u.0\"\n",
                  random.next(500), random.next(97), 90 + random.next(30), 90 + random.next(30));
    } else if (layout == "extended") {
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
