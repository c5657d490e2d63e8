# Sourced by the test and demo scripts: one X display, and one persistent wineserver for each Wine prefix
# of the run, so that each program start under Wine is fast. Needs $windows_build set.
#
#   wine_session_start [PREFIX...]   the default prefix, and one for each other named: a locale, or
#                                    small (a small screen at 150 %, the display's second screen)
#   wine_session_stop

# The locales whose prefixes the windows tests use besides the default one (tools/setup.sh makes them),
# and all the prefixes of the windows tests.
wine_test_locales=(ja_JP.UTF-8 ru_RU.UTF-8)
wine_test_prefixes=("${wine_test_locales[@]}" small)

# What tells wine-run which prefix to use.
wine_prefix_env() {
  case $1 in
    small) echo QUILLON_WINE_SCREEN=small ;;
    *) echo "QUILLON_WINE_LOCALE=$1" ;;
  esac
}

wine_session_start() {
  local run="$windows_build/wine-run"
  local managed=Y
  wine_session_prefixes=(C.UTF-8 "$@")
  local prefix
  for prefix in "${wine_session_prefixes[@]}"; do
    env "$(wine_prefix_env "$prefix")" "$run" --prefix-only
  done
  if [ -z "${QUILLON_KEEP_DISPLAY-}" ] || [ -z "${DISPLAY-}" ]; then
    # No window manager on our own display: without this, Wine waits 2 s for one at every hidden window.
    managed=N
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -screen 1 1366x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    local display
    read -r -t 30 display <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$display"
  fi
  for prefix in "${wine_session_prefixes[@]}"; do
    export "$(wine_prefix_env "$prefix")"
    "$run" --server -p
    # Start Wine's background processes now, away from the pipes of the test runner: a service started by
    # a test's first program would hold its output open and the runner would wait for it until its
    # time-out.
    "$run" wineboot </dev/null >/dev/null 2>&1
    "$run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$managed" /f </dev/null >/dev/null 2>&1
    # A program that crashes leaves its backtrace in the output and ends, rather than wait for someone to
    # close the crash dialog while the test run waits for it.
    "$run" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    # A test that was killed cannot restore the proxy setting it made: every run starts without a proxy.
    "$run" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v ProxyEnable \
      /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    unset QUILLON_WINE_LOCALE QUILLON_WINE_SCREEN
  done
}

wine_session_stop() {
  local prefix
  for prefix in "${wine_session_prefixes[@]-C.UTF-8}"; do
    env "$(wine_prefix_env "$prefix")" "$windows_build/wine-run" --server -k 2>/dev/null || true
  done
  if [ -n "${xvfb_pid-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
  fi
}
