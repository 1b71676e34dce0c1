#!/bin/sh
# Runs the outside parts' checks under Wine: a fresh prefix per run, one X display
# for every Wine step (xvfb-run), outputs to files (Wine's services keep the stdio
# of whoever started them), the prefix's wineserver ended by prefix at the end.
#
#   run_parts.sh <work dir> <partstest.exe> <case...> -- <dll...>
# A case is icons, translate, log, tray, keys, dpi or batch.
set -u
if [ -z "${QOR_PARTS_UNDER_X:-}" ]; then
  QOR_PARTS_UNDER_X=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$1 exe=$2
shift 2
cases=""
while [ $# -gt 0 ] && [ "$1" != "--" ]; do cases="$cases $1"; shift; done
[ $# -gt 0 ] && shift
dlls="$*"

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# However the run ends, this prefix's Wine (and nothing else) goes with it.
trap 'wineserver -k 2>/dev/null' EXIT
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
fail=0
step() {  # step <log name> <command...>: runs one Wine step, output to a file
  log="$work/$1.log"
  shift
  "$@" >"$log" 2>&1
}

# A persistent server makes each later Wine start cheap (about 0.2 s instead of 1.3 s).
mkdir -p "$WINEPREFIX"
wineserver -p
step wineboot wine wineboot -i
# Wine's HID bus polls a thousand times a second unless told not to.
step winebus wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v "Enable SDL" /t REG_DWORD /d 0 /f
for dll in $dlls; do
  if ! step "register-$(basename "$dll")" wine regsvr32 /s "$(winpath "$dll")"; then
    echo "registration of $dll failed"; fail=1
  fi
done

# Removing the last tray icon stalls for seconds on a bare X server: keep one.
wine "$exe" keeper >"$work/keeper.log" 2>&1 &
for i in $(seq 1 100); do grep -q . "$work/keeper.log" 2>/dev/null && break; sleep 0.1; done

for name in $cases; do
  arg=""
  [ "$name" = log ] && arg=$(winpath "$work/logs")
  step "$name" wine "$exe" "$name" $arg
  if ! grep -q "^RESULT $name ok" "$work/$name.log"; then
    echo "case $name failed:"; cat "$work/$name.log"; fail=1
  else
    echo "case $name ok"
  fi
done

# Unregistration must leave nothing behind: no ProgID and none of the
# identifiers the IDL files declare (classes, interfaces, libraries).
if [ -n "$cases" ]; then
  for dll in $dlls; do
    step "unregister-$(basename "$dll")" wine regsvr32 /u /s "$(winpath "$dll")" || fail=1
  done
  src=$(cd "$(dirname "$0")/../../../src/windows" && pwd)
  ids=$(cat "$src"/icons/*.idl "$src"/translator/*.idl "$src"/logger/*.idl "$src"/trayicon/*.idl |
        grep -o 'uuid([0-9A-Fa-f-]*)' | sed 's/uuid(\(.*\))/\1/' | paste -sd '|')
  step export wine regedit /E "$(winpath "$work/registry.reg")"
  iconv -f UTF-16LE -t UTF-8 "$work/registry.reg" >"$work/registry.txt" 2>/dev/null
  if grep -i -E "TrayIconCtl\.|QORIcons\.|QORTranslate\.|QORLog\.|$ids" "$work/registry.txt" \
       >"$work/leftovers.txt"; then
    echo "left behind after unregistration:"; cat "$work/leftovers.txt"; fail=1
  else
    echo "unregistration left nothing"
  fi
fi

exit $fail
