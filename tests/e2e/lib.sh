# Sourced by tests/e2e/run.sh: the desktop driver of tools/desktop, and what scenarios check with.
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/desktop/desktop.sh"

# Number of colours in tray slot N (0 is the rightmost) of a screenshot: 1 when the slot is empty.
tray_slot_colours() {
  convert "$1" -crop 16x16+$((1006 - 20 * $2))+750 +repage -format %k info:
}

# The taskbar's rectangle: left top right bottom. Its tray slots are squares as high as the taskbar.
taskbar_rect() { probe windows | sed -n 's/.*visible 1 class "Shell_TrayWnd".* rect \([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\)$/\1 \2 \3 \4/p'; }

# Whether screenshot $1 shows the program icon's $2-pixel picture unscaled, centred in the rightmost
# tray slot of the taskbar at $3 (left top right bottom). Wine's tray draws every icon at the
# small-icon size, scaling a picture of any other size.
tray_icon_is_picture() {
  local left top right bottom side index ico=$TENDRAL_ROOT/resources/velkaro.ico
  read -r left top right bottom <<<"$3"
  side=$((bottom - top))
  index=$(identify -format '%p %w\n' "$ico" | awk -v size="$2" '$2 == size { print $1 }')
  convert "$1" -crop ${side}x${side}+$((right - side))+$top +repage "$E2E_OUT/slot.png"
  convert -size ${side}x${side} "xc:$(convert "$E2E_OUT/slot.png" -format '%[pixel:p{0,0}]' info:)" \
    "$ico[$index]" -gravity center -composite "$E2E_OUT/slot-expected.png"
  # Blending rounds: a few levels, where a scaled picture differs in hundreds of pixels.
  [ "$(compare -metric AE -fuzz 3% "$E2E_OUT/slot.png" "$E2E_OUT/slot-expected.png" null: 2>&1)" = 0 ]
}

# Polls a screenshot until tray slot $1 shows (yes) or does not show (no) an icon.
tray_slot_shows() {
  local slot=$1 wanted=$2 shot=$E2E_OUT/tray-poll.png colours
  for _ in $(seq 30); do
    screenshot "$shot"
    colours=$(tray_slot_colours "$shot" "$slot")
    if { [ "$wanted" = yes ] && [ "$colours" -gt 1 ]; } || { [ "$wanted" = no ] && [ "$colours" -eq 1 ]; }; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Starts the program and waits until it runs (and has made its start-up exchanges).
start_running() {
  velkaro_start
  expect "the program runs" probe wait-window "$MAIN_WINDOW" 10000
  expect "start-up is done" eventually 5 sh -c "grep -q 'System:0' '$E2E_JOURNAL'"
  sleep 0.3
}

exit_program() {
  probe post "$MAIN_WINDOW" 0x0111 303 0
  expect_eq "exit code" "$(velkaro_wait_exit)" 0
}

TRAY_REFERENCES=$TENDRAL_ROOT/docs/tray

menu_is_closed() { ! probe menu-rect; }

# With E2E_UPDATE_REFERENCES=1, screenshot $1 is to replace reference $2 where a pixel differs (their
# bytes differ anyway), once the scenario has passed; false otherwise.
offer_reference() {
  [ "${E2E_UPDATE_REFERENCES:-}" = 1 ] || return 1
  [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ] || E2E_NEW_REFERENCES+=("$1" "$2")
}

# Screenshots the open menu and compares it with the reviewed reference of that name, or offers it.
menu_matches_reference() {
  local name=$1 left top right bottom shot=$E2E_OUT/menu-$1.png differing
  menu_screenshot "$name" || return 1
  read -r left top right bottom < <(probe menu-rect)
  echo "    screenshot of the open menu: $shot"
  offer_reference "$shot" "$TRAY_REFERENCES/menu-$name.png" && return 0
  # At most 1 pixel in 500 may differ by more than a small tolerance: repeated runs differ in none,
  # while a wrong icon colour alone changes about 90.
  differing=$(compare -metric AE -fuzz 8% "$shot" "$TRAY_REFERENCES/menu-$name.png" null: 2>&1) || true
  [ "${differing%% *}" -le $(((right - left) * (bottom - top) / 500)) ] 2>/dev/null
}

# The number of times AP item 6 was written, as the journal shows it.
writes() { journal | grep -c 'S:ORV_AP:AP:6:'; }

# Scenario bookkeeping: expect records a failed check with its message; a scenario fails when any did.
E2E_FAILURES=()
expect() {
  local message=$1
  shift
  if ! "$@" >/dev/null; then
    E2E_FAILURES+=("$message")
  fi
}
expect_eq() {
  local message=$1 actual=$2 expected=$3
  if [ "$actual" != "$expected" ]; then
    E2E_FAILURES+=("$message: got [$actual], expected [$expected]")
  fi
}

# The tips of the icons in Wine's tray as its shell shows them, one line per icon, each tip's lines
# joined by "|". The shell is a 64-bit program, and only a 64-bit probe can lend its tooltip control
# memory to answer in.
tray_tips() {
  "$WINE_RUN" "$TENDRAL_ROOT/build/mingw-x86_64/bin/probe.exe" --desktop "$E2E_DESKTOP" tray-tips 2>/dev/null | tr -d '\r'
}
tray_tip_is() { [ "$(tray_tips)" = "$1" ]; }
