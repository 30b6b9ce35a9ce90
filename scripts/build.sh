#!/usr/bin/env bash
# Configures (once) and builds the given presets: native, native-asan, mingw-i686, mingw-x86_64.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in "$@"; do
  if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >"build/$preset.configure.log" 2>&1 || {
      cat "build/$preset.configure.log" >&2
      exit 1
    }
  fi
  cmake --build --preset "$preset" -- -k 0 2>&1 | grep -vE '^\[[0-9]+/[0-9]+\]' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "build: $preset failed" >&2; exit 1; }
done
