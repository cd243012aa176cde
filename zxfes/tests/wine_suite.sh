#!/usr/bin/env bash
# End-to-end suite of zxfes under Wine: install, configuration, start with
# the stand-in front end, interrogate, stop, the start parameters, the
# failure paths of the service's start, remove and "-shutdown".
#
# Usage: wine_suite.sh ZXFES_EXE STAND_IN_EXE PROBE_EXE
# Environment: WINE, the Wine loader that runs the build's programs (e.g.
# /usr/lib/wine/wine64); WINESERVER, its server (default: "wineserver"
# beside the loader).
#
# Everything runs in a fresh Wine prefix of its own under a temporary
# directory; its wineserver (and with it every process the suite started)
# is ended and the directory removed on every path.
#
# Events: Wine's event log keeps no records, but with the debug channels
# below every ReportEvent call is printed on the reporting process's
# standard error: a "fixme:advapi:ReportEventW (source,type,category,id,..."
# line, then one "eventlog:ReportEventW" line per insertion string ("err"
# for error events, "trace" for information). The service process inherits
# the standard error of services.exe, which wineboot started; the
# command-line operations print on their own standard error.
set -uo pipefail

zxfes_exe=$1
stand_in_exe=$2
probe_exe=$3
wine=${WINE:?WINE must name the Wine loader}
wineserver=${WINESERVER:-$(dirname "$wine")/wineserver}

work=$(mktemp -d /tmp/zxfes-wine.XXXXXX)
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all,+eventlog,fixme+advapi
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
  "$wineserver" -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect NAME EXPECTED ACTUAL
expect() {
  if [ "$2" != "$3" ]; then
    fail "$1"
    echo "  expected: $(printf '%s' "$2" | sed -n l | tr '\n' ' ')"
    echo "  actual:   $(printf '%s' "$3" | sed -n l | tr '\n' ' ')"
  fi
}

# --- prefix ----------------------------------------------------------------

mkdir -p "$WINEPREFIX"
# A persistent server keeps services.exe (and so the service's standard
# error) the same for the whole suite.
"$wineserver" -p
service_log=$work/services.err
if ! "$wine" wineboot >/dev/null 2>"$service_log"; then
  echo "FAIL: wineboot"
  exit 1
fi

drive_c=$WINEPREFIX/drive_c
program_dir="$drive_c/Program Files/Zentrix Svc"
program_win='C:\Program Files\Zentrix Svc\zxfes.exe'
root="$drive_c/zx home"
root_win='C:\zx home'
mkdir -p "$program_dir" "$root/jakarta-tomcat/lib" "$drive_c/zx"
cp "$zxfes_exe" "$program_dir/zxfes.exe"
cp "$stand_in_exe" "$drive_c/zx/standin.exe"
record="$drive_c/zx/record.txt"
command_line='C:\zx\standin.exe C:\zx\record.txt'
class_path='CLASSPATH=C:\zx home\lib\servlet.jar;C:\zx home\lib\front.jar'
product_key='HKLM\SOFTWARE\Vantal Works\Zentrix'

write_installation() {
  printf '%s\r\nrem never read\r\n' "$command_line" >"$root/zxfesService.bat"
  printf '%s\r\nOTHER=never read\r\n' "$class_path" >"$root/jakarta-tomcat/lib/classpath"
}

registry() { "$wine" reg "$@" >/dev/null 2>&1; }

set_home_dir() {
  registry add "$product_key" /v HomeDir /t REG_SZ /d "$root_win" /f
}

# --- helpers ---------------------------------------------------------------

