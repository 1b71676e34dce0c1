#!/usr/bin/env bash
# Builds the simulator and plays the showcase: the client starts the tray
# component and connects, a call rings, is answered from the tray, put on hold,
# taken back and hung up, a number is dialled from the clipboard, and the phone
# is forwarded. The timeline shows what the tray displays and what the client is
# asked after every step.
#
#   scripts/demo.sh            the showcase
#   scripts/demo.sh --verbose  also every event the simulated phone system delivers
#
# It uses the native preset (build/native). QOR_DEMO_BUILD_DIR=DIR builds in DIR
# instead, with the same settings.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

log="$(mktemp)"
trap 'rm -f "$log"' EXIT

if [[ -n "${QOR_DEMO_BUILD_DIR:-}" ]]; then
    build="$QOR_DEMO_BUILD_DIR"
    configure=(cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQOR_SANITIZE=ON)
    compile=(cmake --build "$build" -j2 --target qoricon-sim)
else
    build="$root/build/native"
    configure=(cmake --preset native)
    compile=(cmake --build --preset native --target qoricon-sim)
fi

"$root/scripts/install-deps.sh" --native

echo "Building the simulator in $build (the first build takes a few minutes)..."
if ! "${configure[@]}" >"$log" 2>&1 || ! "${compile[@]}" >>"$log" 2>&1; then
    cat "$log"
    echo "demo.sh: the build failed (log above)" >&2
    exit 1
fi

exec "$build/src/sim/qoricon-sim" demo "$@"
