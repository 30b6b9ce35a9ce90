#!/usr/bin/env bash
# Runs Velkaro.exe with its simulated firmware service in a Wine virtual desktop.
# With a DISPLAY the desktop opens on your screen and runs until the program ends or you press Ctrl-C
# here. Without one it runs on its own Xvfb, saves a screenshot of the desktop with the tray
# icon, prints where it is and what the simulator's journal shows, and stops.
set -uo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
scripts/setup.sh || exit 1
source scripts/wine-env.sh
if tendral_runs_i686; then preset=mingw-i686; else preset=mingw-x86_64; fi
scripts/build.sh "$preset" || exit 1
export E2E_BIN=$PWD/build/$preset/bin E2E_OUT=$PWD/build/run
source tests/e2e/lib.sh
tendral_wine_prefix

if [ -n "${DISPLAY:-}" ]; then
  e2e_start_desktop no || exit 1
else
  e2e_start_desktop yes || exit 1
fi
trap 'driver_remove; e2e_stop_desktop' EXIT

driver_install
echo "run: stand-in NVIDIA driver installed in the prefix; its calls go to $E2E_OUT/driver.log"
sim_start || exit 1
echo "run: firmware simulator serving (System item 0 = 2, System item 1 = 0, AP item 6 = $(ap6))"
velkaro_start
probe wait-window Ormund 15000 || { echo "run: Velkaro.exe did not start" >&2; exit 1; }
eventually 5 ap6_is 17
echo "run: Velkaro.exe ($preset) is running; its icon is in the tray of the Wine desktop"
echo "run: AP item 6 is now $(ap6): the overclocked mode is on"

if [ -n "$E2E_XVFB_PID" ]; then
  sleep 1
  screenshot "$E2E_OUT/desktop.png"
  echo "run: screenshot of the desktop: $E2E_OUT/desktop.png"
  probe post Ormund 0x0111 303 0 >/dev/null
  echo "run: Velkaro.exe ended with exit code $(velkaro_wait_exit)"
  echo "run: AP item 6 is now $(ap6): switched off on exit"
else
  echo "run: the icon is at the bottom right of the Wine desktop; press Ctrl-C here to end it"
  # Ctrl-C ends the program the way its Exit command does, so that its shutdown runs.
  trap 'probe post Ormund 0x0111 303 0 >/dev/null' INT TERM
  until [ -s "$E2E_OUT/velkaro.exit" ]; do sleep 0.5; done
  trap - INT TERM
  echo "run: Velkaro.exe ended with exit code $(cat "$E2E_OUT/velkaro.exit")"
  echo "run: AP item 6 is now $(ap6)"
  E2E_VELKARO_PID=
fi
echo "run: simulator journal ($E2E_JOURNAL):"
journal | sed 's/^/    /'
echo "run: driver calls ($E2E_OUT/driver.log):"
driver_log | sed 's/^/    /'
