# Sourced by scripts/run.sh and, through tests/e2e/lib.sh, by the e2e scenarios: drives the real
# Velkaro.exe in a Wine virtual desktop on an X display, with the firmware service simulator, the
# stand-in driver and the probe helper. Long-running Wine processes get their own session (setsid),
# so that a Ctrl-C reaches only the script, which then ends them in order.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"

E2E_DESKTOP=tendral-e2e
E2E_SIZE=1024x768
E2E_BIN=${E2E_BIN:-}
E2E_OUT=${E2E_OUT:-$TENDRAL_ROOT/build/e2e}
E2E_JOURNAL=$E2E_OUT/journal.log
WINE_RUN=$TENDRAL_ROOT/scripts/wine-run
E2E_XVFB_PID=
E2E_KEEPER_PID=
E2E_SIM_PID=
E2E_VELKARO_PID=

E2E_DPI=96
# The program's main window caption, from its one definition: how the scripts find a running copy.
MAIN_WINDOW=$(sed -nE 's/^#define TENDRAL_MAIN_WINDOW_CAPTION "(.*)"$/\1/p' "$TENDRAL_ROOT/resources/resource.h")

# Starts an own Xvfb display unless told to use the caller's, and the virtual desktop on it, at the
# given DPI (96 by default). The desktop is kept in use by a probe that holds it, so that it survives
# the program's restarts.
e2e_start_desktop() {
  local own_display=${1:-yes}
  E2E_DPI=${2:-96}
  mkdir -p "$E2E_OUT"
  if [ "$own_display" = yes ]; then
    local n=90
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 ${E2E_SIZE}x24 -nolisten tcp >/dev/null 2>&1 &
    E2E_XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  fi
  tendral_wine_start
  # Wine has one DPI for all its windows, read from here when a process starts.
  e2e_write_dpi "$E2E_DPI"
  setsid "$WINE64" explorer /desktop=$E2E_DESKTOP,$E2E_SIZE "$(winpath "$E2E_BIN/probe.exe")" hold \
    </dev/null >/dev/null 2>&1 &
  E2E_KEEPER_PID=$!
  for _ in $(seq 100); do
    probe windows 2>/dev/null | grep -q Shell_TrayWnd && return 0
    sleep 0.1
  done
  echo "e2e: the virtual desktop did not come up" >&2
  return 1
}

e2e_stop_desktop() {
  velkaro_stop_all
  sim_stop
  # The prefix is shared with the win tests, which expect 96 DPI, also after an interrupted run.
  [ "$E2E_DPI" = 96 ] || { e2e_write_dpi 96 && E2E_DPI=96; }
  tendral_wine_stop
  [ -n "$E2E_KEEPER_PID" ] && wait "$E2E_KEEPER_PID" 2>/dev/null
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null
    wait "$E2E_XVFB_PID" 2>/dev/null
  fi
  E2E_KEEPER_PID= E2E_XVFB_PID=
}

e2e_write_dpi() {
  "$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1
}

winpath() { echo "Z:${1//\//\\}"; }

