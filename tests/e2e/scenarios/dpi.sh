# The program at 150 % scale (144 DPI). Wine has one DPI, read when its processes start, so the
# scenario restarts the desktop at 144 DPI and, whatever its checks found, at 96 again.

# Whether $1 is 1.4 to 1.6 times $2: a dialog scales with its font, whose metrics round.
one_and_a_half_times() { [ $((10 * $1)) -ge $((14 * $2)) ] && [ $((10 * $1)) -le $((16 * $2)) ]; }
about_box_shows() { probe windows | grep -q 'visible 1 class "#32770" title "About Tendral"'; }

scenario_high_dpi_tray_icon_menu_and_about_box() {
  local left top right bottom width height taskbar
  sim_start 2 0 16
  start_running
  probe post "$MAIN_WINDOW" 0x0111 302 0
  expect "the About box at 96 DPI" probe wait-window "About Tendral" 5000
  read -r left top right bottom < <(probe rect "About Tendral")
  width=$((right - left)) height=$((bottom - top))
  exit_program

  e2e_stop_desktop
  expect "the desktop at 144 DPI" e2e_start_desktop yes 144
  sim_start 2 0 16
  start_running
  taskbar=$(taskbar_rect)
  read -r left top right bottom <<<"$taskbar"
  screenshot "$E2E_OUT/screen.png"
  expect "the tray shows the 24-pixel picture, unscaled" tray_icon_is_picture "$E2E_OUT/screen.png" 24 "$taskbar"
  expect "the menu opens at the icon" open_tray_menu $((right - (bottom - top) / 2)) $(((top + bottom) / 2))
  expect "the menu at 144 DPI: as reviewed" menu_matches_reference 144-on-enable
  expect "About, chosen in the menu at 144 DPI" choose about
  expect "shows the About box" eventually 5 about_box_shows
  read -r left top right bottom < <(probe rect "About Tendral")
  expect "the About box is 1.5 times as wide [$((right - left)) against $width]" one_and_a_half_times $((right - left)) "$width"
  expect "and as high [$((bottom - top)) against $height]" one_and_a_half_times $((bottom - top)) "$height"
  screenshot "$E2E_OUT/screen.png"
  convert "$E2E_OUT/screen.png" -crop $((right - left))x$((bottom - top))+$left+$top +repage "$E2E_OUT/about-144.png"
  offer_reference "$E2E_OUT/about-144.png" "$TRAY_REFERENCES/about-144.png"
  exit_program

  e2e_stop_desktop
  expect "the desktop at 96 DPI again" e2e_start_desktop yes
}
