#!/usr/bin/env bash
# Runs end-to-end cases: each case directory holds the inputs, a file `cmd`
# with one program run per line ("parser ARGS... => STATUS" or
# "zxsort ARGS... => STATUS"), and `expected/` with the files the runs must
# leave, compared byte for byte. Optional: `absent` (names that must not
# exist afterwards) and `mask.sed` (extra sed masks for both sides).
#
# Usage: run_cases.sh CASES_DIR [CASE...]
# Environment: PARSER, ZXSORT (program paths), RUNNER (the Wine loader for
# Windows builds, e.g. /usr/lib/wine/wine64).
set -u
export LC_ALL=C
cases_dir=$1
shift
selected=("$@")

# Masks for what differs between runs: run-log time stamps, durations,
# per-second rates and memory figures.
default_masks='
s/^[0-9]{8}_[0-9]{6} /MMDDYYYY_HHMMSS /
s/"Duration \(sec\) = [0-9.]+"/"Duration (sec) = D"/
/"(Bytes|Lines) Per Second = [0-9]+"/d
s/"Duration \(sec\) =  [0-9.]+ or \([0-9.]+ mins\): "/"Duration (sec) =  D or (M mins): "/
s/"physical mem: [0-9]+ bytes, free physical mem: [0-9]+ bytes, percentage used: [0-9.]+%:"/"physical mem: MEMORY"/
'

masked() {  # masked FILE [EXTRA_SED_FILE]
  if [ -n "${2:-}" ] && [ -f "$2" ]; then
    sed -E -e "$default_masks" "$1" | sed -E -f "$2"
  else
    sed -E -e "$default_masks" "$1"
  fi
}

program_path() {
  case "$1" in
    parser) echo "${PARSER:?PARSER not set}" ;;
    zxsort) echo "${ZXSORT:?ZXSORT not set}" ;;
    *) echo "unknown program $1" >&2; return 1 ;;
  esac
}

passed=0
failed=0
failures=()
for case_dir in "$cases_dir"/*/; do
  name=$(basename "$case_dir")
  if [ ${#selected[@]} -gt 0 ] && [[ ! " ${selected[*]} " == *" $name "* ]]; then
    continue
  fi
  work=$(mktemp -d)
  # Inputs: everything but the case's own description files.
  (cd "$case_dir" && find . -mindepth 1 -maxdepth 1 ! -name expected ! -name cmd \
      ! -name absent ! -name mask.sed ! -name README -exec cp -r {} "$work"/ \;)
  ok=1
  reason=""
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line%$'\r'}
    [ -z "$line" ] && continue
    case "$line" in \#*) continue ;; esac
    command_part=${line% => *}
    want=${line##* => }
    read -r -a words <<<"$command_part"
    prog=$(program_path "${words[0]}") || { ok=0; reason="bad cmd"; break; }
    (cd "$work" && TZ=${CASE_TZ:-UTC} ${RUNNER:-} "$prog" "${words[@]:1}" \
        >"$work/.stdout" 2>"$work/.stderr" </dev/null)
    got=$?
    if [ "$got" -ne $(( want & 255 )) ]; then
      ok=0
      reason="'$command_part' exited $got, expected $(( want & 255 )) ($want)"
      break
    fi
  done <"$case_dir/cmd"
  if [ $ok -eq 1 ] && [ -d "$case_dir/expected" ]; then
    while IFS= read -r -d '' expected; do
      rel=${expected#"$case_dir/expected/"}
      produced="$work/$rel"
      if [ ! -f "$produced" ]; then
        ok=0; reason="missing output $rel"; break
      fi
      if ! cmp -s <(masked "$expected" "$case_dir/mask.sed") \
                  <(masked "$produced" "$case_dir/mask.sed"); then
        ok=0
        reason="output $rel differs:
$(diff <(masked "$expected" "$case_dir/mask.sed" | cat -A) \
       <(masked "$produced" "$case_dir/mask.sed" | cat -A) | head -20)"
        break
      fi
    done < <(find "$case_dir/expected" -type f -print0 | sort -z)
  fi
  if [ $ok -eq 1 ] && [ -f "$case_dir/absent" ]; then
    while IFS= read -r gone || [ -n "$gone" ]; do
      [ -z "$gone" ] && continue
      if [ -e "$work/$gone" ]; then ok=0; reason="$gone should not exist"; break; fi
    done <"$case_dir/absent"
  fi
  if [ $ok -eq 1 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name: $reason")
    if [ -n "${KEEP_FAILED:-}" ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
    continue
  fi
  rm -rf "$work"
done

for f in "${failures[@]}"; do echo "FAILED $f"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
