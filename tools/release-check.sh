#!/usr/bin/env bash
# Run by tools/test.sh inside its Wine session, after the windows tree is built: builds the release
# artefacts a second time in another folder and compares them byte for byte with the tree's; then signs
# that second build with a throwaway certificate, checks that signing is as reproducible, and verifies the
# signatures of the program, the installer and the uninstaller that the installer writes.
#
#   release-check.sh WINDOWS_BUILD AGAIN_BUILD
set -uo pipefail
cd "$(dirname "$0")/.."
windows_build=$(realpath "$1")
again=$(realpath -m "$2")
passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
    passed=$((passed + 1))
  else
    echo "FAILED: $what"
    failed=$((failed + 1))
  fi
}
release_targets=(package-installer package-zip package-sums)
artefacts() { (cd "$1" && ls Quillon-*-setup.exe Quillon-*-portable.zip SHA256SUMS app/Quillon.exe); }
same_artefacts() {
  local name
  for name in $(artefacts "$1"); do cmp "$1/$name" "$2/$name" || return 1; done
}

# Another folder, the same commit and settings: nothing of the folder or the time of building may show.
cached() { sed -n "s/^$1:[A-Z]*=//p" "$windows_build/CMakeCache.txt"; }
rm -rf "$again"
cmake --preset windows -B "$again" -DQUILLON_SIGN_PKCS12="$(cached QUILLON_SIGN_PKCS12)" \
  -DQUILLON_SIGN_PASSWORD_FILE="$(cached QUILLON_SIGN_PASSWORD_FILE)" >/dev/null &&
  cmake --build "$again" -j "$(nproc)" --target "${release_targets[@]}" >"$again.log" 2>&1 ||
  { echo "FAILED: the second build (see $again.log)"; exit 1; }
check "a second build in another folder gives the same artefacts" same_artefacts "$windows_build" "$again"
check "SHA256SUMS holds the installer and the zip" \
  bash -c "cd '$windows_build' && sha256sum --quiet -c SHA256SUMS && [ \$(wc -l <SHA256SUMS) -eq 2 ]"

# A throwaway certificate; its password goes by file, never on a command line.
signing=$again/signing
mkdir -p "$signing"
head -c 24 /dev/urandom | base64 >"$signing/password"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$signing/key.pem" -out "$signing/cert.pem" -days 2 \
  -subj "/CN=Quillon throwaway signer" 2>/dev/null &&
  openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/cert.pem" -out "$signing/signer.p12" \
    -passout "file:$signing/password" || { echo "FAILED: making a certificate"; exit 1; }
signed_build() {
  cmake "$again" -DQUILLON_SIGN_PKCS12="$signing/signer.p12" -DQUILLON_SIGN_PASSWORD_FILE="$signing/password" \
    >/dev/null &&
    cmake --build "$again" -j "$(nproc)" --target "${release_targets[@]}" >>"$again.log" 2>&1
}
check "a signed build" signed_build
verify() { osslsigncode verify -CAfile "$signing/cert.pem" -in "$1" >/dev/null 2>&1; }
installer=$(ls "$again"/Quillon-*-setup.exe)
check "the program in the release is signed" verify "$again/resources/release/Quillon.exe"
check "the installer is signed" verify "$installer"
check "the signed program is the one in the zip" \
  bash -c "unzip -p '$(ls "$again"/Quillon-*-portable.zip)' Quillon.exe | cmp - '$again/resources/release/Quillon.exe'"
mkdir -p "$again/first-signing"
for name in $(artefacts "$again"); do cp "$again/$name" "$again/first-signing/${name//\//_}"; done
rm -f "$again/resources/release/Quillon.exe"
signed_again() {
  signed_build || return 1
  local name
  for name in $(artefacts "$again"); do cmp "$again/$name" "$again/first-signing/${name//\//_}" || return 1; done
}
check "signing again gives the same artefacts" signed_again

# The uninstaller exists only inside the installer: install, verify it, uninstall. The path is absolute, as
# /D wants it.
run="$windows_build/wine-run"
target='C:\quillon-signed-check'
installed=$(QUILLON_WINE_LOCALE=C.UTF-8 "$run" winepath -u "$target" 2>/dev/null | tr -d '\r')
"$run" "$installer" /S "/D=$target" </dev/null >/dev/null 2>&1
check "the signed installer installs" test -e "$installed/Uninstall.exe"
check "the installer's uninstaller is signed" verify "$installed/Uninstall.exe"
"$run" "$installed/Uninstall.exe" /S </dev/null >/dev/null 2>&1
# It goes on from a copy of itself in the temp folder: wait, bounded, for the folder to go.
for _ in $(seq 600); do [ -e "$installed" ] || break; sleep 0.1; done
check "the signed uninstaller removes the installation" test ! -e "$installed"

echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
