# The overclock switch, the refusal without a driver, firmware events and resume, on the real program
# with the simulator and the stand-in driver.

# Without a driver, or with a GPU check that fails after the GPU was enumerated (the logical enumeration
# fails), which leaves a driver that could switch: the refusal shows, whatever comes meanwhile switches
# nothing and opens no other box or menu, and the process ends with exit code 1.
scenario_refuses_to_run_without_a_driver_and_nothing_that_comes_meanwhile_acts() {
  for plan in none "logical 1 -1"; do
    if [ "$plan" = none ]; then driver_remove; else driver_install "$plan"; fi
    sim_start
    velkaro_start
    expect "[$plan] the refusal appears" probe wait-window Tendral 10000
    expect_eq "[$plan] its text" "$(probe text Tendral)" "Your system doesn't have NVIDIA graphic chipset"
    expect "[$plan] the icon is there while it shows" probe tray-has "$MAIN_WINDOW" 1
    sim_ctl event 0x60 >/dev/null
    probe post "$MAIN_WINDOW" 0x4041 0 0       # the service's return
    probe post "$MAIN_WINDOW" 0x0111 300 0     # Enable
    probe post "$MAIN_WINDOW" 0x0401 1 0x0205  # a right click on the icon
    expect_eq "[$plan] the resume broadcast's answer" "$(probe send "$MAIN_WINDOW" 0x0218 7 0)" 0
    sleep 4  # longer than an event's settle wait
    expect "[$plan] no menu opened" menu_is_closed
    expect_eq "[$plan] no other box opened" "$(probe count Tendral)" 1
    expect_eq "[$plan] no switching entry called" "$(driver_log | grep -c '^Gpu')" 0
    probe post Tendral 0x0111 1 0
    expect_eq "[$plan] exit code after dismissing it" "$(velkaro_wait_exit)" 1
    expect "[$plan] the icon is gone" tray_slot_shows 0 no
    expect_eq "[$plan] nothing was written" "$(writes)" 0
  done
}

scenario_option_off_switches_nothing_until_its_event_says_on_and_resume_switches_off_at_once() {
  sim_start 0 0 16
  start_running
  expect_eq "nothing written" "$(writes)" 0
  expect_eq "no switching entry called" "$(driver_log | grep -c '^Gpu')" 0
  sim_ctl set system0 2 >/dev/null
  local start=$(date +%s%N)
  sim_ctl event 0x60 >/dev/null
  expect "switched on" eventually 8 ap6_is 17
  local waited=$((($(date +%s%N) - start) / 1000000))
  expect "only after the firmware settled (${waited} ms)" test "$waited" -ge 2800
  echo "    option event: switched on after $waited ms"
  expect_eq "the resume broadcast's answer" "$(probe send "$MAIN_WINDOW" 0x0218 7 0)" 0
  expect_eq "switched off by the time it answered" "$(ap6)" 16
  exit_program
}

# Repeats of an event are merged only while they come one right after another at the head of the
# queue: the service's return between two force-off events keeps the second, which switches off again.
scenario_a_message_between_two_events_of_one_code_keeps_the_second() {
  sim_start 2 1 16  # System item 1 forces the mode off, but only events look at it
  start_running
  expect "switched on at start-up" ap6_is 17
  probe post "$MAIN_WINDOW" 0x4040 0x60 0  # handled first, with a wait during which the others queue up
  probe post "$MAIN_WINDOW" 0x4040 0x5D 0
  probe post "$MAIN_WINDOW" 0x4041 0 0     # the service's return: switches on again
  probe post "$MAIN_WINDOW" 0x4040 0x5D 0
  forced_off_reads() { [ "$(journal | grep -c 'Q:ORV_System:System:1')" -ge "$1" ]; }
  expect "both force-off events read the firmware" eventually 15 forced_off_reads 2
  sleep 0.5
  expect_eq "switched off by the last event" "$(ap6)" 16
  expect_eq "the GPU's last switch" "$(driver_log | grep '^GpuOverclockSwitch' | tail -n 1)" \
    "GpuOverclockSwitch(0x2000,0) -> 0"
  exit_program
}

# A fault in the driver's library ends the program with one switch-off and without a crash box; a
# second fault inside that switch-off ends it at once. The exit code is the fault's, 0xC0000005, of
# which the shell sees the low byte.
no_box_left() { ! probe windows | grep -qi "$MAIN_WINDOW\\|error\\|winedbg"; }

scenario_a_driver_fault_ends_the_program_switched_off_and_a_second_one_at_once() {
  for faults in 1 2; do
    driver_install "fault 3 $faults"  # start-up makes three switch calls; the fourth faults
    sim_start
    start_running
    expect "switched on at start-up" ap6_is 17
    probe post "$MAIN_WINDOW" 0x0111 300 0  # Enable: its first switch call faults
    expect_eq "exit code after $faults fault(s)" "$(velkaro_wait_exit)" 5
    expect_eq "faults the driver saw" "$(driver_log | grep -c -- '-> fault$')" "$faults"
    if [ "$faults" = 1 ]; then
      expect_eq "the switch-off after the fault" "$(driver_log | grep -A2 -- '-> fault$' | tail -n 2)" \
        "GpuOverclockSwitch(0x2000,0) -> 0
GpuStockClockSwitch(0x2000,1) -> 0"
      expect_eq "AP item 6 after the fault" "$(ap6)" 16
      expect "the icon is gone" tray_slot_shows 0 no
    else
      expect_eq "AP item 6, left as the second fault found it" "$(ap6)" 17
    fi
    expect "no box of the program's or of a debugger's is left" no_box_left
  done
}
