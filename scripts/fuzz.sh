#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one in turn for SECONDS seconds
# (default 60), printing per target its executions, coverage and crashes.
# Seeds are taken from tests/cases and config/samples at run time; the
# corpus grows in ${FUZZ_CORPUS:-/tmp/fuzz-corpus}, outside the repository.
# Findings (crash-*, leak-*, timeout-*, oom-*) are kept in the corpus
# directory's findings/.
#
# Usage: fuzz.sh [--runs N] [SECONDS] [TARGET...]
#   --runs N  stop a target after N executions if that comes before SECONDS
#             (a campaign: fuzz.sh --runs 10000000 7200)
#   --smoke   every target for 12 seconds over its seeds only (a fresh
#             corpus), for the test command
# Environment: BUILD_DIR (build root), FUZZ_CORPUS, FUZZ_JOBS (build jobs),
# FUZZ_SCRATCH_ROOT (where targets write their inputs; default /dev/shm).
set -euo pipefail
# A smaller quarantine of freed memory, so that the resident set the memory
# limit watches is mostly the program's own.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}/fuzz
smoke=0 runs=0
if [ "${1:-}" = "--runs" ]; then
  runs=${2:?--runs needs a number}
  shift 2
fi
if [ "${1:-}" = "--smoke" ]; then
  smoke=1
  shift
fi
seconds=${1:-60}
[ $smoke -eq 1 ] && seconds=12
shift || true
all_targets=(column_types identifiers header line log_format parser_run zxsort_layout
             zxsort_run command_line mount_table zxload_rows)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

if [ $smoke -eq 1 ]; then
  corpus_root=$(mktemp -d /tmp/fuzz-smoke.XXXXXX)
  trap 'rm -rf "$corpus_root"' EXIT
else
  corpus_root=${FUZZ_CORPUS:-/tmp/fuzz-corpus}
fi
mkdir -p "$corpus_root/findings"

echo "=== fuzz: build"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENABLE_FUZZING=ON >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-2}" --target fuzzers >/dev/null

# seed DIR NAME PREFIX FILE: the file with a selector prefix (octal escape
# or empty) as one seed.
seed() {
  { printf "$3"; cat "$4"; } >"$1/$2"
}

