#!/usr/bin/env bash
# Builds Quillon.exe and starts it under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target Quillon
windows_build=$PWD/build/windows
source tools/wine-session.sh
trap wine_session_stop EXIT
QUILLON_KEEP_DISPLAY=1 wine_session_start
"$windows_build/wine-run" "$windows_build/app/Quillon.exe"
echo "Quillon.exe exited with code $?"
