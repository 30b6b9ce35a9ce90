#!/usr/bin/env bash
# Makes, under dist/, what a Windows user downloads and what package managers read:
#   Tendral-<version>-setup.exe   the per-user installer (NSIS, from packaging/tendral.nsi)
#   Tendral-<version>-x64.zip     the 64-bit program and a readme, to run without installing
#   Tendral-<version>-x86.zip     the 32-bit program and a readme
#   SHA256SUMS                    of those three
#   winget/                       the winget manifests: version, installer, default locale
#   tendral.json                  the Scoop manifest, for the zips
# The same commit makes the same bytes wherever and whenever it is built (docs/releasing.md).
#
#   scripts/package.sh [--sign FILE.pfx]
# --sign signs both programs and the uninstaller before they are packed, and the setup after
# (Authenticode, SHA-256). The certificate's password comes from TENDRAL_SIGN_PASSWORD; with
# TENDRAL_TIMESTAMP_URL set, each signature gets an RFC 3161 timestamp from that server.
# Installs what is missing and builds the program of both Windows presets first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

case "${1:-}" in
  "") unset TENDRAL_SIGN_PFX ;;
  --sign)
    [ $# -eq 2 ] && [ -f "$2" ] || { echo "package: --sign needs a certificate file (.pfx)" >&2; exit 2; }
    [ -n "${TENDRAL_SIGN_PASSWORD+set}" ] || { echo "package: TENDRAL_SIGN_PASSWORD is not set" >&2; exit 2; }
    export TENDRAL_SIGN_PFX=$(realpath "$2") ;;
  *) echo "usage: scripts/package.sh [--sign FILE.pfx]" >&2; exit 2 ;;
esac

scripts/setup.sh
# The build's own dist target builds its preset before calling this script.
for preset in mingw-i686 mingw-x86_64; do
  [ "$preset" = "${TENDRAL_BUILT_PRESET:-}" ] || scripts/build.sh --target Velkaro "$preset"
done