# make_seeds TARGET DIR: the seeds of one target.
make_seeds() {
  local target=$1 dir=$2 i=0 f
  local cases=$root/tests/cases samples=$root/config/samples
  mapfile -t logs < <(find "$cases" "$samples" -type f ! -path '*/expected/*' \
                        -name '*.log' | sort)
  case $target in
    column_types)
      find "$cases" "$root/config" -type f -name '*.dat' ! -path '*/expected/*' |
        while read -r f; do i=$((i + 1)); cp "$f" "$dir/types$i"; done ;;
    identifiers)
      find "$cases" "$root/config" -type f -name '*.id' ! -path '*/expected/*' |
        while read -r f; do i=$((i + 1)); cp "$f" "$dir/ids$i"; done ;;
    header | line | parser_run)
      for f in "${logs[@]}"; do
        i=$((i + 1))
        # Rotate the selector so each layout, database and format meets logs.
        seed "$dir" "log$i" "\\$(printf %03o $(( (i * 37) % 256 )))" "$f"
        seed "$dir" "log${i}b" "\\000" "$f"
      done
      if [ "$target" = line ]; then
        seed "$dir" common '\002' "$samples/common.log"
        seed "$dir" squid '\001' "$samples/squid.log"
        seed "$dir" w3c '\005' "$samples/w3c.log"
        seed "$dir" nginx '\010' "$samples/nginx.log"
        # The -f layouts (9 to 15) with logs of their kind.
        seed "$dir" combined_f '\011' "$samples/combined.log"
        seed "$dir" nginx_f '\012' "$samples/nginx_custom.log"
        seed "$dir" apache_f '\013' "$samples/apache_custom.log"
        seed "$dir" caddy_f '\016' "$samples/caddy.log"
        seed "$dir" caddy_map '\017' "$samples/caddy.log"
      fi
      if [ "$target" = parser_run ]; then
        find "$cases" -type f -name '*.gz' | while read -r f; do
          i=$((i + 1)); seed "$dir" "gz$i" "\\000" "$f"; done
      fi ;;
    log_format)
      # A definition (an -f value or a configuration naming the format
      # "fuzz"), a part break, then log lines.
      local brk='\n@@@\n'
      { printf '\000%%h %%l %%u %%t "%%r" %%>s %%b "%%{Referer}i" "%%{User-Agent}i"'"$brk"
        cat "$samples/combined.log"; } >"$dir/apache"
      { printf '\001$remote_addr - $remote_user [$time_local] "$request" $status '
        printf '$body_bytes_sent "$http_referer" "$http_user_agent" rt=$request_time '
        printf 'urt="$upstream_response_time" host=$host'"$brk"
        cat "$samples/nginx_custom.log"; } >"$dir/nginx"
      { printf '\002'; sed 's/vhost_timed$/fuzz/' "$samples/apache_custom.conf"
        printf "$brk"; cat "$samples/apache_custom.log"; } >"$dir/apache_conf"
      { printf '\003'; sed 's/log_format timed/log_format fuzz/' "$samples/nginx_custom.conf"
        printf "$brk"; cat "$samples/nginx_custom.log"; } >"$dir/nginx_conf"
      { printf '\004ts=x-timestamp,request.uri=cs-uri,request.headers.Referer[0]=cs(referer),'
        printf 'duration=%%{ms}T,size=-'"$brk"
        cat "$samples/caddy.log"; } >"$dir/json" ;;
    zxsort_layout | zxsort_run)
      for case_dir in "$cases"/zxsort/*/ "$cases"/pipeline/*/; do
        local zx3 csv types
        zx3=$(find "$case_dir" -maxdepth 1 -name '*.zx3' | head -1)
        csv=$(find "$case_dir" -maxdepth 1 -name '*.csv' | head -1)
        types=$(find "$case_dir" -maxdepth 1 -name '*.dat' | head -1)
        [ -n "$zx3" ] && [ -n "$csv" ] && [ -n "$types" ] || continue
        i=$((i + 1))
        { printf '\201'; cat "$types"; printf '\n@@@\n'; cat "$zx3";
          printf '\n@@@\n'; cat "$csv"; } >"$dir/case$i"
        { printf '\200'; cat "$types"; printf '\n@@@\n'; cat "$zx3";
          printf '\n@@@\n'; cat "$csv"; } >"$dir/case${i}h"
      done
      f=$cases/zxsort/billing_quoted/log.csv
      seed "$dir" hourly '\000' "$f"
      seed "$dir" billing '\003' "$f"
      seed "$dir" billing1 '\001' "$f" ;;
    command_line)
      printf 'a\0 \0b\0' >"$dir/blank"
      printf '\\\0\\\0"\0 \0\\\0' >"$dir/slashes"
      printf 'C\0:\0\\\0P\0r\0o\0g\0 \0F\0\\\0' >"$dir/path" ;;
    zxload_rows)
      # Quoted and unquoted runs over eight columns: time stamp, then text,
      # integer and real columns, ahead of the rows of the case suites.
      find "$cases" -type f \( -name '*.csv' -o -name '*.srt' \) -path '*/expected/*' |
        while read -r f; do
          i=$((i + 1))
          seed "$dir" "quoted$i" '\207\003\002\002\002\000\001\002\002' "$f"
          seed "$dir" "plain$i" '\007\003\002\002\002\000\001\002\002' "$f"
        done ;;
    mount_table)
      cp /proc/self/mounts "$dir/mounts" 2>/dev/null || true
      printf '/dev/sda1 /mnt/with\\040blank ext4 rw 0 0\nproc /proc proc rw 0 0\n' \
        >"$dir/escaped" ;;
  esac
}

# recurs TARGET ARTIFACT: true when a timeout or memory stop shows again with
# the input run alone. A timeout counts by processor time (over 1 second,
# start-up included), not by the clock, which a loaded machine stretches.
recurs() {
  local fuzzer=$build/fuzz/${1}_fuzzer artifact=$2 cpu
  case ${artifact##*/} in
    *-timeout-*)
      cpu=$( { TIMEFORMAT='%3U %3S'; time "$fuzzer" -timeout=60 -rss_limit_mb=512 \
                 "$artifact" >/dev/null 2>&1; } 2>&1 ) || return 0
      awk -v t="$cpu" 'BEGIN { split(t, f, " "); exit !(f[1] + f[2] > 1) }' ;;
    *)
      ! "$fuzzer" -timeout=60 -rss_limit_mb=512 -runs=3 "$artifact" >/dev/null 2>&1 ;;
  esac
}

