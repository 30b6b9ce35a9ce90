#!/usr/bin/env bash
# Start-up of Velkaro.exe against a minimal tray program, on the e2e desktop with the simulated firmware
# service (option on) and the stand-in driver. Prints each program's size, the medians and their ratio to
# the minimal program's; asserts nothing.
# Usage: bench/startup_bench.sh [BIN_DIR [RUNS [OTHER_VELKARO_EXE...]]]   (defaults: build/mingw-x86_64/bin, 20)
# Other builds of the program, an older one for instance, are measured in the same run as program 2...
set -u
others=()
for other in "${@:3}"; do others+=("$(realpath "$other")"); done
bin=$(cd "${1:-$(dirname "$0")/../build/mingw-x86_64/bin}" 2>/dev/null && pwd) || { echo "startup bench: no such folder: $1" >&2; exit 1; }
cd "$(dirname "$0")/.."
export E2E_BIN=$bin E2E_OUT=$PWD/build/startup-bench
runs=${2:-20}
source tools/desktop/desktop.sh
tendral_lock_prefix

e2e_start_desktop yes || exit 1
trap 'driver_remove; e2e_stop_desktop' EXIT
driver_install
sim_start 2 0 16 || exit 1
programs=("$(winpath "$E2E_BIN/minimal_tray.exe")" "$(winpath "$E2E_BIN/Velkaro.exe")")
for other in "${others[@]}"; do programs+=("$(winpath "$other")"); done
i=1
for exe in "$E2E_BIN/Velkaro.exe" "${others[@]}"; do echo "program $i: $exe, $(stat -c %s "$exe") bytes"; i=$((i + 1)); done
"$WINE_RUN" "$E2E_BIN/startup_bench.exe" "$E2E_DESKTOP" "$runs" "${programs[@]}" | tr -d '\r'
