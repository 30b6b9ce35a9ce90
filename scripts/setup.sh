#!/usr/bin/env bash
# Installs, from Debian packages, everything the build, the run and the tests need.
# Idempotent and quick when all is present: it only calls apt when something is missing.
set -euo pipefail

# Every program that the scripts, the tests and the benchmarks call and a minimal Debian lacks:
# scripts/fresh-check.sh proves the list on one.
packages=(
  cmake ninja-build g++ googletest libgtest-dev git clang-format
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine wine64 wine32:i386
  xvfb xdotool x11-apps imagemagick librsvg2-bin procps
  nsis zip unzip osslsigncode openssl python3 python3-yaml
  debootstrap
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; }
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # A mirror caught mid-sync may fail one index; what the others list may still be enough.
  apt-get update -qq || echo "setup: apt-get update reported errors; installing from what it got" >&2
  if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    # The 32-bit Wine needs i386 libraries of the same versions as the 64-bit ones; a stale i386 index
    # breaks only that. The 64-bit tiers can still run, and test.sh says that the 32-bit ones did not.
    native=()
    for p in "${missing[@]}"; do [[ $p == *:i386 ]] || native+=("$p"); done
    [ ${#native[@]} -lt ${#missing[@]} ] || exit 1
    echo "setup: the i386 packages could not be installed; 32-bit programs will not run" >&2
    [ ${#native[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${native[@]}" >/dev/null
  fi
fi
