#!/usr/bin/env bash
# The demo: builds Quillon.exe and runs it under Wine against the reference account service, which the
# program reaches through the proxy setting of the windows tree's Wine prefix.
#
# With DISPLAY set, Quillon.exe opens there for you to use. Without it, the program runs on a virtual
# display, signs in as a demo user through its own windows, and leaves screenshots of the sign-in dialog
# and of the main window in build/windows/demo/.
#
# With --screenshots, it runs so whether DISPLAY is set or not, and copies the two screenshots into docs/,
# where the README shows them.
set -euo pipefail
cd "$(dirname "$0")/.."
screenshots=
case "${1-}" in
  --screenshots)
    screenshots=yes
    unset DISPLAY
    ;;
  "") ;;
  *)
    echo "usage: bash tools/run.sh [--screenshots]" >&2
    exit 2
    ;;
esac
bash tools/setup.sh

jobs=$(nproc)
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs" --target quillon-refservice
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target Quillon quillon-drive

host_build=$PWD/build/host
windows_build=$PWD/build/windows
run=$windows_build/wine-run
quillon=$windows_build/app/Quillon.exe
drive=$windows_build/tools/testing/gui/quillon-drive.exe
demo=$windows_build/demo
settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
interactive=${DISPLAY:+yes}

source tools/wine-session.sh
service_pid=
program_pid=
cleanup() {
  set +e
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  "$run" reg delete "$settings" /v ProxyEnable /f >/dev/null 2>&1
  "$run" reg delete "$settings" /v ProxyServer /f >/dev/null 2>&1
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null
    wait "$service_pid" 2>/dev/null
  fi
  wine_session_stop
}
trap cleanup EXIT

fail() {
  echo "run.sh: $*" >&2
  exit 1
}

# The service's port is the first line it prints. A port file left by an earlier run could be read before
# the new service has even emptied it.
mkdir -p "$demo"
rm -f "$demo"/*.png "$demo/service.log" "$demo/service.port"
"$host_build/tools/refservice/quillon-refservice" --port 0 --log "$demo/service.log" >"$demo/service.port" &
service_pid=$!
port=
for ((i = 0; i < 100; ++i)); do
  read -r port <"$demo/service.port" 2>/dev/null || true
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "the reference service did not start"

QUILLON_KEEP_DISPLAY=1 wine_session_start
"$run" reg add "$settings" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null
"$run" reg add "$settings" /v ProxyServer /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null

# users.txt holds Windows-1252 bytes as %XX; the table is laid out in those bytes, then converted.
decode() {
  local text=${1//\\/\\\\}
  printf '%b' "${text//%/\\x}"
}
print_users() {
  local names=([2]="Pro user" [3]=Tester [4]=Developer [5]="Super Developer" [6]=Admin [7]=Client)
  local user password level
  printf '  %-14s %-12s %s\n' "user name" password "access level"
  while IFS=$'\t' read -r user password level; do
    [[ -z $user || $user == \#* ]] && continue
    printf '  %-14s %-12s %s\n' "$(decode "$user")" "$(decode "$password")" "$level ${names[$level]:-User}"
  done <tools/refservice/users.txt | iconv -f CP1252 -t UTF-8
}
echo
echo "Reference account service on 127.0.0.1:$port, requests logged to $demo/service.log"
echo "Demo users:"
print_users
echo

if [ -n "$interactive" ]; then
  echo "Quillon.exe opens on $DISPLAY: sign in as one of the users above."
  status=0
  "$run" "$quillon" || status=$?
  echo "Quillon.exe exited with code $status"
  exit 0
fi

# Console output of a Windows program ends its lines in CR LF.
step() { "$run" "$drive" "$@" | tr -d '\r' || fail "quillon-drive $* failed"; }
shot() {
  local geometry
  geometry=$(step rect "$1")
  xwd -root -display "$DISPLAY" -silent | convert xwd:- -crop "$geometry" +repage "$2"
}

user=alice
password=wonderland
echo "Quillon.exe runs on the virtual display $DISPLAY, signing in as $user."
"$run" "$quillon" &
program_pid=$!
step wait "Log In" >/dev/null
step set-text "Log In" Edit 0 "$user"
step set-text "Log In" Edit 1 "$password"
# Let the dialog repaint what was typed before the picture.
sleep 0.5
shot "Log In" "$demo/1-sign-in.png"
step click "Log In" Button 1
caption=$(step wait-prefix "Quillon V")
sleep 0.5
shot "Quillon V" "$demo/2-main-window.png"
echo "Main window \"$caption\": $(step text "$caption" Static 0), $(step text "$caption" Static 1)"
step menu "Quillon V" 1
status=0
wait "$program_pid" || status=$?
program_pid=
echo "Quillon.exe exited with code $status"
echo
echo "The service's log:"
cat "$demo/service.log"
echo
echo "Screenshots in $demo:"
ls -1 "$demo"/*.png
if [ -n "$screenshots" ]; then
  mkdir -p docs
  # Without the times convert writes into a PNG, so that a picture that did not change stays the same file.
  convert "$demo/1-sign-in.png" -strip docs/sign-in.png
  convert "$demo/2-main-window.png" -strip docs/main-window.png
  echo "Copied into docs/: sign-in.png, main-window.png"
fi
