#!/usr/bin/env bash
# What the resident program costs while nothing happens: its context switches (all threads, summed
# from /proc) over a quiet stretch, first with the firmware service down, then with it up. Prints
# figures and asserts nothing.
# Usage: bench/idle_bench.sh [BIN_DIR [SECONDS]]   (defaults: build/mingw-x86_64/bin, 60)
set -u
cd "$(dirname "$0")/.."
export E2E_BIN=$(cd "${1:-build/mingw-x86_64/bin}" && pwd)
seconds=${2:-60}
export E2E_OUT=$PWD/build/idle-bench
source tests/e2e/lib.sh

# Voluntary and involuntary context switches of every thread of the process.
switches() {
  local voluntary=0 involuntary=0 status
  for status in /proc/"$1"/task/*/status; do
    voluntary=$((voluntary + $(awk '/^voluntary_ctxt_switches/ {print $2}' "$status" 2>/dev/null || echo 0)))
    involuntary=$((involuntary + $(awk '/^nonvoluntary_ctxt_switches/ {print $2}' "$status" 2>/dev/null || echo 0)))
  done
  echo "$voluntary $involuntary"
}

measure() {  # label pid
  local before after
  read -r -a before < <(switches "$2")
  sleep "$seconds"
  read -r -a after < <(switches "$2")
  printf '%-22s %6d voluntary %6d involuntary context switches in %d s\n' "$1" \
    $((after[0] - before[0])) $((after[1] - before[1])) "$seconds"
}

e2e_start_desktop yes || exit 1
trap 'driver_remove; e2e_stop_desktop' EXIT
driver_install
velkaro_start
probe wait-window Ormund 10000 || { echo "idle bench: the program did not start" >&2; exit 1; }
pid=$(pgrep -f '^[A-Z]:.*Velkaro\.exe' | head -n 1)  # Wine shows the Windows path as the command
[ -n "$pid" ] || { echo "idle bench: no process found" >&2; exit 1; }
sleep 3  # start-up is over
measure "service down" "$pid"
sim_start 2 0 16
sleep 12  # the listener's longest back-off: it has subscribed by now
measure "service up" "$pid"
exit_program >/dev/null