# Prints the events of a stderr file from line FIRST on, one per line:
# "TYPE ID|insertion|insertion".
parse_events() {
  tail -n +"${2:-1}" "$1" | tr -d '\r' | {
    declare -A head left
    while IFS= read -r line; do
      if [[ $line =~ ^([0-9a-f]+):fixme:advapi:ReportEventW\ \([0-9A-Fa-f]+,0x([0-9a-f]+),0x[0-9a-f]+,0x([0-9a-f]+),[^,]*,0x([0-9a-f]+), ]]; then
        tid=${BASH_REMATCH[1]}
        head[$tid]="$((16#${BASH_REMATCH[2]})) $((16#${BASH_REMATCH[3]}))"
        left[$tid]=$((16#${BASH_REMATCH[4]}))
      elif [[ $line =~ ^([0-9a-f]+):(err|trace):eventlog:ReportEventW\ L\"(.*)$ ]]; then
        tid=${BASH_REMATCH[1]}
        # Long strings are cut and marked with "..." after the quote.
        text=${BASH_REMATCH[3]%\"...}
        text=${text%\"}
        text=${text//\\\\/\\}
        head[$tid]+="|$text"
        left[$tid]=$((${left[$tid]:-1} - 1))
      else
        continue
      fi
      if [ "${left[$tid]}" -eq 0 ]; then
        echo "${head[$tid]}"
        unset "head[$tid]" "left[$tid]"
      fi
    done
  }
}

# The line where the service's next events will start.
mark() { echo $(($(wc -l <"$service_log") + 1)); }

# Service events since MARK, waiting (up to 20 s) until there are COUNT.
service_events() {
  local since=$1 count=$2 events i
  for ((i = 0; i < 200; i++)); do
    events=$(parse_events "$service_log" "$since")
    [ "$(printf '%s' "$events" | grep -c .)" -ge "$count" ] && break
    sleep 0.1
  done
  # Let a report that should not come have its chance to show.
  sleep 0.3
  parse_events "$service_log" "$since"
}

# Runs zxfes from the command line; its output goes to $work/out and its
# events to $work/err.
zxfes() {
  "$wine" "$program_win" "$@" >"$work/out" 2>"$work/err"
  echo $? >"$work/status"
}
zxfes_events() { parse_events "$work/err"; }

probe() { "$wine" "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }

# (awk reads the whole output: grep -q stopping early would fail the
# pipeline with SIGPIPE under pipefail.)
installed() { probe config Zentrix | awk '/^type=/ { found = 1 } END { exit !found }'; }

record_field() { sed -n "s/^$1=//p" "$record" | tr -d '\r'; }

wait_for_record() {
  local i
  for ((i = 0; i < 100; i++)); do
    [ -f "$record" ] && return 0
    sleep 0.1
  done
  return 1
}

# Starts the service with PARAMS and waits until it settles in STATE.
start_service() {
  local state=$1
  shift
  rm -f "$record"
  probe start Zentrix "$@" >/dev/null
  probe wait Zentrix "$state" 15000 >/dev/null || fail "service did not reach state $state (start $*)"
}

# The service passes through "start pending" again after the front end is
# launched and before its "started" event; the manager refuses a stop while
# it is pending, so the stop waits until the service is running again.
stop_service() {
  local answer
  probe wait Zentrix 4 15000 >/dev/null
  answer=$(probe control Zentrix 1) || fail "stop control refused: $answer"
  probe wait Zentrix 1 15000 >/dev/null || fail "service did not stop"
}

front_end_alive() { [ "$(probe alive "$1")" = alive ]; }

# Entries of the front end's environment, without those Wine's loader adds
# to every process it starts (WINE* settings and SystemDrive).
front_end_environment() {
  record_field env | grep -v -e '^WINE[A-Z0-9_]*=' -e '^SystemDrive='
}

nl=$'\n'
write_installation
set_home_dir

# --- command line: nothing, remove of nothing -------------------------------

zxfes -i
expect "-i alone: exit code" 0 "$(cat "$work/status")"
expect "-i alone: no events" "" "$(zxfes_events)"
installed && fail "-i alone installed the service"

zxfes -x
expect "other argument: no events" "" "$(zxfes_events)"
installed && fail "other argument installed the service"

zxfes -r
expect "remove of nothing: output" "Zentrix doesnot exists"$'\r' "$(cat "$work/out")"
expect "remove of nothing: no events" "" "$(zxfes_events)"

zxfes -shutdown
expect "-shutdown of nothing: events" "1 114|Zentrix|cannot get service handle" "$(zxfes_events)"
expect "-shutdown of nothing: output" "Zentrix doesnot exists"$'\r' "$(cat "$work/out")"

# --- install -----------------------------------------------------------------

# Another service already shows the display name: creating the service
# fails, but the event source is registered all the same.
event_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Zentrix'
"$wine" sc create Blocker binpath= 'C:\zx\none.exe' displayname= Zentrix >/dev/null 2>&1
zxfes -i x
expect "install blocked: events" "1 101|Zentrix|cannot create service" "$(zxfes_events)"
installed && fail "install blocked: installed all the same"
expect "install blocked: message file written" \
  "    EventMessageFile    REG_EXPAND_SZ    $program_win" \
  "$("$wine" reg query "$event_key" /v EventMessageFile 2>/dev/null | tr -d '\r' | grep EventMessageFile)"
"$wine" sc delete Blocker >/dev/null 2>&1
registry delete "$event_key" /f

zxfes -i anything
expect "install: exit code" 0 "$(cat "$work/status")"
expect "install: events" "4 100|Zentrix" "$(zxfes_events)"
expect "install: configuration" \
  "type=0x110${nl}start=2${nl}error=0${nl}path=\"$program_win\"${nl}display=Zentrix" \
  "$(probe config Zentrix)"
expect "install: message file, unquoted" \
  "    EventMessageFile    REG_EXPAND_SZ    $program_win" \
  "$("$wine" reg query "$event_key" /v EventMessageFile 2>/dev/null | tr -d '\r' | grep EventMessageFile)"
expect "install: types supported" "    TypesSupported    REG_DWORD    0x7" \
  "$("$wine" reg query "$event_key" /v TypesSupported 2>/dev/null | tr -d '\r' | grep TypesSupported)"

zxfes -i again
expect "reinstall removes first" "4 102|Zentrix${nl}4 100|Zentrix" "$(zxfes_events)"

# --- start, interrogate, stop ---------------------------------------------------

m=$(mark)
start_service 4
wait_for_record || fail "front end not launched"
expect "start: events" \
  "4 118|Zentrix|$root_win${nl}4 119|Zentrix|$command_line${nl}4 120|Zentrix|$class_path${nl}4 106|Zentrix" \
  "$(service_events "$m" 4)"
expect "front end: command line" "$command_line" "$(record_field cmdline)"
expect "front end: exactly two environment entries" \
  "$class_path${nl}SystemRoot=C:\\windows" "$(front_end_environment)"
expect "front end: empty desktop name" "" "$(record_field desktop)"
[ "$(record_field title)" = ZXFES ] && fail "front end: titled without a start parameter"
front_end=$(record_field pid)
front_end_alive "$front_end" || fail "front end not running"

m=$(mark)
probe control Zentrix 4 >/dev/null
probe control Zentrix 4 >/dev/null
expect "interrogate: one event each" "4 107|Zentrix${nl}4 107|Zentrix" "$(service_events "$m" 2)"
expect "interrogate: still running" "state=4 exit=0" "$(probe state Zentrix)"

# A user-defined control is accepted silently; the interrogate after it
# shows the handler has run it.
m=$(mark)
probe control Zentrix 200 >/dev/null || fail "user control refused"
probe control Zentrix 4 >/dev/null
expect "user control: no event of its own" "4 107|Zentrix" "$(service_events "$m" 1)"

m=$(mark)
stop_service
expect "stop: events" "4 108|Zentrix" "$(service_events "$m" 1)"
expect "stop: exit code" "state=1 exit=0" "$(probe state Zentrix)"
front_end_alive "$front_end" && fail "stop: front end still running"

# --- start parameters -----------------------------------------------------------

m=$(mark)
start_service 4 -debug
wait_for_record || fail "-debug: front end not launched"
expect "-debug: no command events" "4 118|Zentrix|$root_win${nl}4 106|Zentrix" \
  "$(service_events "$m" 2)"
expect "-debug: interactive desktop" 'WinSta0\Default' "$(record_field desktop)"
expect "-debug: title" "ZXFES" "$(record_field title)"
expect "-debug: two environment entries" \
  "$class_path${nl}SystemRoot=C:\\windows" "$(front_end_environment)"
front_end=$(record_field pid)
m=$(mark)
stop_service
expect "-debug stop: events" "4 108|Zentrix" "$(service_events "$m" 1)"
front_end_alive "$front_end" && fail "-debug stop: front end still running"

m=$(mark)
start_service 4 -zxfes
wait_for_record || fail "-zxfes: front end not launched"
expect "-zxfes: events" \
  "4 118|Zentrix|$root_win${nl}4 119|Zentrix|$command_line${nl}4 120|Zentrix|$class_path${nl}4 106|Zentrix" \
  "$(service_events "$m" 4)"
expect "-zxfes: interactive desktop" 'WinSta0\Default' "$(record_field desktop)"
expect "-zxfes: title" "ZXFES" "$(record_field title)"
m=$(mark)
stop_service
expect "-zxfes stop: events" "4 108|Zentrix" "$(service_events "$m" 1)"

# --- failed launch ---------------------------------------------------------------

printf '\r\n%s\r\n' "$command_line" >"$root/zxfesService.bat"
m=$(mark)
start_service 4
expect "empty command: launch fails, service runs" \
  "4 118|Zentrix|$root_win${nl}4 119|Zentrix|${nl}4 120|Zentrix|$class_path${nl}1 111|Zentrix|cannot start ZXFES" \
  "$(service_events "$m" 4)"
[ -f "$record" ] && fail "empty command: something was launched"
expect "empty command: running" "state=4 exit=0" "$(probe state Zentrix)"
m=$(mark)
stop_service
expect "empty command: stop reports 116 then 108" \
  "4 116|Zentrix|cannot stop ZXFES${nl}4 108|Zentrix" "$(service_events "$m" 2)"

m=$(mark)
start_service 4 -debug
expect "empty command, -debug: Tomcat named" \
  "4 118|Zentrix|$root_win${nl}1 111|Zentrix|Cannot start Tomcat" "$(service_events "$m" 2)"
m=$(mark)
stop_service
expect "empty command, -debug: stop" \
  "4 116|Zentrix|cannot stop Tomcat${nl}4 108|Zentrix" "$(service_events "$m" 2)"
write_installation

# --- failed initialisation ---------------------------------------------------------

rm "$root/zxfesService.bat"
m=$(mark)
start_service 1
expect "batch file missing: events" \
  "4 118|Zentrix|$root_win${nl}1 109|Zentrix|$root_win\\zxfesService.bat${nl}1 105|Zentrix" \
  "$(service_events "$m" 3)"
expect "batch file missing: stopped with the error" "state=1 exit=2" "$(probe state Zentrix)"
write_installation

rm "$root/jakarta-tomcat/lib/classpath"
m=$(mark)
start_service 1
expect "class-path file missing: events" \
  "4 118|Zentrix|$root_win${nl}1 109|Zentrix|$root_win\\jakarta-tomcat\\lib\\classpath${nl}1 105|Zentrix" \
  "$(service_events "$m" 3)"
write_installation

root_missing="1 113|Zentrix|SOFTWARE\\Vantal Works\\Zentrix${nl}1 105|Zentrix"
registry delete "$product_key" /v HomeDir /f
m=$(mark)
start_service 1
expect "HomeDir missing: events" "$root_missing" "$(service_events "$m" 2)"
expect "HomeDir missing: stopped with the error" "state=1 exit=2" "$(probe state Zentrix)"

registry add "$product_key" /v HomeDir /t REG_DWORD /d 7 /f
m=$(mark)
start_service 1
expect "HomeDir not text: events" "$root_missing" "$(service_events "$m" 2)"
expect "HomeDir not text: stopped with the error" "state=1 exit=1804" "$(probe state Zentrix)"

# The longest root (999 characters) is taken; its files cannot exist. One
# character more is treated like a missing value. (Wine's trace cuts long
# insertion strings, so only the event ids are compared.)
long_root="C:\\$(printf '%0996d' 0)"
registry add "$product_key" /v HomeDir /t REG_SZ /d "$long_root" /f
m=$(mark)
start_service 1
expect "longest root: taken" "4 118${nl}1 109${nl}1 105" "$(service_events "$m" 3 | cut -d'|' -f1)"
registry add "$product_key" /v HomeDir /t REG_SZ /d "${long_root}0" /f
m=$(mark)
start_service 1
expect "root too long: events" "$root_missing" "$(service_events "$m" 2)"

registry delete "$product_key" /f
m=$(mark)
start_service 1
expect "key missing: events" "$root_missing" "$(service_events "$m" 2)"
expect "key missing: stopped with the error" "state=1 exit=2" "$(probe state Zentrix)"

# --- registry views ---------------------------------------------------------------

# A 32-bit installer leaves the root in the 32-bit view, a 64-bit one in the
# 64-bit view; either build finds it in either, the 32-bit view first. The
# roots do not exist, so each start ends after reporting the root it read.
root_read() { service_events "$1" 3 | head -n 1; }
for view in 32 64; do
  registry add "$product_key" /v HomeDir /t REG_SZ /d "C:\\view$view" /f /reg:$view
  m=$(mark)
  start_service 1
  expect "HomeDir in the $view-bit view only" "4 118|Zentrix|C:\\view$view" "$(root_read "$m")"
  registry delete "$product_key" /f /reg:$view
done
# Only a 64-bit prefix has the 32-bit system folder beside its own (the
# registry files are written by the server later, so they cannot tell).
if [ -d "$drive_c/windows/syswow64" ]; then
  registry add "$product_key" /v HomeDir /t REG_SZ /d 'C:\view64' /f /reg:64
  registry add "$product_key" /v HomeDir /t REG_SZ /d 'C:\view32' /f /reg:32
  m=$(mark)
  start_service 1
  expect "HomeDir in both views: the 32-bit one" '4 118|Zentrix|C:\view32' "$(root_read "$m")"
  registry delete "$product_key" /f /reg:32
  registry delete "$product_key" /f /reg:64
else
  echo "note: a 32-bit prefix has one registry view; the check of both views is left out"
fi
set_home_dir

# --- started from a console ----------------------------------------------------------

m=$(mark)
rm -f "$record"
zxfes
expect "console start: events" \
  "1 113|Zentrix|Failed to execService error code 1063${nl}4 106|Zentrix" "$(zxfes_events)"
expect "console start: exit code" 0 "$(cat "$work/status")"
probe wait Zentrix 4 15000 >/dev/null || fail "console start: service not running"
wait_for_record || fail "console start: front end not launched"
service_events "$m" 4 >/dev/null

# --- shutdown and remove -----------------------------------------------------------

front_end=$(record_field pid)
m=$(mark)
zxfes -shutdown
expect "-shutdown of a running service: events" "4 102|Zentrix" "$(zxfes_events)"
expect "-shutdown: service stopped" "4 108|Zentrix" "$(service_events "$m" 1)"
for ((i = 0; i < 100; i++)); do installed || break; sleep 0.1; done
installed && fail "-shutdown: service still installed"
front_end_alive "$front_end" && fail "-shutdown: front end still running"

zxfes -i x
zxfes -shutdown
expect "-shutdown of a stopped service: events" "4 102|Zentrix" "$(zxfes_events)"
installed && fail "-shutdown of a stopped service: still installed"

zxfes -i x
zxfes -r
expect "remove: events" "4 102|Zentrix" "$(zxfes_events)"
expect "remove: no output" "" "$(cat "$work/out")"
installed && fail "remove: still installed"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
