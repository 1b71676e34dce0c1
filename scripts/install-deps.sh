#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when run as root and
# something is missing. Elsewhere it only says what is missing.
set -euo pipefail

# --native: only what the native build (tests, simulator, demo, fuzz targets) needs.
packages=(cmake g++ googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev)
if [ "${1:-}" != "--native" ]; then
  packages+=(valgrind g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools libwine-dev
             wine wine64 xvfb xauth librsvg2-bin icoutils imagemagick fonts-dejavu-core x11-apps
             wixl msitools)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "== installing (a few minutes on a fresh machine): ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "missing packages (install them as root): ${missing[*]}" >&2
  exit 1
fi
