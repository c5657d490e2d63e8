#!/usr/bin/env bash
# Builds and runs the start-up and sign-in benchmark under Wine and Xvfb, with the machine's load and the
# executable's size beside the figures. Arguments go to startup_bench (the number of runs).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target startup_bench
windows_build=$PWD/build/windows
source tools/wine-session.sh
trap wine_session_stop EXIT
wine_session_start
echo "load before: $(uptime)"
"$windows_build/wine-run" "$windows_build/tools/bench/startup_bench.exe" "$@"
echo "load after:  $(uptime)"
exe="$windows_build/app/Quillon.exe"
stripped=$(mktemp)
x86_64-w64-mingw32-strip -o "$stripped" "$exe"
echo "Quillon.exe as built: $(stat -c %s "$exe") bytes; stripped: $(stat -c %s "$stripped") bytes"
rm -f "$stripped"
