// Writes a month of synthetic access logs, one file per day, for the report
// benchmark: proxy logs in the squid layout (response times, cache results)
// or web server logs in the combined layout (referrers, user agents).
// Clients, sites, pages and referrers are drawn with a Zipf-like skew and
// the hours follow a day's rhythm, so that hourly reduction merges lines as
// it does on real traffic. The same arguments give the same files.
//
// Usage: bench_monthgen squid|combined LINES DAYS OUTDIR
// Files: OUTDIR/LAYOUT-dayNN.log, starting on 2026-12-01 (UTC).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/sequence.h"

namespace {

constexpr std::uint64_t kSeed = 0x2545F4914F6CDD1DULL;

/// Draws 0 .. n-1, item k with weight 1 / (k + 1).
class Zipf {
 public:
  explicit Zipf(unsigned n) : cumulative_(n) {
    double sum = 0;
    for (unsigned k = 0; k < n; ++k) cumulative_[k] = sum += 1.0 / (k + 1);
    for (double& c : cumulative_) c /= sum;
  }
  unsigned draw(Sequence& random) const {
    double u = random.unit();
    return static_cast<unsigned>(std::lower_bound(cumulative_.begin(), cumulative_.end(), u) -
                                 cumulative_.begin()) % cumulative_.size();
  }

 private:
  std::vector<double> cumulative_;
};

/// Relative traffic of each hour of a day.
constexpr int kHourWeight[24] = {2, 1, 1, 1, 1, 2, 3, 5, 8, 9, 10, 9, 8, 9, 10, 9, 8, 7, 6, 5, 5, 4, 3, 2};

struct Outcome {
  const char* action;  // squid action
  int status;
  int weight;
};
constexpr Outcome kOutcomes[] = {
    {"TCP_MISS", 200, 46}, {"TCP_HIT", 200, 18}, {"TCP_MEM_HIT", 200, 8},
    {"TCP_REFRESH_MISS", 304, 8}, {"TCP_MISS", 302, 4}, {"TCP_MISS", 404, 8},
    {"TCP_DENIED", 403, 4}, {"TCP_MISS", 500, 2}, {"TCP_MISS", 503, 2}};

constexpr const char* kExtensions[] = {"html", "html", "html", "gif", "jpg", "png", "css", "js", "pdf", "php"};
constexpr const char* kTypes[] = {"text/html", "text/html", "text/html", "image/gif", "image/jpeg",
                                  "image/png", "text/css", "application/javascript",
                                  "application/pdf", "text/html"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kAgents[] = {
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/126.0 Safari/537.36",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:128.0) Gecko/20100101 Firefox/128.0",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 14_5) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.5 Safari/605.1.15",
    "Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_5 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.5 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/126.0 Mobile Safari/537.36",
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)",
    "curl/8.5.0",
    "Wget/1.21.3"};

int pickOutcome(Sequence& random) {
  int total = 0;
  for (const Outcome& o : kOutcomes) total += o.weight;
  int u = static_cast<int>(random.next(static_cast<unsigned>(total)));
  for (int k = 0;; ++k) {
    if ((u -= kOutcomes[k].weight) < 0) return k;
  }
}

