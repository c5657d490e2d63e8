#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that the build, the tests and the demo need and that are
# missing. Does nothing when all of them are there.
set -euo pipefail

packages=(
  # host tree
  g++ cmake make pkg-config googletest libgcrypt20-dev libxml2-dev
  # host tree under the sanitizers, and the fuzz targets; clang-tidy (tools/tidy.sh)
  clang libclang-rt-14-dev clang-tidy
  # windows tree and its tests
  g++-mingw-w64-x86-64-posix libgcrypt-mingw-w64-dev wine64 xvfb xauth
  # reference account service, screenshots of the demo and the end-to-end tests
  libcpp-httplib-dev x11-apps imagemagick
  # a real caching proxy between the program and a test service (the tests start their own squid)
  squid
  # release artefacts
  nsis zip
)

missing=()
for p in "${packages[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
