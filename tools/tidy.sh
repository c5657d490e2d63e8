#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the project's sources and exits non-zero on any finding.
# The host tree's compile_commands.json says how each file is compiled; the files that only the windows
# tree builds (the Win32 layer) are taken from its database, against the MinGW-w64 headers.
# Only configures the trees: nothing needs to be built first.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
ours="^$root/(app|credentials|service|session|tools)/"
jobs=$(nproc)

files_of() {
  sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$1/compile_commands.json" | grep -E "$ours" | sort -u
}

cmake --preset host >/dev/null || exit 1
echo "=== clang-tidy: host tree"
run-clang-tidy -p build/host -quiet -j "$jobs" -header-filter="$ours" "$ours"
status=$?

cmake --preset windows >/dev/null || exit 1
mapfile -t windows_only < <(comm -13 <(files_of build/host) <(files_of build/windows))
if [ ${#windows_only[@]} -gt 0 ]; then
  echo "=== clang-tidy: windows-only files"
  # clang finds the MinGW-w64 C headers by itself but not the C++ library of Debian's posix-thread g++.
  args=(-extra-arg-before=--target=x86_64-w64-mingw32 -extra-arg-before=-nostdinc++)
  while read -r dir; do
    [[ $dir == */include/c++* ]] && args+=("-extra-arg=-isystem$dir")
  done < <(x86_64-w64-mingw32-g++-posix -E -x c++ -v - </dev/null 2>&1 | sed -n 's/^ \(\/.*\)$/\1/p')
  patterns=()
  for f in "${windows_only[@]}"; do patterns+=("^${f//./\\.}\$"); done
  run-clang-tidy -p build/windows -quiet -j "$jobs" -header-filter="$ours" "${args[@]}" "${patterns[@]}" \
    || status=1
fi

[ $status -eq 0 ] && echo "clang-tidy: no findings"
exit $status
