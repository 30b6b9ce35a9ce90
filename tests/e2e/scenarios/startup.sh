# Start-up, single instance and the ways of ending, on the real program.

SUBSCRIBED='SUBSCRIBE root\wmi|WQL|Select * from ORV_Event -> 0'

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

scenario_starts_hidden_with_its_tray_icon() {
  sim_start
  # Sample the window's visibility from before the launch on.
  probe watch-hidden Ormund 4000 >"$E2E_OUT/visibility.txt" &
  local watcher=$!
  sleep 0.5
  velkaro_start
  expect "the main window exists" probe wait-window Ormund 10000
  expect "the shell has the tray icon" probe tray-has Ormund 1
  expect "the icon is drawn in the first tray slot" tray_slot_shows 0 yes
  expect "no second icon" tray_slot_shows 1 no
  screenshot "$E2E_OUT/tray-icon.png"
  wait "$watcher"
  local hidden=$?
  expect_eq "the main window was never visible ($(cat "$E2E_OUT/visibility.txt"))" "$hidden" 0
  expect_eq "the journal" "$(journal)" "$SUBSCRIBED"
  probe post Ormund 0x0111 303 0
  expect_eq "exit code" "$(velkaro_wait_exit)" 0
}

scenario_second_start_exits_quietly() {
  sim_start
  velkaro_start
  expect "the first instance runs" probe wait-window Ormund 10000
  probe run 20000 "$(winpath "$E2E_BIN/Velkaro.exe")"
  local second=$?
  expect_eq "the second instance's exit code" "$second" 0
  expect_eq "main windows" "$(probe count Ormund)" 1
  expect "the first instance keeps its icon" probe tray-has Ormund 1
  expect "the second added none" tray_slot_shows 1 no
  expect_eq "the first still answers" "$(probe send Ormund 0x4040 0x60 0)" 1
  expect_eq "the journal shows one subscription only" "$(journal)" "$SUBSCRIBED"
  probe post Ormund 0x0111 303 0
  expect_eq "exit code" "$(velkaro_wait_exit)" 0
}

scenario_every_ending_removes_the_icon_and_frees_the_instance() {
  sim_start
  local ending
  for ending in "0x0010 0 0" "0x0111 2 0" "0x0111 303 0"; do
    velkaro_start
    expect "[$ending] starts" probe wait-window Ormund 10000
    expect "[$ending] tray icon" probe tray-has Ormund 1
    probe post Ormund $ending
    expect_eq "[$ending] exit code" "$(velkaro_wait_exit)" 0
    expect "[$ending] the icon is gone" tray_slot_shows 0 no
  done
  # The mutex was released each time: one more start succeeds too.
  velkaro_start
  expect "a new start succeeds" probe wait-window Ormund 10000
  expect "with its icon" probe tray-has Ormund 1
  probe post Ormund 0x0111 303 0
  expect_eq "exit code" "$(velkaro_wait_exit)" 0
  local expected=
  for _ in 1 2 3 4; do expected+="$SUBSCRIBED"$'\n'UNSUBSCRIBE$'\n'; done
  expect_eq "the journal" "$(journal)" "${expected%$'\n'}"
}
