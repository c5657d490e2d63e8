#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that the build, the tests and the demo need and that are
# missing. Does nothing when all of them are there.
set -euo pipefail

packages=(
  # host tree
  g++ cmake make pkg-config googletest libgcrypt20-dev libxml2-dev
  # host tree under the sanitizers, and the fuzz targets; clang-tidy (tools/tidy.sh)
  clang libclang-rt-14-dev clang-tidy
  # windows tree and its tests; locales for the Wine prefixes in other code pages
  g++-mingw-w64-x86-64-posix wine64 xvfb xauth locales
  # Marlett, which the tree's prefixes get for the caption buttons (wine-run)
  fonts-wine
  # reference account service, screenshots of the demo and the end-to-end tests
  libcpp-httplib-dev x11-apps imagemagick
  # a real caching proxy between the program and a test service (the tests start their own squid)
  squid
  # release artefacts, and signing them (the release check signs with a throwaway certificate)
  nsis zip osslsigncode openssl
)

# Wine takes a program's ANSI code page from its locale: the tests' prefixes in other code pages need
# these locales.
source "$(dirname "$0")/wine-session.sh"

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

missing=()
for p in "${packages[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
fi

for l in "${wine_test_locales[@]}"; do
  # locale -a names them in lower case without the dash: ja_JP.utf8.
  if ! locale -a 2>/dev/null | grep -qix "${l%%.*}.utf8"; then
    echo "Making the locale $l"
    "${sudo[@]}" localedef -i "${l%%.*}" -f UTF-8 "$l"
  fi
done
