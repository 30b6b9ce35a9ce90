#!/usr/bin/env bash
# What the resident program costs while nothing happens: its context switches (all threads, from /proc)
# over a quiet stretch, first with the firmware service down, then up. Prints figures, asserts nothing.
# Usage: bench/idle_bench.sh [BIN_DIR [SECONDS]]   (defaults: build/mingw-x86_64/bin, 60)
set -u
cd "$(dirname "$0")/.."
export E2E_BIN=$(cd "${1:-build/mingw-x86_64/bin}" && pwd) E2E_OUT=$PWD/build/idle-bench
seconds=${2:-60}
source tools/desktop/desktop.sh
tendral_lock_prefix

switches() {  # voluntary and involuntary, summed over the program's threads
  cat /proc/"$pid"/task/*/status 2>/dev/null \
    | awk '/^voluntary_ctxt/ {v += $2} /^nonvoluntary_ctxt/ {n += $2} END {print v + 0, n + 0}'
}

measure() {  # label; sets before and after
  read -r -a before < <(switches)
  sleep "$seconds"
  read -r -a after < <(switches)
  printf '%-22s %6d voluntary %6d involuntary context switches in %d s\n' "$1" \
    $((after[0] - before[0])) $((after[1] - before[1])) "$seconds"
}

e2e_start_desktop yes || exit 1
trap 'driver_remove; e2e_stop_desktop' EXIT
driver_install
velkaro_start
probe wait-window "$MAIN_WINDOW" 10000 || { echo "idle bench: the program did not start" >&2; exit 1; }
pid=$(pgrep -f '^[A-Z]:.*Velkaro\.exe' | head -n 1)  # Wine shows the Windows path as the command
[ -n "$pid" ] || { echo "idle bench: no process found" >&2; exit 1; }
sleep 3  # start-up is over
measure "service down"
sim_start 2 0 16
sleep 12  # the listener's longest back-off: it has subscribed by now
measure "service up"
velkaro_stop_all
