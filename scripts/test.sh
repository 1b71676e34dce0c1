#!/usr/bin/env bash
# Builds and runs every test: the native core suite and, where the cross tools and
# Wine are available, the Windows DLL under Wine. On a fresh machine run as root it
# installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

"$(dirname "$0")/install-deps.sh"

echo "== native: configure, build, test"
cmake --preset native
cmake --build --preset native
ctest --preset native

echo "== windows: cross build (x86_64 and i686)"
cmake --preset windows
cmake --build --preset windows
cmake --preset windows-i686
cmake --build --preset windows-i686

if [ -f tests/windows/CMakeLists.txt ]; then
  echo "== windows: tests under Wine"
  ctest --preset windows
fi

echo "== fuzz: each target fuzzed for a fixed time (clang, libFuzzer, ASan + UBSan)"
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz
