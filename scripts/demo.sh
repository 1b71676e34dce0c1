#!/usr/bin/env bash
# Builds the simulator and plays the showcase: the client starts the tray
# component and connects, a call rings, is answered from the tray, put on hold,
# taken back and hung up, a number is dialled from the clipboard, and the phone
# is forwarded. The timeline shows what the tray displays and what the client is
# asked after every step.
#
# It then plays the same showcase against the real qorIcon.dll and its parts in
# Wine's notification area (windows preset, build/windows, a throwaway Wine
# prefix) and saves a picture of the tray after every step into out/demo/. On a
# fresh machine, run as root, it first installs Wine, Xvfb and the mingw-w64
# cross compiler for that (a few minutes). QOR_DEMO_WINE=0 skips that part.
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

# The second half plays the real DLL in Wine's tray: it needs the cross compiler,
# Wine and Xvfb as well, which install-deps.sh installs (as root) when missing.
if [[ "${QOR_DEMO_WINE:-1}" == 0 ]]; then
    "$root/scripts/install-deps.sh" --native
elif ! "$root/scripts/install-deps.sh"; then
    echo "(the Wine half's packages could not be installed: the core half only)"
    QOR_DEMO_WINE=0
    "$root/scripts/install-deps.sh" --native
fi

echo "Building the simulator in $build (the first build takes a few minutes)..."
if ! "${configure[@]}" >"$log" 2>&1 || ! "${compile[@]}" >>"$log" 2>&1; then
    cat "$log"
    echo "demo.sh: the build failed (log above)" >&2
    exit 1
fi

"$build/src/sim/qoricon-sim" demo "$@"

if [[ "${QOR_DEMO_WINE:-1}" == 0 ]] || ! command -v wine >/dev/null ||
   ! command -v xvfb-run >/dev/null || ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
    echo
    echo "(Wine, xvfb-run or mingw-w64 missing: the real DLL was not played; run as root to install them)"
    exit 0
fi

echo
echo "Now the same showcase against the real qorIcon.dll under Wine."
echo "Building the Windows DLLs and the simulator in build/windows (the first build takes several minutes)..."
if ! cmake --preset windows >"$log" 2>&1 ||
   ! cmake --build --preset windows --target qorIcon trayicon qoricons qortranslate qorlog \
       standin_client qoricon-sim >>"$log" 2>&1; then
    cat "$log"
    echo "demo.sh: the Windows build failed (log above)" >&2
    exit 1
fi
win="$root/build/windows"
state="$(mktemp -d /tmp/qoricon-demo.XXXXXX)"
out="$root/out/demo"
rm -rf "$out"
mkdir -p "$out"
cleanup() {
    bash "$root/tests/windows/wine.sh" "$state" teardown >/dev/null 2>&1 || true
    rm -rf "$state" "$log"
}
trap cleanup EXIT
bash "$root/tests/windows/wine.sh" "$state" setup "$(find "$win" -name qorphone.exe | head -1)" \
    "$(find "$win" -name qoricons.dll | head -1)" "$(find "$win" -name qortranslate.dll | head -1)" \
    "$(find "$win" -name qorlog.dll | head -1)" "$(find "$win" -name trayicon.ocx | head -1)" >/dev/null
bash "$root/tests/windows/wine.sh" "$state" register "$win/bin/qorIcon.dll" >/dev/null
(
    export WINEPREFIX="$state/prefix" WINEDEBUG=-all DISPLAY XAUTHORITY
    DISPLAY=$(cat "$state/display")
    XAUTHORITY=$(cat "$state/xauthority")
    cd "$root/tests/scenarios"
    wine "$win/bin/qoricon-sim.exe" run --screenshots "Z:${out//\//\\}" showcase.scn
) >"$log" 2>&1 || { cat "$log"; echo "demo.sh: the showcase failed under Wine" >&2; exit 1; }
grep -E "^(PASS|FAIL)" "$log"
if command -v convert >/dev/null; then
    for bmp in "$out"/*.bmp; do
        convert "$bmp" -scale 400% "${bmp%.bmp}.png" && rm -f "$bmp"
    done
fi
echo "The tray after every step: $(ls "$out" | wc -l) pictures in out/demo/"
