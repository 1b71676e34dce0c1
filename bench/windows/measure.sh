#!/usr/bin/env bash
# Measures qorIcon.dll under Wine for the performance notes (not a test):
#   measure.sh <state dir> <measure exe> <qorfloor.dll> <qorIcon.dll> <outside server dll...>
# Prints "name value" lines. QOR_MEASURE picks what is measured (default: all of
# "idle startup first-icon stages cycles"); QOR_FIRST_ICON_RUNS the alternated
# runs of first-icon and the runs of stages (default 21).
# Wake-ups are the voluntary context switches of all threads of the measuring
# process, read from /proc while it only pumps messages.
set -uo pipefail
state=$1 exe=$2 floor=$3 dll=$4
shift 4
what=${QOR_MEASURE:-idle startup first-icon stages cycles}
runs=${QOR_FIRST_ICON_RUNS:-21}
here=$(cd "$(dirname "$0")" && pwd)
wine_sh="$here/../../tests/windows/wine.sh"  # the Windows tests' prefix and display
bash "$wine_sh" "$state" setup "$exe" "$@" >/dev/null || exit 1
bash "$wine_sh" "$state" register "$dll" >/dev/null || exit 1
export WINEPREFIX="$state/prefix" WINEDEBUG=-all
export DISPLAY XAUTHORITY
DISPLAY=$(cat "$state/display")
XAUTHORITY=$(cat "$state/xauthority")
wine regsvr32 /s "$(printf 'Z:%s' "$floor" | tr / '\\')" >"$state/register-floor.log" 2>&1 ||
  { echo "registering $floor failed"; exit 1; }
wants() { [[ " $what " == *" $1 "* ]]; }
# Removing the last icon of the tray stalls for seconds: one of another process
# stays there throughout (the prefix's teardown ends it).
wine "$exe" keeper 3600 >"$state/keeper.log" 2>&1 &
for i in $(seq 1 200); do grep -q ready "$state/keeper.log" 2>/dev/null && break; sleep 0.1; done

switches() {  # total voluntary context switches of all threads of a process
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'
}
idle() {  # idle <mode> <seconds>
  local log="$state/$1.log" seconds=$2
  wine "$exe" "$1" $((seconds + 2)) >"$log" 2>&1 &
  local job=$!
  for i in $(seq 1 200); do grep -q ready "$log" 2>/dev/null && break; sleep 0.1; done
  local pid
  pid=$(pgrep -n -f "$(basename "$exe") $1 ")
  local a b
  a=$(switches "$pid")
  sleep "$seconds"
  b=$(switches "$pid")
  wait "$job"
  echo "wakeups_per_s_$1 $(awk -v a="$a" -v b="$b" -v s="$seconds" 'BEGIN {printf "%.1f", (b - a) / s}')"
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Start-up as a client meets it: each run a fresh process that loads the servers,
# creates one object and waits for its icon. The desktop is warm: the wineserver
# and the tray are up, the keeper's icon stays in the tray, and a few runs of
# each go first. The Launcher and the floor take turns (ABBA, so neither
# always runs just after the other), and the medians are compared.
first_icon() {
  : >"$state/first-icon.txt"
  one() {  # one <launcher|floor> <record?>
    wine "$exe" first-icon "$1" >"$state/first-icon-$1.log" 2>&1 || {
      echo "first-icon $1 failed:"; cat "$state/first-icon-$1.log"; return 1; }
    [ "$2" = record ] && grep -E '^(first_icon|created)_' "$state/first-icon-$1.log" >>"$state/first-icon.txt"
    return 0
  }
  for i in 1 2 3; do one launcher warm-up && one floor warm-up || return 1; done
  for i in $(seq 1 "$runs"); do
    if [ $((i % 2)) -eq 1 ]; then
      one launcher record && one floor record || return 1
    else
      one floor record && one launcher record || return 1
    fi
  done
  local kind name m floor_m launcher_m
  for name in first_icon created; do
    for kind in launcher floor; do
      m=$(awk -v k="${name}_${kind}_ms" '$1 == k {print $2}' "$state/first-icon.txt" | median)
      echo "${name}_${kind}_median_ms $m"
      [ "$kind" = launcher ] && launcher_m=$m || floor_m=$m
    done
    [ "$name" = first_icon ] &&
      echo "first_icon_ratio $(awk -v a="$launcher_m" -v b="$floor_m" 'BEGIN {printf "%.2f", a / b}')"
  done
  echo "first_icon_runs $runs"
}

# Where the Launcher's start-up goes: its steps one by one through the outside
# parts, each a median over fresh processes.
stages() {
  : >"$state/stages.txt"
  local i name
  for i in $(seq 1 "$runs"); do
    wine "$exe" stages "$(printf 'Z:%s' "$dll" | tr / '\\')" >"$state/stages.log" 2>&1
    grep '^stage_' "$state/stages.log" >>"$state/stages.txt"
  done
  for name in $(awk '{print $1}' "$state/stages.txt" | awk '!seen[$0]++'); do
    echo "${name}_median $(awk -v k="$name" '$1 == k {print $2}' "$state/stages.txt" | median)"
  done
}

if wants idle; then
  idle baseline 10
  idle timer100 10
  idle idle 10
  idle idle-after-dblclick 10
fi
wants startup && wine "$exe" startup 20 >"$state/startup.log" 2>&1 && cat "$state/startup.log"
wants first-icon && first_icon
wants stages && stages
wants cycles && wine "$exe" cycles 1000 >"$state/cycles.log" 2>&1 && cat "$state/cycles.log"
bash "$wine_sh" "$state" teardown >/dev/null
