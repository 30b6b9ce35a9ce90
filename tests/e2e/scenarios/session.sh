# What a Windows session brings besides the program's own inputs: a firmware service that comes late
# or restarts, and a burst of firmware events. (Its end is the win tier's: MainWindow's session test.)

scenario_a_service_that_comes_late_or_restarts_is_followed() {
  # The program starts before the service: it finds no option.
  velkaro_start
  expect "the program runs" probe wait-window "$MAIN_WINDOW" 10000
  sleep 2
  sim_start 2 0 16
  expect "switched on once the service is there" eventually 15 ap6_is 17

  # The service restarts, and meanwhile the firmware's option went off: the mode must follow it.
  sim_stop
  sim_start 0 0 17
  expect "switched off once the service is back" eventually 15 ap6_is 16
  exit_program
}

scenario_event_bursts_cost_two_waits_and_one_box_and_mixed_codes_keep_their_order() {
  sim_start 2 0 16
  start_running
  probe post "$MAIN_WINDOW" 0x0111 301 0  # Disable: an option event now asks instead of switching
  expect "switched off" eventually 5 ap6_is 16
  local before
  before=$(journal | grep -c 'System:0')
  sim_ctl event 0x60 10 >/dev/null
  expect "the request appears" probe wait-window Tendral 8000
  expect_eq "its text" "$(probe text Tendral)" \
    'Please turn on VGA overclock option for speeding up your graphic function.'
  sleep 4  # the second wait, for all the events that came while the first was handled
  expect_eq "one request is open" "$(probe count Tendral)" 1
  probe post Tendral 0x0111 1 0
  expect "it closes" probe wait-gone Tendral 5000
  sleep 4  # long enough for a third wait to show in the journal, were there one
  local reads=$(($(journal | grep -c 'System:0') - before))
  expect "the option was read at most twice, not ten times ($reads)" test "$reads" -ge 1 -a "$reads" -le 2
  expect "the program runs on" probe find "$MAIN_WINDOW"
  expect_eq "nothing switched" "$(ap6)" 16

  # Events of different codes are handled in the order they came, however many queue up meanwhile:
  # force-off, option, force-off, option leaves the mode on.
  probe post "$MAIN_WINDOW" 0x0111 300 0
  expect "switched on again" eventually 5 ap6_is 17
  sim_ctl set system1 1 >/dev/null
  before=$(journal | wc -l)
  for code in 0x79 0x60 0x5D 0x60; do sim_ctl event $code >/dev/null; done
  expect "all four handled" eventually 20 sh -c "[ \$(tail -n +$((before + 1)) '$E2E_JOURNAL' | grep -c 'Q:ORV_System') -ge 4 ]"
  sleep 1
  expect_eq "the firmware read in their order" "$(journal | tail -n +$((before + 1)) | grep -o 'System:[01]' | tr '\n' ' ')" \
    "System:1 System:0 System:1 System:0 "
  expect_eq "and the last one left the mode on" "$(ap6)" 17
  exit_program
}
