#!/usr/bin/env bash
# Makes, under dist/, what a Windows user downloads:
#   Tendral-<version>-setup.exe   the per-user installer (NSIS, from packaging/tendral.nsi)
#   Tendral-<version>-x64.zip     the 64-bit program and a readme, to run without installing
#   Tendral-<version>-x86.zip     the 32-bit program and a readme
#   SHA256SUMS                    of the three
# Installs what is missing and builds both Windows presets first (quick when they are current).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# The build's own dist target builds its preset before calling this script.
for preset in mingw-i686 mingw-x86_64; do
  [ "$preset" = "${TENDRAL_BUILT_PRESET:-}" ] || scripts/build.sh "$preset"
done

version=$(scripts/version.sh)
rc_value() { sed -nE "s/^ *VALUE \"$1\", \"([^\"]*)\"/\1/p" resources/Velkaro.rc; }
product=$(rc_value ProductName)
company=$(rc_value CompanyName)
copyright=$(rc_value LegalCopyright)
kilobytes() { echo $((($(stat -c %s "$1") + 1023) / 1024)); }
x86=build/mingw-i686/bin
x64=build/mingw-x86_64/bin
stage=build/package
rm -rf dist "$stage"
mkdir -p dist "$stage"

# Fixed times and attributes, so that the same program always makes the same zip.
for arch in x64 x86; do
  dir=$stage/$arch
  mkdir -p "$dir"
  if [ $arch = x64 ]; then cp "$x64/Velkaro.exe" "$dir"; else cp "$x86/Velkaro.exe" "$dir"; fi
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" -e 's/$/\r/' packaging/readme.txt >"$dir/README.txt"
  touch -d '2026-01-01 00:00:00 UTC' "$dir"/*
  (cd "$dir" && TZ=UTC zip -q -X -D "../../../dist/$product-$version-$arch.zip" Velkaro.exe README.txt)
done

makensis -V2 -WX -DVERSION="$version" -DPRODUCT="$product" -DCOMPANY="$company" -DCOPYRIGHT="$copyright" \
  -DICON="$PWD/resources/velkaro.ico" -DBIN_X86="$PWD/$x86" -DBIN_X64="$PWD/$x64" \
  -DKB_X86="$(kilobytes "$x86/Velkaro.exe")" -DKB_X64="$(kilobytes "$x64/Velkaro.exe")" \
  -DOUTFILE="$PWD/dist/$product-$version-setup.exe" packaging/tendral.nsi

(cd dist && sha256sum -- *.exe *.zip >SHA256SUMS)
ls -l dist