const char* pickMethod(Sequence& random) {
  unsigned u = random.next(100);
  return u < 95 ? "GET" : u < 99 ? "POST" : "HEAD";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: bench_monthgen squid|combined LINES DAYS OUTDIR\n");
    return 2;
  }
  const std::string layout = argv[1];
  const long long lines = std::atoll(argv[2]);
  const int days = std::atoi(argv[3]);
  const std::string dir = argv[4];
  if ((layout != "squid" && layout != "combined") || lines <= 0 || days <= 0 || days > 31) {
    std::fprintf(stderr, "bench_monthgen: bad arguments\n");
    return 2;
  }
  const bool squid = layout == "squid";
  Sequence random(kSeed);
  const Zipf clients(squid ? 600 : 2000), favourites(4), pages(20), referrers(300), agents(9);
  const long long start = 1796083200LL;  // 2026-12-01 00:00:00 UTC
  int weightSum = 0;
  for (int w : kHourWeight) weightSum += w;
  for (int day = 0; day < days; ++day) {
    char path[4096];
    std::snprintf(path, sizeof path, "%s/%s-day%02d.log", dir.c_str(), layout.c_str(), day + 1);
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
      std::perror(path);
      return 1;
    }
    const long long dayLines = lines / days + (day < lines % days ? 1 : 0);
    long long written = 0;
    for (int hour = 0; hour < 24; ++hour) {
      long long hourLines = hour == 23 ? dayLines - written : dayLines * kHourWeight[hour] / weightSum;
      for (long long i = 0; i < hourLines; ++i) {
        const long long second = start + day * 86400LL + hour * 3600LL + i * 3600 / hourLines;
        const unsigned client = clients.draw(random);
        // A client keeps to a few favourite sites; a URL mostly answers
        // the same way.
        const unsigned site = (client * 7 + favourites.draw(random)) % 400;
        const unsigned page = pages.draw(random) * 7 + site % 7;
        const unsigned kind = page % 10;
        Sequence habit(kSeed);
        for (unsigned k = 0; k < (site * 31 + page) % 64; ++k) habit.next(2);
        const Outcome& outcome = kOutcomes[pickOutcome(random.next(100) < 95 ? habit : random)];
        const unsigned bytes = outcome.status == 304 ? 0 : 300 + (page * 7919 + site * 104729) % 90000 + random.next(200);
        const char* method = pickMethod(random);
        const bool named = client % 3 == 0;
        if (squid) {
          const bool hit = std::strstr(outcome.action, "HIT") != nullptr;
          const double elapsed = 5 + std::pow(random.unit(), 3) * (hit ? 200 : 4000);
          std::fprintf(out,
                       "%lld.%03u %6.0f 10.%u.%u.%u %s/%d %u %s http://www%u.example.com/dir%u/page%u.%s %s%s%s %s %s\n",
                       second, random.next(1000), elapsed, client / 65536 % 256, client / 256 % 256, client % 256,
                       outcome.action, outcome.status, bytes, method, site, page % 17, page, kExtensions[kind],
                       named ? "user" : "-", named ? std::to_string(client % 700).c_str() : "", "",
                       hit ? "NONE/-" : ("DIRECT/192.0.2." + std::to_string(site % 250)).c_str(), kTypes[kind]);
        } else {
          const long long day0 = (second / 86400) + 719468;  // civil date of the second
          const long long era = day0 / 146097, doe = day0 - era * 146097;
          const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
          const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
          const int mday = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
          const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
          const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
          const long long s = second % 86400;
          const unsigned referrer = random.next(100) < 80 ? (page * 13 + site) % 300 : referrers.draw(random);
          std::fprintf(out, "172.16.%u.%u - %s%s [%02d/%s/%lld:%02lld:%02lld:%02lld +0000] \"%s /dir%u/page%u.%s HTTP/1.1\" %d %u ",
                       client / 256 % 256, client % 256, named ? "user" : "-",
                       named ? std::to_string(client % 900).c_str() : "", mday, kMonths[month - 1], year,
                       s / 3600, s / 60 % 60, s % 60, method, page % 17, page, kExtensions[kind],
                       outcome.status, bytes);
          if (referrer % 4 == 0) std::fprintf(out, "\"-\" ");
          else std::fprintf(out, "\"https://www.search%u.example/q?id=%u\" ", referrer % 40, referrer);
          std::fprintf(out, "\"%s\"\n", kAgents[random.next(100) < 90 ? client % 9 : agents.draw(random)]);
        }
      }
      written += hourLines;
    }
    std::fclose(out);
  }
  return 0;
}
