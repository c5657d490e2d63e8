#!/usr/bin/env bash
# Runs the windows tests N times in a row while a busy loop runs on every core, and prints, per test, in
# how many of the runs it failed. A test that fails one run in ten under load is a defect: the goal is 0.
#
#   bash tools/soak.sh N
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-}
if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: tools/soak.sh N" >&2
  exit 2
fi
bash tools/setup.sh || exit 1

jobs=$(nproc)
# The end-to-end tests need the host tree's reference service.
cmake --preset host >/dev/null && cmake --build --preset host -j "$jobs" --target quillon-refservice >/dev/null &&
  cmake --preset windows >/dev/null && cmake --build --preset windows -j "$jobs" >/dev/null || exit 1

windows_build=$PWD/build/windows
failed_log=$windows_build/Testing/Temporary/LastTestsFailed.log
# The output of each run with a failure stays here, to tell what the failing step waited for.
logs=$windows_build/soak
rm -rf "$logs"
mkdir -p "$logs"
source tools/wine-session.sh
busy=()
stop() {
  [ ${#busy[@]} -gt 0 ] && kill "${busy[@]}" 2>/dev/null
  wine_session_stop
}
trap stop EXIT
wine_session_start "${wine_test_prefixes[@]}" || exit 1

mapfile -t tests < <(ctest --preset windows -N | sed -n 's/^ *Test *#[0-9]*: //p')
declare -A failures=()
for ((core = 0; core < jobs; ++core)); do
  (while :; do :; done) &
  busy+=($!)
done

echo "=== $runs runs of ${#tests[@]} windows tests, $jobs busy loops beside them"
for ((run = 1; run <= runs; ++run)); do
  rm -f "$failed_log"
  started=$SECONDS
  ctest --preset windows --output-on-failure >"$logs/run-$run.log" 2>&1
  count=0
  if [ -e "$failed_log" ]; then
    echo "run $run: output in $logs/run-$run.log"
    while IFS=: read -r _ name; do
      failures[$name]=$((${failures[$name]:-0} + 1))
      count=$((count + 1))
    done <"$failed_log"
  fi
  echo "run $run: $count failed, $((SECONDS - started)) s"
  [ "$count" -eq 0 ] && rm -f "$logs/run-$run.log"
done

echo
echo "failed runs of $runs, per test:"
total=0
for name in "${tests[@]}"; do
  n=${failures[$name]:-0}
  total=$((total + n))
  printf '%4d  %s\n' "$n" "$name"
done
echo "total: $total failures in $runs runs"
[ "$total" -eq 0 ]
