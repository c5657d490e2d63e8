#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the project's sources and exits non-zero on any finding.
# The host tree's compile_commands.json says how each file is compiled; the files that only another tree
# builds (the fuzz targets, the Win32 layer) are taken from that tree's database.
# Only configures the trees: nothing needs to be built first.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

# A path as a regular expression that matches it alone.
literal() { printf '^%s$\n' "$(printf '%s' "$1" | sed 's/[][\\.^$*+?(){}|]/\\&/g')"; }

ours="$(literal "$root" | sed 's/\$$//')/(app|credentials|resources|service|session|tools|ui|win32)/"

files_of() {
  sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$1/compile_commands.json" | grep -E "$ours" | sort -u
}

# The patterns for run-clang-tidy that pick the files that tree $1 builds and the host tree does not.
only_in() {
  comm -13 <(files_of build/host) <(files_of "build/$1") | while read -r f; do literal "$f"; done
}

cmake --preset host >/dev/null || exit 1
echo "=== clang-tidy: host tree"
run-clang-tidy -p build/host -quiet -j "$jobs" -header-filter="$ours" "$ours"
status=$?

# The fuzz targets are built in the sanitizer tree only.
cmake --preset host-sanitize >/dev/null || exit 1
mapfile -t fuzz_only < <(only_in host-sanitize)
if [ ${#fuzz_only[@]} -gt 0 ]; then
  echo "=== clang-tidy: files of the sanitizer tree only"
  run-clang-tidy -p build/host-sanitize -quiet -j "$jobs" -header-filter="$ours" "${fuzz_only[@]}" \
    || status=1
fi

cmake --preset windows >/dev/null || exit 1
mapfile -t windows_only < <(only_in windows)
if [ ${#windows_only[@]} -gt 0 ]; then
  echo "=== clang-tidy: files of the windows tree only"
  # clang finds the MinGW-w64 C headers by itself but not the C++ library of Debian's posix-thread g++.
  args=(-extra-arg-before=--target=x86_64-w64-mingw32 -extra-arg-before=-nostdinc++)
  while read -r dir; do
    [[ $dir == */include/c++* ]] && args+=("-extra-arg=-isystem$dir")
  done < <(x86_64-w64-mingw32-g++-posix -E -x c++ -v - </dev/null 2>&1 | sed -n 's/^ \(\/.*\)$/\1/p')
  run-clang-tidy -p build/windows -quiet -j "$jobs" -header-filter="$ours" "${args[@]}" "${windows_only[@]}" \
    || status=1
fi

[ $status -eq 0 ] && echo "clang-tidy: no findings"
exit $status
