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
# GoogleTest takes its filter from the environment, which Wine passes on.
GTEST_FILTER=$filter bash "$wine_sh" "$state" client "$client"
