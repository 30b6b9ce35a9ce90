# The overclock switch, the refusal without a driver, firmware events and resume, on the real program
# with the simulator and the stand-in driver.


scenario_refuses_to_run_without_a_driver() {
  driver_remove
  sim_start
  velkaro_start
  expect "the refusal appears" probe wait-window Tendral 10000
  expect_eq "its text" "$(probe text Tendral)" "Your system doesn't have NVIDIA graphic chipset"
  expect "the icon is there while it shows" probe tray-has Ormund 1
  probe post Tendral 0x0111 1 0
  expect_eq "exit code after dismissing it" "$(velkaro_wait_exit)" 1
  expect "the icon is gone" tray_slot_shows 0 no
  expect_eq "nothing was switched" "$(writes)" 0
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
  expect_eq "the resume broadcast's answer" "$(probe send Ormund 0x0218 7 0)" 0
  expect_eq "switched off by the time it answered" "$(ap6)" 16
  exit_program
}
