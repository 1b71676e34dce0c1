#!/usr/bin/env bash
# Measures qorIcon.dll under Wine for the performance notes (not a test):
#   measure.sh <state dir> <measure exe> <qorIcon.dll> <outside server dll...>
# Prints "name value" lines. Wake-ups are the voluntary context switches of all
# threads of the measuring process, read from /proc while it only pumps messages.
set -uo pipefail
state=$1 exe=$2 dll=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/wine.sh" "$state" setup "$exe" "$@" >/dev/null || exit 1
bash "$here/wine.sh" "$state" register "$dll" >/dev/null || exit 1
export WINEPREFIX="$state/prefix" WINEDEBUG=-all
export DISPLAY XAUTHORITY
DISPLAY=$(cat "$state/display")
XAUTHORITY=$(cat "$state/xauthority")

switches() {  # total voluntary context switches of all threads of a process
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'
}
idle() {  # idle <mode> <seconds>
  local log="$state/$1.log" seconds=$2
  wine "$exe" "$1" $((seconds + 2)) >"$log" 2>&1 &
  for i in $(seq 1 200); do grep -q ready "$log" 2>/dev/null && break; sleep 0.1; done
  local pid
  pid=$(pgrep -n -f "$(basename "$exe") $1 ")
  local a b
  a=$(switches "$pid")
  sleep "$seconds"
  b=$(switches "$pid")
  wait
  echo "wakeups_per_s_$1 $(awk -v a="$a" -v b="$b" -v s="$seconds" 'BEGIN {printf "%.1f", (b - a) / s}')"
}

idle baseline 10
idle timer100 10
idle idle 10
idle idle-after-dblclick 10
wine "$exe" startup 20 >"$state/startup.log" 2>&1 && cat "$state/startup.log"
wine "$exe" cycles 1000 >"$state/cycles.log" 2>&1 && cat "$state/cycles.log"
bash "$here/wine.sh" "$state" teardown >/dev/null
