#!/usr/bin/env bash
# Start-up of Velkaro.exe against a minimal tray program, on the e2e desktop with the simulated firmware
# service (option on) and the stand-in driver. Prints medians and their ratio, asserts nothing.
# Usage: bench/startup_bench.sh [BIN_DIR [RUNS]]   (defaults: build/mingw-x86_64/bin, 20)
set -u
cd "$(dirname "$0")/.."
export E2E_BIN=$(cd "${1:-build/mingw-x86_64/bin}" && pwd) E2E_OUT=$PWD/build/startup-bench
runs=${2:-20}
source tools/desktop/desktop.sh

e2e_start_desktop yes || exit 1
trap 'driver_remove; e2e_stop_desktop' EXIT
driver_install
sim_start 2 0 16 || exit 1
"$WINE_RUN" "$E2E_BIN/startup_bench.exe" "$E2E_DESKTOP" "$runs" "$(winpath "$E2E_BIN/Velkaro.exe")" \
  "$(winpath "$E2E_BIN/minimal_tray.exe")" | tr -d '\r'
