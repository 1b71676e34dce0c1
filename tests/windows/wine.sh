#!/usr/bin/env bash
# One step of the Windows tests under Wine. All steps of a ctest run share one
# state directory: a fresh WINEPREFIX, one X display held by a background
# xvfb-run, and a persistent wineserver, so each Wine start is cheap.
#
#   wine.sh <state dir> setup <stand-in client exe> [outside server dll...]
#   wine.sh <state dir> register|peruser|unregister <qorIcon.dll>
#   wine.sh <state dir> client <tests exe> [test args...] | jscript <script.js> | script <file> | teardown
#   wine.sh <state dir> scenario <qoricon-sim.exe> <scenario file>
#   wine.sh <state dir> links <link tests exe> <qorcall.exe>
#
# Wine output always goes to files: Wine's background services keep the stdio of
# the process that started them, and a pipe would never close.
set -uo pipefail
state=$1 action=$2
shift 2
export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
logs="$state/logs"
install='C:\qorclient\'   # where the stand-in client lives (HKLM ...\Install "Path")

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
fail() { echo "FAIL: $*"; exit 1; }
# step <log name> <command...>: runs one Wine step with its output in a log file;
# a step that hangs is ended after two minutes.
step() {
  local log="$logs/$1.log"
  shift
  timeout 120 "$@" >"$log" 2>&1
}
use_display() {
  [ -s "$state/display" ] || fail "no X display: did wine.setup run?"
  # xvfb-run's server only lets in clients with its cookie.
  export DISPLAY XAUTHORITY
  DISPLAY=$(cat "$state/display")
  XAUTHORITY=$(cat "$state/xauthority")
}
# True when the registry export holds no trace of qorIcon.
registry_clean() {
  step export wine regedit /E "$(winpath "$state/registry.reg")"
  iconv -f UTF-16LE -t UTF-8 "$state/registry.reg" >"$state/registry.txt" 2>/dev/null ||
    cp "$state/registry.reg" "$state/registry.txt"
  ! grep -i -E "qorIcon\.(Launcher|MenuEvent|ClickToCall|dll)|$guids" "$state/registry.txt" >"$state/leftovers.txt"
}
# Every identifier of the library (classes, interfaces, the library itself) and of the
# dialer contract library it registers when nobody else has.
guids="1A1DB4AE-CFB6-4CC9-B583-895C7391D1A9|35A71DFA-A28A-4500-A5E6-70973910D5B2|\
BE2063D8-B1BE-4B2B-A776-C716491B3A25|C16EF350-6D92-4AFB-9DFE-B9B62D8CD7A1|\
EB2B683F-C351-44AF-8BFE-C261CAB31101|7F4EE890-6BAB-4C27-9CE4-800570364842|\
BCA65941-5D01-4755-BC1D-EB0D50822715|8A120EB1-3E49-4B43-B7C7-CD98409C9501|\
70D9F8E0-C87D-4619-AAA4-9A1002563639"

case $action in
setup)
  standin=$1
  shift
  # A previous run that was cut short may have left its server and display behind.
  [ -d "$WINEPREFIX" ] && wineserver -k >/dev/null 2>&1
  rm -f "$state/keep"
  sleep 0.2
  rm -rf "$state"
  mkdir -p "$logs"
  touch "$state/keep"
  # The display lives as long as the keep file (at most an hour), in its own
  # session with its own files, so ctest does not wait for it.
  setsid xvfb-run -a -s "-screen 0 1024x768x24" bash -c \
    'echo "$XAUTHORITY" >"$0/xauthority"
     echo "$DISPLAY" >"$0/display.tmp"; mv "$0/display.tmp" "$0/display";
     for i in $(seq 1 7200); do [ -e "$0/keep" ] || break; sleep 0.5; done' "$state" \
    >"$logs/xvfb.log" 2>&1 </dev/null &
  for i in $(seq 1 100); do [ -s "$state/display" ] && break; sleep 0.1; done
  use_display
  step wineboot wine wineboot -i || fail "wineboot (see $logs/wineboot.log)"
  # Kept for the whole run: each later Wine start then takes a fraction of a second.
  setsid wineserver -p >"$logs/wineserver.log" 2>&1 </dev/null &
  # Wine's HID bus polls a thousand times a second unless told not to.
  step winebus wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' \
    /v "Enable SDL" /t REG_DWORD /d 0 /f || fail "winebus setting"
  # A crash must fail its test, not wait for someone to close the crash dialog.
  step crashdialog wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
    /t REG_DWORD /d 0 /f || fail "crash dialog setting"
  for dll in "$@"; do
    step "register-$(basename "$dll")" wine regsvr32 /s "$(winpath "$dll")" ||
      fail "registering $dll"
  done
  mkdir -p "$WINEPREFIX/drive_c/qorclient"
  cp "$standin" "$WINEPREFIX/drive_c/qorclient/qorphone.exe"
  step install-path wine reg add 'HKLM\Software\Norvane\5521\Install' /v Path /t REG_SZ \
    /d "$install" /f || fail "install path"
  echo "prefix ready on display $DISPLAY"
  ;;

