#!/usr/bin/env bash
# Builds the trees and runs every test: the host tree natively and again under AddressSanitizer and UBSan
# with its fuzz targets, the windows tree under Wine and Xvfb. Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh || exit 1

jobs=$(nproc)
status=0
summary=()

build_tree() {
  local preset=$1
  local started=$SECONDS
  echo "=== $preset tree: build"
  if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs"; then
    echo "=== $preset tree: built in $((SECONDS - started)) s"
    return 0
  fi
  summary+=("$preset: BUILD FAILED")
  status=1
  return 1
}

# Runs a test preset and keeps ctest's own count for the summary at the end.
test_tree() {
  local preset=$1
  shift
  echo "=== $preset: tests"
  local started=$SECONDS
  local log
  log=$(mktemp)
  ctest --preset "$preset" --no-tests=error "$@" 2>&1 | tee "$log"
  local result=${PIPESTATUS[0]}
  local count
  count=$(grep -E '^[0-9]+% tests passed|^No tests were found' "$log" | tail -n 1)
  rm -f "$log"
  local took="$((SECONDS - started)) s"
  if [ "$result" -eq 0 ]; then
    summary+=("$preset: ${count:-passed} ($took)")
  else
    summary+=("$preset: TESTS FAILED (${count:-no summary}, $took)")
    status=1
  fi
}

run_tree() {
  build_tree "$1" && test_tree "$@"
}

run_tree host -j "$jobs"

# The same suite under AddressSanitizer and UBSan (any report fails its test), then each fuzz target for a
# bounded time.
if build_tree host-sanitize; then
  test_tree host-sanitize -j "$jobs"
  test_tree host-fuzz -j "$jobs"
fi

windows_build=$PWD/build/windows
source tools/wine-session.sh
trap wine_session_stop EXIT
if cmake --preset windows >/dev/null && wine_session_start "${wine_test_prefixes[@]}"; then
  # One prefix and one registry serve every Windows test: run them one at a time.
  if run_tree windows; then
    # The release artefacts again, in another folder: the same bytes; then signed.
    started=$SECONDS
    if bash tools/release-check.sh "$windows_build" "$windows_build-again"; then
      summary+=("release: reproducible and signed ($((SECONDS - started)) s)")
    else
      summary+=("release: CHECK FAILED ($((SECONDS - started)) s)")
      status=1
    fi
  fi
else
  summary+=("windows: SETUP FAILED")
  status=1
fi
wine_session_stop

echo
printf '%s\n' "${summary[@]}"
echo "total: $SECONDS s"
exit $status
