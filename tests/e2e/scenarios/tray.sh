# The tray menu through the real tray: right clicks, mouse choices, letters typed in the open menu and
# screenshots of the open menu.

scenario_tray_menu_switches_with_the_mouse_or_a_letter_and_exits() {
  sim_start 2 0 16
  start_running
  expect "the menu opens on a right click" open_tray_menu
  expect "option on, Enable chosen: as reviewed" menu_matches_reference on-enable
  choose disable
  expect "Disable switches off" eventually 5 ap6_is 16
  expect "the menu closed" menu_is_closed
  expect_eq "the driver was switched off" "$(driver_log | grep '^Gpu' | tail -n 2)" "GpuOverclockSwitch(0x2000,0) -> 0
GpuStockClockSwitch(0x2000,1) -> 0"
  expect "the menu opens again" open_tray_menu
  expect "option on, Disable chosen: as reviewed" menu_matches_reference on-disable
  choose enable
  expect "Enable switches on" eventually 5 ap6_is 17
  expect "the menu opens for a letter" open_tray_menu
  press_on_menu d
  expect "D chooses Disable, which switches off" eventually 5 ap6_is 16
  expect "the menu opens once more" open_tray_menu
  choose exit
  expect_eq "Exit ends the program" "$(velkaro_wait_exit)" 0
  expect "the icon is gone" tray_slot_shows 0 no
  expect_eq "AP item 6 bit 0 is clear" "$(($(ap6) & 1))" 0
  # Start-up, Disable, Enable and D, then Exit's own switch-off and the destruction's.
  expect_eq "Exit switched off before the window went" "$(writes)" 6
}

scenario_tray_menu_grays_the_modes_when_the_option_is_off() {
  sim_start 0 0 16
  start_running
  expect "the menu opens" open_tray_menu
  expect "option off, Enable chosen: as reviewed" menu_matches_reference off-enable
  local before
  before=$(journal | wc -l)
  choose disable
  sleep 1
  expect_eq "clicking a grayed entry sends nothing" "$(journal | wc -l)" "$before"
  press_escape_on_menu
  expect "Escape closes the menu" eventually 3 menu_is_closed
  probe post "$MAIN_WINDOW" 0x0111 301 0  # the choice can still change, by the command itself
  expect "Disable still writes the firmware's copy" eventually 5 sh -c "grep -q 'S:ORV_AP:AP:6:16' '$E2E_JOURNAL'"
  expect "the menu opens" open_tray_menu
  expect "option off, Disable chosen: as reviewed" menu_matches_reference off-disable
  press_on_menu e
  expect_eq "E chooses Exit, the one enabled entry it begins" "$(velkaro_wait_exit)" 0
}

scenario_other_mouse_actions_do_nothing_and_about_shows_one_centred_box() {
  sim_start 2 0 16
  start_running
  local before
  before=$(journal | wc -l)
  xdotool mousemove $TRAY_X $TRAY_Y click 1
  sleep 0.5
  xdotool click --repeat 2 1
  sleep 0.5
  xdotool mousemove $((TRAY_X - 3)) $((TRAY_Y - 3)) mousemove $TRAY_X $TRAY_Y
  sleep 0.5
  expect "no menu after left clicks and moves" menu_is_closed
  expect_eq "no About box shown" "$(probe count "About Tendral")" 0
  expect_eq "and nothing was sent" "$(journal | wc -l)" "$before"
  local left top right bottom
  for round in 1 2; do
    expect "[$round] the menu opens" open_tray_menu
    choose about
    expect "[$round] the About box appears" probe wait-window "About Tendral" 5000
    read -r left top right bottom < <(probe rect "About Tendral")
    expect_eq "[$round] centred across" "$left" $((512 - (right - left) / 2))
    expect_eq "[$round] centred down" "$top" $((384 - (bottom - top) / 2))
    expect_eq "[$round] one box" "$(probe count "About Tendral")" 1
  done
  expect "its version text" sh -c "'$WINE_RUN' '$E2E_BIN/probe.exe' --desktop $E2E_DESKTOP text 'About Tendral' | grep -qF 'Tendral, Version $("$TENDRAL_ROOT/scripts/version.sh")'"
  screenshot "$E2E_OUT/about.png"
  exit_program
}

# The icon's tip says the mode, as the shell shows it and a screen reader reads it at the icon.
scenario_the_icons_tip_says_the_mode_and_why_it_is_unavailable() {
  sim_start 2 0 16
  start_running
  expect "overclocked ($(tray_tips))" eventually 5 tray_tip_is "Tendral|Overclocked"
  probe post "$MAIN_WINDOW" 0x0111 301 0  # Disable
  expect "off by choice ($(tray_tips))" eventually 5 tray_tip_is "Tendral|Not overclocked: Disable is chosen"
  exit_program
  sim_start 0 0 16
  start_running
  expect "the option off ($(tray_tips))" eventually 5 \
    tray_tip_is "Tendral|Overclocking unavailable: the firmware's option is off"
  exit_program
}