# run_target TARGET CORPUS SEEDS LOG SECONDS: runs the fuzzer until SECONDS
# have passed. A timeout or memory limit that does not recur when its input
# runs alone is a stall of a loaded machine or the sanitizer's quarantine of
# freed memory, not a hang or a growth: it is set aside in
# findings/spurious/ and the run goes on. Sets rc, execs, cov and ft.
run_target() {
  local target=$1 corpus=$2 seeds=$3 log=$4 left=$5 start artifact n
  # Of this process: runs of one target side by side must not read each
  # other's counts.
  local part=$log.part.$$
  local -a limit=()
  execs=0 cov='' ft='' rc=0
  : >"$log"
  while [ "$left" -gt 0 ]; do
    if [ "$runs" -gt 0 ]; then
      [ "$execs" -ge "$runs" ] && break
      limit=(-runs=$((runs - execs)))
    fi
    start=$(date +%s)
    set +e
    "$build/fuzz/${target}_fuzzer" "$corpus" "$seeds" "${limit[@]}" \
      -dict="$root/fuzz/access_log.dict" -max_total_time="$left" \
      -rss_limit_mb=512 -timeout=1 -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$corpus_root/findings/$target-" >"$part" 2>&1
    rc=$?
    set -e
    n=$(grep -a '^stat::number_of_executed_units:' "$part" | tail -1 | tr -dc 0-9)
    [ -z "$n" ] && n=$(grep -aoE '^#[0-9]+' "$part" | tail -1 | tr -dc 0-9)
    execs=$((execs + ${n:-0}))
    cat "$part" >>"$log"
    rm -f "$part"
    left=$((left - ($(date +%s) - start)))
    [ $rc -eq 0 ] && break
    # ls fails when one of the two patterns matches nothing.
    artifact=$(ls -t "$corpus_root/findings/$target-timeout-"* \
                 "$corpus_root/findings/$target-oom-"* 2>/dev/null | head -1 || true)
    [ -n "$artifact" ] || break
    if ! recurs "$target" "$artifact"; then
      mkdir -p "$corpus_root/findings/spurious"
      mv "$artifact" "$corpus_root/findings/spurious/"
      rc=0
    else
      break
    fi
  done
  cov=$(grep -aoE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -aoE 'ft: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
}

# The targets write their input to files: in memory where the machine has
# a tmpfs, since a disk's writes (and discards) would take most of the time.
if [ -n "${FUZZ_SCRATCH_ROOT:-}" ]; then
  scratch_root=$FUZZ_SCRATCH_ROOT
elif [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch_root=/dev/shm
else
  scratch_root=$corpus_root
fi

failed=0
printf '%-14s %12s %8s %8s %8s %s\n' target executions cov ft seconds findings
for target in "${targets[@]}"; do
  corpus=$corpus_root/$target
  seeds=$corpus_root/seeds/$target
  rm -rf "$seeds"
  mkdir -p "$corpus" "$seeds"
  make_seeds "$target" "$seeds"
  log=$corpus_root/$target.log
  before=$(find "$corpus_root/findings" -maxdepth 1 -type f -name "$target-*" | wc -l)
  start=$(date +%s)
  export FUZZ_SCRATCH=$scratch_root/fuzz-scratch.$target.$$
  run_target "$target" "$corpus" "$seeds" "$log" "$seconds"
  rm -rf "$FUZZ_SCRATCH"
  elapsed=$(( $(date +%s) - start ))
  found=$(( $(find "$corpus_root/findings" -maxdepth 1 -type f -name "$target-*" | wc -l) - before ))
  printf '%-14s %12s %8s %8s %8s %s\n' "$target" "$execs" "${cov:-?}" \
    "${ft:-?}" "$elapsed" "$found"
  if [ $rc -ne 0 ] || [ "$found" -ne 0 ]; then
    failed=1
    echo "--- $target: exit $rc, see $log"
    grep -aE 'ERROR|runtime error|fuzz check failed|SUMMARY' "$log" | head -5 || true
  fi
done
exit $failed
