#!/usr/bin/env bash
# Builds both trees and runs every test: the host tree natively, the windows tree under Wine and Xvfb.
# Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh || exit 1

jobs=$(nproc)
status=0
summary=()

run_tree() {
  local preset=$1
  shift
  echo "=== $preset tree: build"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
    summary+=("$preset: BUILD FAILED")
    status=1
    return
  fi
  echo "=== $preset tree: tests"
  if ctest --preset "$preset" "$@"; then
    summary+=("$preset: all tests passed")
  else
    summary+=("$preset: TESTS FAILED")
    status=1
  fi
}

run_tree host -j "$jobs"

windows_build=$PWD/build/windows
source tools/wine-session.sh
trap wine_session_stop EXIT
if cmake --preset windows >/dev/null && wine_session_start; then
  # One prefix and one registry serve every Windows test: run them one at a time.
  run_tree windows
else
  summary+=("windows: SETUP FAILED")
  status=1
fi
wine_session_stop

echo
printf '%s\n' "${summary[@]}"
exit $status