version=$(scripts/version.sh)
rc_value() { sed -nE "s/^ *VALUE \"$1\", \"([^\"]*)\"/\1/p" resources/Velkaro.rc; }
product=$(rc_value ProductName)
company=$(rc_value CompanyName)
copyright=$(rc_value LegalCopyright)
kilobytes() { echo $((($(stat -c %s "$1") + 1023) / 1024)); }
main_window=$(sed -nE 's/^#define TENDRAL_MAIN_WINDOW_CAPTION "(.*)"$/\1/p' resources/resource.h)
conf() { sed -nE "s/^$1=(.*)/\1/p" packaging/release.conf; }
base=${TENDRAL_DOWNLOAD_BASE:-$(conf download_base)}
base=${base//\{version\}/$version}
# Every time a package stores is the commit's, so that building again makes the same bytes.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
stage=build/package
setup=$product-$version-setup.exe
rm -rf dist "$stage"
mkdir -p dist "$stage"

# What is packed, signed first when asked, with fixed times and modes.
for pair in x64:mingw-x86_64 x86:mingw-i686; do
  arch=${pair%:*}
  mkdir -p "$stage/$arch"
  cp "build/${pair#*:}/bin/Velkaro.exe" "$stage/$arch/"
  [ -z "${TENDRAL_SIGN_PFX:-}" ] || scripts/sign.sh "$stage/$arch/Velkaro.exe"
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" -e 's/$/\r/' packaging/readme.txt >"$stage/$arch/README.txt"
  chmod 644 "$stage/$arch"/*
  touch -d "@$epoch" "$stage/$arch"/*
  (cd "$stage/$arch" && TZ=UTC zip -q -X -D "$root/dist/$product-$version-$arch.zip" Velkaro.exe README.txt)
done

# makensis makes the uninstaller while it builds the setup. The hook puts it in the form a signature's
# removal gives back (as the setup below), signs it when asked before it is packed, and keeps a copy
# of what was packed.
hook="\"$root/scripts/pe-normalize.py\" \"%1\""
[ -z "${TENDRAL_SIGN_PFX:-}" ] || hook="$hook && \"$root/scripts/sign.sh\" \"%1\""
hook="$hook && cp \"%1\" \"$root/$stage/uninstall.exe\""
makensis -V2 -WX -DVERSION="$version" -DPRODUCT="$product" -DCOMPANY="$company" -DCOPYRIGHT="$copyright" \
  -DMAIN_WINDOW="$main_window" -DICON="$root/resources/velkaro.ico" -DBIN_X86="$root/$stage/x86" \
  -DBIN_X64="$root/$stage/x64" -DKB_X86="$(kilobytes "$stage/x86/Velkaro.exe")" \
  -DKB_X64="$(kilobytes "$stage/x64/Velkaro.exe")" -DUNINSTALLER_HOOK="$hook" -DOUTFILE="$root/$stage/$setup" \
  packaging/tendral.nsi
scripts/pe-normalize.py "$stage/$setup"
cp "$stage/$setup" dist/
[ -z "${TENDRAL_SIGN_PFX:-}" ] || scripts/sign.sh "dist/$setup"
(cd dist && sha256sum -- *.exe *.zip >SHA256SUMS)

# The package managers' manifests, from the same files.
sha() { sha256sum "dist/$1" | cut -d' ' -f1; }
winget_id=$(conf winget_id)
schema=1.28.0
mkdir -p dist/winget
header() { echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.$schema.schema.json"; }
{
  header version
  cat <<EOF
PackageIdentifier: $winget_id
PackageVersion: $version
DefaultLocale: en-US
ManifestType: version
ManifestVersion: $schema
EOF
} >"dist/winget/$winget_id.yaml"
{
  header installer
  cat <<EOF
PackageIdentifier: $winget_id
PackageVersion: $version
InstallerType: nullsoft
Scope: user
InstallModes:
- interactive
- silent
- silentWithProgress
InstallerSwitches:
  Silent: /S
  SilentWithProgress: /S
  InstallLocation: /D=<INSTALLPATH>
UpgradeBehavior: install
ProductCode: $product
AppsAndFeaturesEntries:
- DisplayName: $product
  Publisher: $company
  DisplayVersion: $version
  ProductCode: $product
Installers:
EOF
  # One setup holds both builds and installs the one that fits the system.
  for arch in x64 x86; do
    printf -- '- Architecture: %s\n  InstallerUrl: %s/%s\n  InstallerSha256: %s\n' \
      "$arch" "$base" "$setup" "$(sha "$setup" | tr a-f A-F)"
  done
  printf 'ManifestType: installer\nManifestVersion: %s\n' "$schema"
} >"dist/winget/$winget_id.installer.yaml"
{
  header defaultLocale
  cat <<EOF
PackageIdentifier: $winget_id
PackageVersion: $version
PackageLocale: en-US
Publisher: $company
PackageName: $product
License: $(conf license)
Copyright: $copyright
ShortDescription: $(conf short_description)
ManifestType: defaultLocale
ManifestVersion: $schema
EOF
} >"dist/winget/$winget_id.locale.en-US.yaml"
cat >dist/tendral.json <<EOF
{
    "version": "$version",
    "description": "$(conf short_description)",
    "license": "$(conf license)",
    "architecture": {
        "64bit": {
            "url": "$base/$product-$version-x64.zip",
            "hash": "$(sha "$product-$version-x64.zip")"
        },
        "32bit": {
            "url": "$base/$product-$version-x86.zip",
            "hash": "$(sha "$product-$version-x86.zip")"
        }
    },
    "bin": "Velkaro.exe",
    "shortcuts": [["Velkaro.exe", "$product"]]
}
EOF
touch -d "@$epoch" dist/winget/* dist/*
ls -l dist dist/winget