probe() { "$WINE_RUN" "$E2E_BIN/probe.exe" --desktop "$E2E_DESKTOP" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# The firmware service simulator: sim_start [SYSTEM0 [SYSTEM1 [AP6]]], option on (2 0 16) by default.
sim_start() {
  sim_stop
  rm -f "$E2E_JOURNAL"
  setsid "$WINE_RUN" "$E2E_BIN/firmware_sim.exe" serve --system0 "${1:-2}" --system1 "${2:-0}" --ap6 "${3:-16}" \
    --journal "$(winpath "$E2E_JOURNAL")" </dev/null >/dev/null 2>&1 &
  E2E_SIM_PID=$!
  for _ in $(seq 100); do
    [ "$(sim_ctl ping)" = ok ] && return 0
    sleep 0.05
  done
  echo "e2e: the simulator did not start" >&2
  return 1
}

sim_ctl() { "$WINE_RUN" "$E2E_BIN/firmware_sim.exe" ctl "$@" 2>/dev/null | tr -d '\r'; }

sim_stop() {
  [ -n "$E2E_SIM_PID" ] || return 0
  sim_ctl stop >/dev/null
  wait "$E2E_SIM_PID" 2>/dev/null
  E2E_SIM_PID=
}

# The journal without control lines.
journal() { grep -v '^#' "$E2E_JOURNAL" 2>/dev/null | tr -d '\r'; }

# Starts Velkaro.exe, the build's or the one given (a path here, or C:\... in the prefix), on the
# desktop; velkaro_wait_exit tells its exit code.
velkaro_start() {
  local exe=${1:-$E2E_BIN/Velkaro.exe}
  [[ $exe == [A-Z]:\\* ]] || exe=$(winpath "$exe")
  rm -f "$E2E_OUT/velkaro.exit"
  (
    trap '' INT
    setsid "$WINE_RUN" "$E2E_BIN/probe.exe" --desktop "$E2E_DESKTOP" run 600000 "$exe" \
      </dev/null >/dev/null 2>&1
    echo $? >"$E2E_OUT/velkaro.exit"
  ) &
  E2E_VELKARO_PID=$!
}

# Waits up to 10 s for the started program to end and prints its exit code.
velkaro_wait_exit() {
  for _ in $(seq 100); do
    if [ -s "$E2E_OUT/velkaro.exit" ]; then
      cat "$E2E_OUT/velkaro.exit"
      return 0
    fi
    sleep 0.1
  done
  echo "still running"
}

# Ends every Velkaro.exe of this prefix that a scenario left behind.
velkaro_stop_all() {
  if probe find "$MAIN_WINDOW"; then
    probe post "$MAIN_WINDOW" 0x0111 303 0 >/dev/null
    probe wait-gone "$MAIN_WINDOW" 5000 || "$WINE64" taskkill /f /im Velkaro.exe </dev/null >/dev/null 2>&1
  fi
  [ -n "$E2E_VELKARO_PID" ] && wait "$E2E_VELKARO_PID" 2>/dev/null
  E2E_VELKARO_PID=
}

# The stand-in driver library, put where the driver keeps its library and scripted by a plan:
# driver_install [PLAN LINE...]. Its calls are logged to $E2E_OUT/driver.log.
driver_file() {
  if [ -f "$E2E_BIN/../standin/nvapi64.dll" ]; then
    echo "$WINEPREFIX/drive_c/windows/system32/nvapi64.dll"
  else
    echo "$WINEPREFIX/drive_c/windows/syswow64/nvapi.dll"
  fi
}
driver_install() {
  cp "$(ls "$E2E_BIN"/../standin/nvapi64.dll "$E2E_BIN"/../standin/nvapi.dll 2>/dev/null | head -n 1)" "$(driver_file)"
  rm -f "$E2E_OUT/driver.log"
  { echo "log $(winpath "$E2E_OUT/driver.log")"; printf '%s\n' "$@"; } >"$E2E_OUT/plan.txt"
  export TENDRAL_NVAPI_PLAN
  TENDRAL_NVAPI_PLAN=$(winpath "$E2E_OUT/plan.txt")
}
driver_remove() { rm -f "$(driver_file)"; }
# The entry calls the driver saw, without the interface lookups.
driver_log() { tr -d '\r' <"$E2E_OUT/driver.log" 2>/dev/null | grep -v '^nvapi_QueryInterface'; }

# AP item 6 as the simulator holds it.
ap6() { sim_ctl get ap6 | sed 's/^ok //'; }
ap6_is() { [ "$(ap6)" = "$1" ]; }

# Runs a command until it succeeds, about $1 seconds at most. The command is run anew each time: pass
# a function, never a "$(...)" that the shell would expand once.
eventually() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

screenshot() { xwd -root -display "$DISPLAY" | convert xwd:- "$1"; }

# The tray icon and its menu, driven with the mouse and the keyboard. The icon's centre at 96 DPI.
TRAY_X=1014
TRAY_Y=758

# Right-clicks the icon (at TRAY_X, TRAY_Y unless given X and Y) and, once the menu is on screen,
# moves the mouse off it, so that neither the icon's tooltip nor a hovered entry shows in the
# screenshots. The pointer stays on the icon until then: the program reads the cursor when it handles
# the button release, which under load can come after a move away.
open_tray_menu() {
  xdotool mousemove "${1:-$TRAY_X}" "${2:-$TRAY_Y}" click 3
  eventually 5 probe menu-rect || return 1
  xdotool mousemove 500 300
}

# Keys typed in the open menu, with the pointer resting on the side bar's column: X sends keys to the
# window under the pointer, and resting there highlights no entry.
press_on_menu() {
  local left top right bottom
  read -r left top right bottom < <(probe menu-rect) || return 1
  xdotool mousemove $((left + 6)) $((top + 40)) key "$@"
}
press_escape_on_menu() { press_on_menu Escape; }

# Clicks an entry of the open menu, named by its text in lower case, where the probe says it is.
choose() {
  local point
  point=$(probe menu-point "$1") || return 1
  xdotool mousemove ${point% *} ${point#* } click 1
}

# Saves a screenshot of the open menu as $E2E_OUT/menu-NAME.png.
menu_screenshot() {
  local left top right bottom
  read -r left top right bottom < <(probe menu-rect) || return 1
  screenshot "$E2E_OUT/screen.png"
  convert "$E2E_OUT/screen.png" -crop $((right - left))x$((bottom - top))+$left+$top +repage "$E2E_OUT/menu-$1.png"
}
