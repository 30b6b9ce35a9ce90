#!/usr/bin/env bash
# menu_open_bench.exe on a Wine virtual desktop of its own Xvfb, as e2e runs the program, so that the
# menus are real windows on a display. Prints its figures; asserts nothing.
# Usage: bench/menu_open_bench.sh [BIN_DIR]   (default: build/mingw-x86_64/bin)
set -u
cd "$(dirname "$0")/.."
export E2E_BIN=$(cd "${1:-build/mingw-x86_64/bin}" && pwd) E2E_OUT=$PWD/build/menu-open-bench
source tools/desktop/desktop.sh
tendral_lock_prefix
e2e_start_desktop yes || exit 1
trap 'e2e_stop_desktop' EXIT
xdotool mousemove 500 300  # where the menus open, away from the taskbar
"$WINE_RUN" "$E2E_BIN/probe.exe" --desktop "$E2E_DESKTOP" run 600000 "$(winpath "$E2E_BIN/menu_open_bench.exe")" \
  </dev/null | tr -d '\r'