register)
  use_display
  dll=$(winpath "$1")
  step register wine regsvr32 /s "$dll" || fail "regsvr32 $dll"
  for key in 'HKCR\qorIcon.Launcher\CLSID' 'HKCR\qorIcon.MenuEvent\CLSID' \
             'HKCR\qorIcon.ClickToCall\CLSID' \
             'HKCR\CLSID\{1A1DB4AE-CFB6-4CC9-B583-895C7391D1A9}\InprocServer32' \
             'HKCR\TypeLib\{C16EF350-6D92-4AFB-9DFE-B9B62D8CD7A1}' \
             'HKCR\TypeLib\{70D9F8E0-C87D-4619-AAA4-9A1002563639}'; do
    step query wine reg query "$key" || fail "missing after registration: $key"
  done
  step query wine reg query 'HKCR\CLSID\{1A1DB4AE-CFB6-4CC9-B583-895C7391D1A9}\InprocServer32' \
    /v ThreadingModel
  grep -q Apartment "$logs/query.log" || fail "ThreadingModel is not Apartment"
  echo "registered"
  ;;

client)
  use_display
  step client wine "$@" --gtest_brief=1
  rc=$?
  cat "$logs/client.log"
  [ $rc -eq 0 ] || fail "client tests (exit $rc)"
  ;;

jscript)
  use_display
  rm -f "$WINEPREFIX/drive_c/qorclient/cmdline.txt"
  cp "$1" "$state/client.js"
  step reg-edn wine reg add 'HKCU\Software\Norvane\5521\QORPhone\Settings' /v CSLogin /t REG_SZ \
    /d 4711 /f || fail "CSLogin"
  step reg-state wine reg add 'HKCU\Software\Norvane\5521\QORPhone\Settings' \
    /v CSConnectionState /t REG_SZ /d 1 /f || fail "CSConnectionState"
  step jscript wine cscript //nologo "$(winpath "$state/client.js")"
  rc=$?
  cat "$logs/jscript.log"
  # The host must also end cleanly: releasing our objects at its shutdown counts.
  [ $rc -eq 0 ] || fail "cscript exit $rc"
  # Script errors are silent under Wine: the script's own result line decides.
  grep -q "^RESULT ok" "$logs/jscript.log" || fail "client.js"
  # CallEdn started the stand-in client; it wrote down its command line.
  for i in $(seq 1 100); do [ -s "$WINEPREFIX/drive_c/qorclient/cmdline.txt" ] && break; sleep 0.1; done
  expected="\"${install}qorphone.exe\" lname:Lee fname:Ann qorphone://123"
  got=$(tr -d '\r' <"$WINEPREFIX/drive_c/qorclient/cmdline.txt" 2>/dev/null | head -1)
  [ "$got" = "$expected" ] || fail "client command line: got [$got], expected [$expected]"
  echo "command line ok: $got"
  ;;

script)
  use_display
  name=$(basename "$1")
  cp "$1" "$state/$name"
  step "$name" wine cscript //nologo "$(winpath "$state/$name")"
  rc=$?
  cat "$logs/$name.log"
  [ $rc -eq 0 ] || fail "cscript exit $rc"
  grep -q "^RESULT ok" "$logs/$name.log" || fail "$name"
  ;;

peruser)
  use_display
  dll=$(winpath "$1")
  step peruser-install wine regsvr32 /s /n /i:user "$dll" || fail "per-user registration"
  step query wine reg query 'HKCU\Software\Classes\qorIcon.Launcher\CLSID' ||
    fail "per-user ProgID missing"
  step query wine reg query \
    'HKCU\Software\Classes\CLSID\{BE2063D8-B1BE-4B2B-A776-C716491B3A25}\InprocServer32' ||
    fail "per-user class missing"
  step peruser-uninstall wine regsvr32 /s /u /n /i:user "$dll" || fail "per-user removal"
  if step query wine reg query 'HKCU\Software\Classes\qorIcon.Launcher'; then
    fail "per-user ProgID left behind"
  fi
  if step query wine reg query 'HKCU\Software\Classes\CLSID\{1A1DB4AE-CFB6-4CC9-B583-895C7391D1A9}'; then
    fail "per-user class left behind"
  fi
  echo "per-user registration ok"
  ;;

unregister)
  use_display
  step unregister wine regsvr32 /s /u "$(winpath "$1")" || fail "regsvr32 /u"
  registry_clean || { cat "$state/leftovers.txt"; fail "qorIcon keys left after regsvr32 /u"; }
  echo "nothing left behind"
  ;;

links)
  use_display
  # Installed where a program lives, in a folder with a blank in its name.
  mkdir -p "$WINEPREFIX/drive_c/Program Files/Norvane/Dialwise"
  cp "$2" "$WINEPREFIX/drive_c/Program Files/Norvane/Dialwise/qorcall.exe"
  rm -f "$WINEPREFIX/drive_c/qorclient/cmdline.txt"
  # The installed handler's test belongs to the package's test (package.sh).
  step links wine "$1" --gtest_brief=1 --gtest_filter=-InstalledHandler.* \
    'C:\Program Files\Norvane\Dialwise\qorcall.exe'
  rc=$?
  cat "$logs/links.log"
  [ $rc -eq 0 ] || fail "link handler tests (exit $rc)"
  ;;

scenario)
  use_display
  # The runner names the file as given: run it from the scenario's folder.
  name=$(basename "$2" .scn)
  cd "$(dirname "$2")" || fail "no folder for $2"
  step "scenario-$name" wine "$(winpath "$1")" run "$(basename "$2")"
  rc=$?
  cat "$logs/scenario-$name.log"
  [ $rc -eq 0 ] || fail "scenario $name under Wine (exit $rc)"
  ;;

teardown)
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
  fi
  rm -f "$state/keep"
  # The logs stay for a look after a failure; the prefix (about 700 MB) does not.
  rm -rf "$WINEPREFIX"
  echo "wine stopped"
  ;;

*) fail "unknown step $action" ;;
esac
