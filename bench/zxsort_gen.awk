# Writes a synthetic data file in the parser's row format (Oracle time
# stamps, rows ended by CR LF), in time order over 24 hours, for sorter
# throughput measurements. Rows are the same from run to run.
#
# Usage: awk -v rows=2000000 -f bench/zxsort_gen.awk > FILE.csv
# Columns: see the header that bench/zxsort_bench.sh writes to FILE.zx3.
# Park-Miller minimal standard generator: every product stays below 2^53,
# so awk's doubles compute it exactly.
function next_random(bound) {
  seed = (seed * 16807) % 2147483647
  return seed % bound
}
BEGIN {
  if (rows == "") rows = 2000000
  seed = 42
  split("GET GET GET GET POST HEAD", methods, " ")
  split("200 200 200 304 404 302", statuses, " ")
  split("MSIE Mozilla Opera Netscape", browsers, " ")
  split("Windows Linux MacOS -", systems, " ")
  split("html gif jpg js css pdf", types, " ")
  per_hour = rows / 24
  for (i = 0; i < rows; i++) {
    hour = int(i / per_hour)
    second = int((i - hour * per_hour) * 3600 / per_hour)
    # Skewed choices: a few users and pages make most of the traffic, as
    # in real access logs, so that records merge.
    user = next_random(next_random(400) + 1)
    page = next_random(next_random(600) + 1)
    type = types[page % 6 + 1]
    printf "2026-12-07 %02d:%02d:%02d,10.1.%d.%d,%s,%s,/site%d/page%d.%s,%s,%d,%d,%s,%s,%s,0,%d,2,12,4,2026,0,1\r\n",
      hour, int(second / 60), second % 60, user % 16, user, (user % 5 ? "-" : "user" user),
      methods[page % 6 + 1], page % 40, page, type, statuses[next_random(6) + 1],
      next_random(90000) + 100, next_random(5000), browsers[user % 4 + 1],
      systems[user % 4 + 1], type, hour
  }
}
