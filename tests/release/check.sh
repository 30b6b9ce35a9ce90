#!/usr/bin/env bash
# The release as scripts/package.sh makes it, checked where a user or a package manager would notice:
#   reproducible  the commit packaged in two fresh clones, at different paths and times, gives the same
#                 bytes in dist/ and the same uninstaller; so does this checkout when it holds the commit
#   signed        --sign with a throwaway certificate: every signature verifies, and every file less
#                 its signature is the file the unsigned package holds
#   manifests     the winget and Scoop manifests name files whose hashes they give, with every field
#                 their formats require
# Prints PASS or FAIL per check, then "release: N passed, M failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/release
rm -rf "$work"
mkdir -p "$work"
passed=0
failed=0
result() {  # check name, then the failures found, one per line (none: passed)
  if [ -z "$2" ]; then
    passed=$((passed + 1))
    echo "PASS $1"
  else
    failed=$((failed + 1))
    echo "FAIL $1"
    sed 's/^/    /' <<<"$2"
  fi
}
# The files of a package as one list of "hash name" lines: dist/ and the packed uninstaller.
fingerprint() { (cd "$1" && find dist build/package/uninstall.exe -type f | sort | xargs sha256sum); }

package_clone() {  # directory: a fresh clone of the commit, packaged
  git clone -q "$root" "$1" && (cd "$1" && scripts/package.sh >"$1.log" 2>&1)
}

problems=$(
  package_clone "$work/first" || echo "packaging the first clone failed: $work/first.log"
  sleep 1  # another second in every time the build might stamp
  package_clone "$work/second/at/another/depth" || echo "packaging the second clone failed"
  diff <(fingerprint "$work/first") <(fingerprint "$work/second/at/another/depth") | grep '^[<>]'
  if [ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
    diff <(fingerprint "$work/first") <(fingerprint "$root") | grep '^[<>]' | sed 's/^/this checkout: /'
  fi
)
result reproducible "$problems"

# A certificate of its own, for signing only.
cert=$work/cert
mkdir -p "$cert"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$cert/key.pem" -out "$cert/cert.pem" -days 2 \
  -subj "/CN=Tendral test signing" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1
openssl pkcs12 -export -inkey "$cert/key.pem" -in "$cert/cert.pem" -out "$cert/test.pfx" -passout pass:t3st
unsigned=$work/unsigned
mkdir -p "$unsigned"
cp -r "$work/first/dist" "$work/first/build/package" "$unsigned/"
problems=$(
  cd "$work/first" || exit
  TENDRAL_SIGN_PASSWORD=t3st scripts/package.sh --sign "$cert/test.pfx" >"$work/signed.log" 2>&1 ||
    echo "packaging with --sign failed: $work/signed.log"
  version=$(scripts/version.sh)
  mkdir -p "$work/zips"
  for arch in x64 x86; do unzip -q -o "dist/Tendral-$version-$arch.zip" Velkaro.exe -d "$work/zips/$arch"; done
  # Each signed file, and what it must be without its signature. The setup holds signed programs, so
  # it is the one makensis made before it was signed.
  while read -r signed plain; do
    osslsigncode verify -CAfile "$cert/cert.pem" -in "$signed" >/dev/null 2>&1 || echo "not signed: $signed"
    rm -f "$work/stripped"
    osslsigncode remove-signature -in "$signed" -out "$work/stripped" >/dev/null 2>&1
    cmp -s "$work/stripped" "$plain" || echo "less its signature, not the unsigned file: $signed"
  done <<EOF
build/package/x64/Velkaro.exe $unsigned/package/x64/Velkaro.exe
build/package/x86/Velkaro.exe $unsigned/package/x86/Velkaro.exe
$work/zips/x64/Velkaro.exe $unsigned/package/x64/Velkaro.exe
$work/zips/x86/Velkaro.exe $unsigned/package/x86/Velkaro.exe
build/package/uninstall.exe $unsigned/package/uninstall.exe
dist/Tendral-$version-setup.exe build/package/Tendral-$version-setup.exe
EOF
)
result signed "$problems"

result manifests "$(python3 "$root/tests/release/manifests.py" "$root/dist" 2>&1)"

echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
