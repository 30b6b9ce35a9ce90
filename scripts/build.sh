#!/usr/bin/env bash
# Configures (once) and builds the given presets: native, native-asan, mingw-i686, mingw-x86_64.
#   scripts/build.sh [--target TARGET] PRESET...   (TARGET alone, Velkaro say, instead of everything)
# Quiet on success; on failure prints the build log.
set -uo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
target=()
if [ "${1:-}" = --target ]; then
  target=(--target "$2")
  shift 2
fi
for preset in "$@"; do
  log=build/$preset.build.log
  if [ ! -f "build/$preset/build.ninja" ]; then
    if ! cmake --preset "$preset" >"$log" 2>&1; then
      cat "$log" >&2
      echo "build: configuring $preset failed" >&2
      exit 1
    fi
  fi
  if ! cmake --build --preset "$preset" "${target[@]}" >>"$log" 2>&1; then
    grep -vE '^\[[0-9]+/[0-9]+\]' "$log" >&2
    echo "build: $preset failed" >&2
    exit 1
  fi
done
