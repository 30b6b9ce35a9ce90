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
