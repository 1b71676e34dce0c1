#!/usr/bin/env bash
# One end-to-end run under Wine: a fresh prefix and X display (wine.sh setup), the
# outside parts registered except the one this run goes without, qorIcon.dll
# registered, then the client's suites for this registration.
#
#   e2e.sh <state dir> <gtest filter> <without: none|dll name> <client exe>
#          <stand-in client exe> <qorIcon.dll> <outside part...>
set -uo pipefail
state=$1 filter=$2 without=$3 client=$4 standin=$5 qoricon=$6
shift 6
wine_sh="$(dirname "$0")/../wine.sh"

parts=()
for dll in "$@"; do
  [ "$(basename "$dll")" = "$without" ] || parts+=("$dll")
done
[ "$without" = none ] || [ ${#parts[@]} -lt $# ] || { echo "FAIL: no part named $without"; exit 1; }

# However the run ends, this prefix's Wine and display go with it; the logs stay,
# the prefix (about 700 MB) does not.
finish() {
  bash "$wine_sh" "$state" teardown >/dev/null
  WINEPREFIX="$state/prefix" wineserver -w 2>/dev/null
  rm -rf "$state/prefix"
}
trap finish EXIT
# qorIcon.dll goes last, registered like the parts: its own registration is
# checked in detail by the client tests' run.
bash "$wine_sh" "$state" setup "$standin" "${parts[@]}" "$qoricon" || exit 1
# The x86 build's control, when there is one, as Wine names it.
if [ -f "${QOR_X86_TRAYICON:-}" ]; then
  QOR_X86_TRAYICON=$(printf 'Z:%s' "$QOR_X86_TRAYICON" | tr / '\\')
  export QOR_X86_TRAYICON
else
  unset QOR_X86_TRAYICON
fi
# GoogleTest takes its filter from the environment, which Wine passes on; '+'
# separates runs that each need a process of their own.
IFS=+ read -r -a runs <<<"$filter"
rc=0
for run in "${runs[@]}"; do
  GTEST_FILTER=$run bash "$wine_sh" "$state" client "$client" || rc=1
  # A filter that matches nothing would pass silently.
  grep -q '^\[==========\] [1-9][0-9]* tests\{0,1\} from' "$state/logs/client.log" ||
    { echo "FAIL: no test matches $run"; rc=1; }
done
exit $rc
