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
  probe watch-hidden "$MAIN_WINDOW" 4000 >"$E2E_OUT/visibility.txt" &
  local watcher=$!
  sleep 0.5
  velkaro_start
  expect "the main window exists" probe wait-window "$MAIN_WINDOW" 10000
  expect "the shell has the tray icon" probe tray-has "$MAIN_WINDOW" 1
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

about_boxes_are() { [ "$(probe count 'About Tendral')" = "$1" ]; }

scenario_asked_to_end_it_ends_even_with_a_box_or_its_menu_open() {
  sim_start 2 0 16
  start_running
  probe post "$MAIN_WINDOW" 0x0111 301 0  # Disable: an option event now asks instead of switching
  sim_ctl event 0x60 >/dev/null
  expect "the option box is open" probe wait-window Tendral 8000
  probe post "$MAIN_WINDOW" 0x0010 0 0  # WM_CLOSE, as an installer or Task Manager sends it
  expect_eq "WM_CLOSE ends the program with the box open" "$(velkaro_wait_exit)" 0
  expect "the box is gone with it" probe wait-gone Tendral 1000
  expect "and so is the icon" tray_slot_shows 0 no

  start_running
  expect "switched on again" eventually 5 ap6_is 17
  probe post "$MAIN_WINDOW" 0x0112 0x10 0  # the system menu's About: a box of its own, modal
  expect "the modal About box is open" eventually 5 about_boxes_are 1
  expect "the menu opens over it" open_tray_menu
  probe post "$MAIN_WINDOW" 0x0111 303 0
  expect_eq "Exit ends the program with the box and the menu open" "$(velkaro_wait_exit)" 0
  expect "the icon is gone" tray_slot_shows 0 no
  expect_eq "switched off" "$(ap6)" 16
}
