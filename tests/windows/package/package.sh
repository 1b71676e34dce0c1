#!/usr/bin/env bash
# The release as an administrator meets it. Each Wine step runs in a prefix of its
# own (tests/windows/wine.sh), its output in files; regsnap.exe takes the
# snapshots of the registry and Program Files that are compared.
#
#   package.sh contents <qorreg> <objdump> <packages dir> <x64|x86> <version>
#   package.sh msi      <state> <msi> <regsnap.exe> <e2e tests exe> <stand-in exe> <link tests exe>
#   package.sh msi-x86  <state> <msi> <regsnap.exe> <stand-in exe>
#   package.sh peruser  <state> <regsnap.exe> <stand-in exe> <module...>
#   package.sh regfree  <state> <client exe> <stand-in exe> <zip>
#   package.sh x86      <state> <x86 build dir> <client.js> <stand-in exe>
#
# Exit 77: skipped, with the reason on the last line.
set -uo pipefail
action=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
wine_sh="$here/../wine.sh"
modules=(qorIcon.dll trayicon.ocx qoricons.dll qortranslate.dll qorlog.dll)
failed=0

fail() { echo "FAIL: $*"; failed=1; }
skip() { echo "SKIP: $*"; exit 77; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# ---- Wine helpers (after start) ----------------------------------------------------
start() {  # start <state> <stand-in>: a fresh prefix and display, torn down at exit
  state=$1
  trap 'bash "$wine_sh" "$state" teardown >/dev/null' EXIT
  bash "$wine_sh" "$state" setup "$2" >"$state.setup.log" 2>&1 ||
    { cat "$state.setup.log"; echo "FAIL: Wine prefix"; exit 1; }
  export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  DISPLAY=$(cat "$state/display")
  XAUTHORITY=$(cat "$state/xauthority")
  export DISPLAY XAUTHORITY
}
run() {  # run <log name> <command...>: one Wine step, output in a file, its exit code
  local log="$state/logs/$1.log"
  shift
  timeout 180 "$@" >"$log" 2>&1
}
# snap <name> [--classes machine|user]: a snapshot in $state/<name>.txt, lower case
# (the registry does not care about letter case, and neither do the comparisons).
snap() {
  local name=$1
  shift
  local args=("$@")
  [ $# -gt 0 ] || args=('C:\Program Files' 'C:\Program Files (x86)')
  timeout 120 wine "$regsnap" "$(winpath "$state/$name.raw")" "${args[@]}" \
    >"$state/logs/snap-$name.log" 2>&1 || { fail "snapshot $name"; return; }
  tr '[:upper:]' '[:lower:]' <"$state/$name.raw" | LC_ALL=C sort -u >"$state/$name.txt"
}
added() { LC_ALL=C comm -13 "$state/$1.txt" "$state/$2.txt"; }
# What Wine changes by itself while a test runs.
noise() { grep -v -E '^hkcu\\software\\wine\\|\\currentversion\\networkcards\\|\\currentversion\\networkcards$'; }
classes() { grep -E '^(hklm(32|64)\\software\\classes\\|classes\\)' | grep -v '\\classes\\installer'; }
# Containers that any registration may create where they were missing (an empty
# per-user CLSID key) or that Windows Installer keeps for itself: what matters is
# what is in them, the keys that name one of ours.
ours() { grep -E '^file |[0-9a-f]{32}|\{[0-9a-f-]{36}\}|norvane|qoricon|qordial|trayiconctl|qortranslate|qorlog|\\classes\\(tel|callto)(\\|\||$)'; }
# The link handler's file and keys (the dialer contract's IQorCall is not one of them).
handler_keys() { grep -E 'qorcall\.exe|norvane\.qorcall|\\classes\\(tel|callto)(\\|\||$)|\\registeredapplications(\\|\||$)'; }
callto() { grep -E '^hklm(32|64)\\software\\classes\\callto(\\|\||$)'; }
no_containers() { grep -v -x -E 'classes\\(clsid|interface|typelib)'; }

# ---- contents: the zip, the MSI and the modules in them, without Wine -------------
# shipped <file> <format> <version> <work dir>: the architecture, stripped with a
# debug link to its .debug file, and the version information every binary carries.
shipped() {
  local f=$1 format=$2 version=$3 work=$4 m
  m=$(basename "$f")
  "$objdump" -f "$f" | grep -q "file format $format" || fail "$m is not $format"
  local sections
  sections=$("$objdump" -h "$f")
  grep -q '\.gnu_debuglink' <<<"$sections" || fail "$m has no debug link"
  grep -q '\.debug_info' <<<"$sections" && fail "$m still carries its debug information"
  "$objdump" -h "$f.debug" 2>/dev/null | grep -q '\.debug_info' || fail "$m.debug holds no debug information"
  # One version for all: FileVersion with the build number, the same names.
  wrestool -x --raw -t 16 "$f" | strings -el >"$work/$m.version"
  for field in "FileVersion $version" "CompanyName Norvane" "ProductName QORDial" \
               "ProductVersion ${version%.*}"; do
    grep -A1 -x "${field% *}" "$work/$m.version" | grep -q -x "${field#* }" ||
      fail "$m: ${field% *} is not ${field#* }"
  done
  grep -q -x LegalCopyright "$work/$m.version" || fail "$m has no LegalCopyright"
}

contents() {
  local qorreg=$1 dir=$3 arch=$4 version=$5
  objdump=$2
  local zip="$dir/qorIcon-$version-$arch.zip" msi="$dir/qorIcon-$version-$arch.msi"
  [ -f "$zip" ] || skip "no $arch packages in $dir (cmake --build --preset ... --target package)"
  # Not local: the exit trap removes it after this function has returned.
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip"; exit 1; }
  local top="$work/qorIcon-$version-$arch"
  local format=pei-x86-64
  [ "$arch" = x86 ] && format=pei-i386
  for m in "${modules[@]}"; do
    local f="$top/$m"
    [ -f "$f" ] || { fail "$m missing from the zip"; continue; }
    shipped "$f" "$format" "$version" "$work"
    local exports
    exports=$("$objdump" -p "$f" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
    for e in DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer; do
      grep -q "\] $e$" <<<"$exports" || fail "$m does not export $e (undecorated)"
    done
    # Each class is in the module's manifest and in the MSI's registry table.
    local manifest="$top/Norvane.${m%.*}.manifest"
    [ -f "$msi" ] && msiinfo export "$msi" Registry >"$work/registry.txt"
    while read -r progid clsid _; do
      grep -q "clsid=\"$clsid\" threadingModel=\"Apartment\" progid=\"$progid\"" "$manifest" ||
        fail "$progid missing from $(basename "$manifest")"
      [ -f "$msi" ] && { grep -q -F "$progid\\CLSID" "$work/registry.txt" ||
        fail "$progid missing from the MSI's registry table"; }
    done < <("$qorreg" classes "$f")
  done
  # The link handler: a window program (subsystem 2), shipped like the modules.
  if [ -f "$top/qorcall.exe" ]; then
    shipped "$top/qorcall.exe" "$format" "$version" "$work"
    "$objdump" -p "$top/qorcall.exe" | grep -E '^Subsystem[[:space:]]+0+2[[:space:]]' >/dev/null ||
      fail "qorcall.exe is not a window program"
  else
    fail "qorcall.exe missing from the zip"
  fi
  for f in sdk/qorIcon.idl sdk/qorIcon.h sdk/qorIcon_i.c sdk/qorIcon.tlb sdk/QorDial.idl \
           sdk/QorDial.tlb sdk/client.exe.manifest docs/deploying.md docs/README.md docs/links.md; do
    [ -f "$top/$f" ] || fail "$f missing from the zip"
  done
  if [ -f "$msi" ]; then
    local template=x64
    [ "$arch" = x86 ] && template=Intel
    msiinfo suminfo "$msi" | grep -q "Template: $template;1033" || fail "MSI is not for $template"
    # The MSI installs the release folder without the debug files.
    (cd "$top" && find . -type f ! -name '*.debug' -printf '%f\n' | sort) >"$work/zip.txt"
    msiinfo export "$msi" File | tail -n +4 | cut -f3 | sort >"$work/msi.txt"
    diff "$work/zip.txt" "$work/msi.txt" >/dev/null || { diff "$work/zip.txt" "$work/msi.txt"; fail "MSI and zip differ"; }
    # The link handler is a part of the main feature, off unless CALLHANDLER=1; its
    # schemes install only where no other program's command is found.
    table() { msiinfo export "$msi" "$1" | tr -d '\r'; }
    table Feature | awk -F'\t' '$1 == "CallHandler" && $2 == "Complete" && $6 == 2' |
      grep -q . || fail "no CallHandler feature below Complete at level 2"
    table Condition | grep -q -x -P 'CallHandler\t1\tCALLHANDLER = 1' ||
      fail "CALLHANDLER=1 does not turn the link handler on"
    table FeatureComponents | grep -P '^CallHandler\t' | cut -f2 | sort | tr '\n' ' ' |
      grep -q -x 'c_qorcall.exe c_scheme_callto c_scheme_tel ' || fail "the CallHandler feature's components"
    for scheme in tel callto; do
      local cond="NOT ${scheme^^}_COMMAND OR ${scheme^^}_COMMAND = LINK_PROGID_COMMAND"
      table Component | grep -q -P "^c_scheme_$scheme\t.*\t\Q$cond\E\t" ||
        fail "$scheme: not conditional on the scheme's command"
    done
    table InstallExecuteSequence | grep -q -x -P 'AppSearch\t\t50' ||
      fail "AppSearch is not scheduled"
  else
    fail "no MSI beside the zip"
  fi
  [ $failed = 0 ] && echo "contents of the $arch release ok"
}

# ---- msi: install, use, compare with regsvr32, remove ------------------------------
msi() {
  local msi=$2 e2e=$4 linktests=$6
  regsnap=$3
  start "$1" "$5"
  local folder='C:\Program Files\Norvane\qorIcon'
  snap s0
  run install wine msiexec /i "$(winpath "$msi")" /qn || { fail "msiexec /i"; return; }
  snap s1
  for m in "${modules[@]}"; do
    grep -q -F -x "file ${folder,,}\\${m,,}" "$state/s1.txt" || fail "$m not installed"
  done
  # The link handler is an optional feature, off by default.
  added s0 s1 | handler_keys >"$state/links-by-default.txt"
  [ -s "$state/links-by-default.txt" ] &&
    { head "$state/links-by-default.txt"; fail "the default install installed the link handler"; }
  # The client's view: Launcher through COM, the icon in the tray.
  GTEST_FILTER=Tray.TooltipReachesTheShell run launcher wine "$e2e" --gtest_brief=1 ||
    { cat "$state/logs/launcher.log"; fail "Launcher from the installed package"; }
  grep -q '^\[==========\] 1 test' "$state/logs/launcher.log" || fail "the tray test did not run"

  # The package's registry table writes what regsvr32 writes.
  added s0 s1 | classes >"$state/by-msi.txt"
  [ -s "$state/by-msi.txt" ] || fail "the MSI registered nothing"
  for m in "${modules[@]}"; do run "unregister-$m" wine regsvr32 /s /u "$folder\\$m" || fail "regsvr32 /u $m"; done
  snap s2
  LC_ALL=C comm -12 "$state/by-msi.txt" "$state/s2.txt" >"$state/left-by-u.txt"
  [ -s "$state/left-by-u.txt" ] && { head "$state/left-by-u.txt"; fail "regsvr32 /u left what the MSI wrote"; }
  for m in "${modules[@]}"; do run "register-$m" wine regsvr32 /s "$folder\\$m" || fail "regsvr32 $m"; done
  snap s3
  added s2 s3 | classes >"$state/by-regsvr32.txt"
  if ! diff "$state/by-msi.txt" "$state/by-regsvr32.txt" >"$state/msi-vs-regsvr32.diff"; then
    head -20 "$state/msi-vs-regsvr32.diff"
    fail "the MSI and regsvr32 register differently (< MSI, > regsvr32)"
  else
    echo "the MSI writes what regsvr32 writes: $(wc -l <"$state/by-msi.txt") keys and values"
  fi

  run uninstall wine msiexec /x "$(winpath "$msi")" /qn || fail "msiexec /x"
  snap s4
  added s0 s1 | noise >"$state/by-install.txt"
  LC_ALL=C comm -12 "$state/by-install.txt" "$state/s4.txt" | ours >"$state/left.txt"
  added s0 s4 | noise | ours >>"$state/left.txt"
  if [ -s "$state/left.txt" ]; then
    head -20 "$state/left.txt"
    fail "left behind after msiexec /x"
  else
    echo "msiexec /x left no key and no file of ours"
  fi
  # Removing what is not there is harmless: success or "unknown product" (1605).
  run uninstall-again wine msiexec /x "$(winpath "$msi")" /qn
  local rc=$?
  [ $rc = 0 ] || [ $rc = 1605 ] || fail "a second msiexec /x ended with $rc"
  snap s5
  if added s4 s5 | noise | grep -q .; then fail "a second msiexec /x changed something"; fi

  # The link handler asked for, where another program already opens callto: links:
  # tel: becomes ours, callto: stays the other program's.
  run other-command wine reg add 'HKLM\Software\Classes\callto\shell\open\command' /ve \
    /d '"C:\other\phone.exe" "%1"' /f || fail "another program's callto:"
  run other-protocol wine reg add 'HKLM\Software\Classes\callto' /v 'URL Protocol' /d '' /f ||
    fail "another program's callto:"
  snap l0
  run install-links wine msiexec /i "$(winpath "$msi")" /qn CALLHANDLER=1 ||
    { fail "msiexec /i CALLHANDLER=1"; return; }
  snap l1
  grep -q -F -x "file ${folder,,}\qorcall.exe" "$state/l1.txt" || fail "qorcall.exe not installed"
  added l0 l1 | callto && fail "the package wrote into another program's callto:"
  GTEST_FILTER='InstalledHandler.*' run links wine "$linktests" --gtest_brief=1 "$folder\qorcall.exe" ||
    { cat "$state/logs/links.log"; fail "a tel: link through the installed handler"; }
  grep -q '^\[==========\] 1 test' "$state/logs/links.log" || fail "the installed handler's test did not run"
  run uninstall-links wine msiexec /x "$(winpath "$msi")" /qn || fail "msiexec /x (link handler)"
  snap l2
  added l0 l1 | noise >"$state/by-links.txt"
  LC_ALL=C comm -12 "$state/by-links.txt" "$state/l2.txt" | ours >"$state/left-links.txt"
  added l0 l2 | noise | ours >>"$state/left-links.txt"
  LC_ALL=C comm -23 "$state/l0.txt" "$state/l2.txt" | callto >>"$state/left-links.txt"
  if [ -s "$state/left-links.txt" ]; then
    head -20 "$state/left-links.txt"
    fail "msiexec /x of the link handler left something of ours or changed the other program's callto:"
  else
    echo "the link handler: off by default; with CALLHANDLER=1 a tel: link reaches the client, callto: stays the other program's, msiexec /x leaves nothing"
  fi
}

# ---- msi-x86: the x86 package installs into the 32-bit places and leaves ----------
msi_x86() {
  local msi=$2
  regsnap=$3
  [ -f "$msi" ] || skip "no x86 MSI built (windows-i686 preset, target package)"
  start "$1" "$4"
  snap s0
  run install wine msiexec /i "$(winpath "$msi")" /qn || { cat "$state/logs/install.log"; fail "msiexec /i (x86)"; return; }
  snap s1
  local folder='c:\program files (x86)\norvane\qoricon'
  for m in "${modules[@]}"; do
    grep -q -F -x "file $folder\\${m,,}" "$state/s1.txt" || fail "$m not in $folder"
  done
  # Registered where 32-bit programs look: the 32-bit view of the classes.
  grep -q -F "hklm32\\software\\classes\\clsid\\{1a1db4ae-cfb6-4cc9-b583-895c7391d1a9}\\inprocserver32||1|$folder\\qoricon.dll" \
    "$state/s1.txt" || fail "Launcher not registered for 32-bit programs"
  run uninstall wine msiexec /x "$(winpath "$msi")" /qn || fail "msiexec /x (x86)"
  snap s2
  added s0 s1 | noise >"$state/by-install.txt"
  LC_ALL=C comm -12 "$state/by-install.txt" "$state/s2.txt" | ours >"$state/left.txt"
  [ -s "$state/left.txt" ] && { head "$state/left.txt"; fail "left behind by the x86 package"; }
  [ $failed = 0 ] && echo "the x86 package installs for 32-bit programs and leaves nothing (not run: no 32-bit Wine)"
}

# ---- peruser: the parts' per-user keys mirror their machine-wide ones -------------
peruser() {
  regsnap=$2
  start "$1" "$3"
  shift 3
  local dll m
  snap m0 --classes machine
  snap u0 --classes user
  for dll in "$@"; do
    m=$(basename "$dll")
    run "machine-$m" wine regsvr32 /s "$(winpath "$dll")" || fail "regsvr32 $m"
  done
  snap m1 --classes machine
  for dll in "$@"; do
    m=$(basename "$dll")
    run "machine-u-$m" wine regsvr32 /s /u "$(winpath "$dll")" || fail "regsvr32 /u $m"
    run "user-$m" wine regsvr32 /s /n /i:user "$(winpath "$dll")" || fail "regsvr32 /n /i:user $m"
  done
  snap m2 --classes machine
  snap u1 --classes user
  for dll in "$@"; do
    m=$(basename "$dll")
    run "user-u-$m" wine regsvr32 /s /u /n /i:user "$(winpath "$dll")" ||
      fail "regsvr32 /u /n /i:user $m"
  done
  snap u2 --classes user
  added m0 m1 | no_containers >"$state/machine.txt"
  added u0 u1 | no_containers >"$state/user.txt"
  [ -s "$state/machine.txt" ] || fail "nothing registered machine-wide"
  if diff "$state/machine.txt" "$state/user.txt" >"$state/machine-vs-user.diff"; then
    echo "per-user keys mirror the machine-wide ones: $(wc -l <"$state/user.txt") keys and values"
  else
    head -20 "$state/machine-vs-user.diff"
    fail "per-user keys differ from the machine-wide ones (< machine, > user)"
  fi
  cmp -s "$state/m0.txt" "$state/m2.txt" || fail "regsvr32 /u left keys"
  cmp -s "$state/u0.txt" "$state/u2.txt" || fail "regsvr32 /u /n /i:user left keys"
  echo "(Wine does not merge HKCU\\Software\\Classes into HKEY_CLASSES_ROOT: per-user activation is not tried here)"
}

# ---- regfree: a client with the modules in its folder and no registration ----------
regfree() {
  local client=$2 zip=$4
  start "$1" "$3"
  local app="$WINEPREFIX/drive_c/regfree"
  mkdir -p "$app"
  (cd "$state" && cmake -E tar xf "$zip") || { fail "cannot unpack $zip"; return; }
  local top
  top=$(ls -d "$state"/qorIcon-*)
  cp "$top"/*.dll "$top"/*.ocx "$top"/*.manifest "$app/"
  cp "$client" "$app/client.exe"
  cp "$top/sdk/client.exe.manifest" "$app/client.exe.manifest"
  run regfree wine 'C:\regfree\client.exe'
  local rc=$?
  cat "$state/logs/regfree.log"
  [ $rc = 0 ] && grep -q '^RESULT ok' "$state/logs/regfree.log" || fail "registration-free client"
  # Nothing got registered on the way.
  run query wine reg query 'HKCR\qorIcon.Launcher' && fail "qorIcon.Launcher is registered"
}

# ---- x86: the x86 DLLs under Wine, where 32-bit programs can start -----------------
x86() {
  local build=$2 script=$3
  [ -f "$build/bin/qorIcon.dll" ] || skip "no x86 build in $build (windows-i686 preset)"
  start "$1" "$4"
  if ! run wow64 wine 'C:\windows\syswow64\cmd.exe' /c exit 0; then
    skip "this machine cannot start 32-bit Windows programs (no 32-bit Wine loader; wine32 would remove the 64-bit Wine): the x86 DLLs are built and their packages checked, not run"
  fi
  local regsvr32='C:\windows\syswow64\regsvr32.exe'
  for dll in "$build"/src/windows/*/*.dll "$build"/src/windows/*/*.ocx "$build/bin/qorIcon.dll"; do
    run "register-$(basename "$dll")" wine "$regsvr32" /s "$(winpath "$dll")" || fail "x86 regsvr32 $(basename "$dll")"
  done
  cp "$script" "$state/client.js"
  run edn wine reg add 'HKCU\Software\Norvane\5521\QORPhone\Settings' /v CSLogin /t REG_SZ \
    /d 4711 /f || fail "CSLogin"
  run jscript wine 'C:\windows\syswow64\cscript.exe' //nologo "$(winpath "$state/client.js")"
  grep -q '^RESULT ok' "$state/logs/jscript.log" || { cat "$state/logs/jscript.log"; fail "client.js against the x86 DLLs"; }
}

case $action in
  contents) contents "$@" ;;
  msi) msi "$@" ;;
  msi-x86) msi_x86 "$@" ;;
  peruser) peruser "$@" ;;
  regfree) regfree "$@" ;;
  x86) x86 "$@" ;;
  *) echo "unknown action $action"; exit 2 ;;
esac
exit $failed
