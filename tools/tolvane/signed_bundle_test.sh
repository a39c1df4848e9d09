#!/usr/bin/env bash
# The sample product from the product folder to a signed download, with the
# tool's Windows build under Wine: tolvane.exe builds the bundle, the code
# signer signs it with a certificate made here, verification passes, one
# changed payload byte makes it fail, and the signed bundle still installs
# the sample silently and passes setup.exe's exit code on.
#
#   signed_bundle_test.sh BIN EXAMPLES
#
# BIN: the win64 build's programs (tolvane.exe, bundle_stub.exe, setup.exe,
# smooth.dll, uninstall.exe, pebble.exe); EXAMPLES: the sample's folder.
# Runs in the Wine prefix and on the display the test command set up.
set -uo pipefail
bin=$1
examples=$2
work=$(mktemp -d)
target='C:\tolvane-signed-test\Pebble Notes'
failures=0

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
cleanup() {
  rm -rf "$work"
  rm -rf "$(winepath -u 'C:\tolvane-signed-test' 2>/dev/null)"
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pebble Notes' /f >/dev/null 2>&1
}
trap cleanup EXIT

mkdir -p "$work/src"
cp -R "$examples/setup.xml" "$examples/logo.bmp" "$examples/license.txt" "$examples/files" "$work/src/"
cp "$bin/pebble.exe" "$work/src/files/app/"

win() { winepath -w "$1" 2>/dev/null; }
wine "$bin/tolvane.exe" build "$(win "$work/src")" -o "$(win "$work/out")" --programs "$(win "$bin")" --bundle >"$work/build.txt" 2>&1 \
  || { cat "$work/build.txt"; fail "tolvane.exe build"; exit 1; }
[ -f "$work/out.exe" ] || { fail "no bundle written"; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/test.key" -out "$work/test.crt" -days 2 \
  -subj "/CN=Tolvane Test Publisher" >/dev/null 2>&1 || { fail "openssl could not make a certificate"; exit 1; }
osslsigncode sign -certs "$work/test.crt" -key "$work/test.key" -h sha256 -in "$work/out.exe" -out "$work/signed.exe" >/dev/null \
  || { fail "osslsigncode sign"; exit 1; }
verify() { osslsigncode verify -CAfile "$work/test.crt" -in "$1" >/dev/null 2>&1; }
verify "$work/signed.exe" || fail "the signed bundle does not verify"

# One byte of the payload (the middle of the file lies in it: the stub is
# a small part of the bundle) changed after signing.
python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[len(b) // 2] ^= 1; open(sys.argv[2], "wb").write(b)' \
  "$work/signed.exe" "$work/flipped.exe"
verify "$work/flipped.exe" && fail "a changed payload byte still verifies"

# The signed bundle runs: the stub finds its payload in front of the
# signature and installs silently.
wine "$work/signed.exe" /S "/D=$target"
code=$?
[ "$code" -eq 0 ] || fail "the signed bundle ended with $code"
installed=$(winepath -u "$target" 2>/dev/null)
for f in pebble.exe uninstall/uninstall.exe uninstall/uninstall.xml docs/manual.txt; do
  [ -f "$installed/$f" ] || fail "not installed: $f"
done

# The flipped bundle installs nothing and says so with its own code.
wine "$work/flipped.exe" /S '/D=C:\tolvane-signed-test\Flipped'
code=$?
[ "$code" -eq 101 ] || fail "the changed bundle ended with $code, not 101"
[ -e "$(winepath -u 'C:\tolvane-signed-test\Flipped' 2>/dev/null)" ] && fail "the changed bundle installed something"

[ "$failures" -eq 0 ] && echo "signed bundle: built, signed, verified, refused when changed, installed"
exit "$failures"
