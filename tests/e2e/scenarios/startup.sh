# Start-up, single instance and the ways of ending, on the real program.

SUBSCRIBED='SUBSCRIBE root\wmi|WQL|Select * from ORV_Event -> 0'
# What a start with the option on and AP item 6 = 16 asks of the firmware: subscribe, read the option,
# switch on.
STARTED_ON="$SUBSCRIBED
SETTINGS root\WMI:Q:ORV_System:System:0 -> 2
SETTINGS root\WMI:Q:ORV_AP:AP:6 -> 16
SETTINGS root\WMI:S:ORV_AP:AP:6:17 -> 17
SETTINGS root\WMI:Q:ORV_AP:AP:6 -> 17"

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
  expect_eq "the journal" "$(journal)" "$STARTED_ON"
  expect_eq "the driver calls" "$(driver_log | grep '^Gpu')" "GpuOverclockSwitch(0x2000,1) -> 0
GpuOverclockLimit(0x2000,1,0) -> 0
GpuStockClockSwitch(0x2000,0) -> 0"
  exit_program
  expect_eq "AP item 6 after exit" "$(ap6)" 16
}

scenario_second_start_exits_quietly() {
  sim_start
  velkaro_start
  expect "the first instance runs" probe wait-window Ormund 10000
  expect "and has switched on" eventually 5 ap6_is 17
  probe run 20000 "$(winpath "$E2E_BIN/Velkaro.exe")"
  local second=$?
  expect_eq "the second instance's exit code" "$second" 0
  expect_eq "main windows" "$(probe count Ormund)" 1
  expect "the first instance keeps its icon" probe tray-has Ormund 1
  expect "the second added none" tray_slot_shows 1 no
  expect_eq "the first still answers" "$(probe send Ormund 0x4040 0x61 0)" 1
  # The second start neither subscribed nor read the option. Its shutdown still switched off, but
  # without a driver loaded the value went back unchanged: the first instance stays switched on.
  expect_eq "the journal" "$(journal)" "$STARTED_ON
SETTINGS root\WMI:Q:ORV_AP:AP:6 -> 17
SETTINGS root\WMI:S:ORV_AP:AP:6:17 -> 17
SETTINGS root\WMI:Q:ORV_AP:AP:6 -> 17"
  probe post Ormund 0x0111 303 0
  expect_eq "exit code" "$(velkaro_wait_exit)" 0
}

# WM_CLOSE, the Exit button and the tray's Exit. Each switches off, and the destruction once more;
# WM_CLOSE also for the IDCANCEL that the dialog manager makes of it.
scenario_every_ending_switches_off_removes_the_icon_and_frees_the_instance() {
  local ending
  for ending in "0x0010 0 0:3" "0x0111 2 0:2" "0x0111 303 0:2"; do
    sim_start 2 0 16
    start_running
    expect "[$ending] tray icon" probe tray-has Ormund 1
    probe post Ormund ${ending%:*}
    expect_eq "[$ending] exit code" "$(velkaro_wait_exit)" 0
    expect "[$ending] the icon is gone" tray_slot_shows 0 no
    expect_eq "[$ending] AP item 6" "$(ap6)" 16
    expect_eq "[$ending] switch-off runs after the start-up's switch-on" "$(($(writes) - 1))" "${ending#*:}"
  done
  # The mutex was released each time: one more start succeeds too.
  start_running
  expect "with its icon" probe tray-has Ormund 1
  exit_program
}
