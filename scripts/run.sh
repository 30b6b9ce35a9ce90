#!/usr/bin/env bash
# Runs Velkaro.exe with its simulated firmware service in a Wine virtual desktop.
# With a DISPLAY the desktop opens on your screen and runs until the program ends or you press Ctrl-C
# here. Without one it runs on its own Xvfb, saves a screenshot of the desktop with the tray
# icon, prints where it is and what the simulator's journal shows, and stops.
set -uo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
source scripts/wine-env.sh
tendral_lock_prefix
scripts/setup.sh || exit 1
if tendral_runs_i686; then preset=mingw-i686; else preset=mingw-x86_64; fi
scripts/build.sh "$preset" || exit 1
export E2E_BIN=$PWD/build/$preset/bin E2E_OUT=$PWD/build/run
source tools/desktop/desktop.sh
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
probe wait-window "$MAIN_WINDOW" 15000 || { echo "run: Velkaro.exe did not start" >&2; exit 1; }
eventually 5 ap6_is 17
echo "run: Velkaro.exe ($preset) is running; its icon is in the tray of the Wine desktop"
echo "run: AP item 6 is now $(ap6): the overclocked mode is on"

if [ -n "$E2E_XVFB_PID" ]; then
  # Headless: a walk through the tray menu with the mouse, with screenshots.
  sleep 1
  screenshot "$E2E_OUT/desktop.png"
  echo "run: screenshot of the desktop with the tray icon: $E2E_OUT/desktop.png"
  open_tray_menu && menu_screenshot option-on && press_escape_on_menu
  echo "run: screenshot of the tray menu, option on: $E2E_OUT/menu-option-on.png"
  sim_ctl set system0 0 >/dev/null
  sim_ctl event 0x60 >/dev/null
  echo "run: the firmware turned its overclock option off and said so (event 0x60)"
  eventually 8 ap6_is 16
  echo "run: AP item 6 is now $(ap6): switched off by the event"
  open_tray_menu && menu_screenshot option-off
  echo "run: screenshot of the tray menu, option off: $E2E_OUT/menu-option-off.png"
  choose exit
  echo "run: chose Exit in the tray menu; Velkaro.exe ended with exit code $(velkaro_wait_exit)"
  echo "run: AP item 6 is now $(ap6)"
else
  echo "run: right-click the icon at the bottom right of the Wine desktop to use the tray menu;"
  echo "run: choose Exit there, or press Ctrl-C here, to end the program"
  # Ctrl-C ends the program the way its Exit command does, so that its shutdown runs.
  trap 'probe post "$MAIN_WINDOW" 0x0111 303 0 >/dev/null' INT TERM
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
