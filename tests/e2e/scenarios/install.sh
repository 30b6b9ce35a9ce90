# What scripts/package.sh makes, as a Windows user meets it: the installer into a folder of one's own, a
# sign-in, updates, the uninstaller, and the portable zips. The installer is a 32-bit program.

DIST=$TENDRAL_ROOT/dist
SETUP=$DIST/Tendral-$("$TENDRAL_ROOT/scripts/version.sh")-setup.exe
CURRENT_VERSION='HKCU\Software\Microsoft\Windows\CurrentVersion'
UNINSTALL_KEY="$CURRENT_VERSION\\Uninstall\\Tendral"
# The orderly switch-off of a running copy, which closing its window makes.
SWITCHED_OFF_FROM_17='SETTINGS root\WMI:Q:ORV_AP:AP:6 -> 17
SETTINGS root\WMI:S:ORV_AP:AP:6:16 -> 16
SETTINGS root\WMI:Q:ORV_AP:AP:6 -> 16'

# Runs a program on the desktop and waits for it. Nothing it starts may hold the script's pipes.
on_desktop() { "$WINE_RUN" "$E2E_BIN/probe.exe" --desktop "$E2E_DESKTOP" run "$@" </dev/null >/dev/null 2>&1; }

wine_reg() { DISPLAY= "$WINE64" reg "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# The data of value $2 under key $1, empty when there is none.
reg_value() { wine_reg query "$1" /v "$2" | sed -nE "s/^ +$2 +REG_[A-Z_]+ +//p"; }
# The installed program is the 64-bit build, which needs the 64-bit driver library beside the 32-bit
# one that every scenario gets; `standin` without an argument takes it away again.
standin() {
  rm -f "$WINEPREFIX/drive_c/windows/system32/nvapi64.dll"
  [ -z "${1:-}" ] || cp "$TENDRAL_ROOT/build/mingw-x86_64/standin/nvapi64.dll" "$WINEPREFIX/drive_c/windows/system32/"
}
lines_since() { journal | tail -n +$(($1 + 1)); }
# Takes away what an earlier run may have left: the folders the scenarios install into and the entry.
forget_installs() {
  rm -rf "$@" "$WINEPREFIX"/drive_c/Tendral*
  wine_reg delete "$UNINSTALL_KEY" /f >/dev/null
}

scenario_the_installer_starts_it_at_sign_in_updates_it_and_leaves_nothing_behind() {
  tendral_runs_i686 || { E2E_SKIP="the installer is a 32-bit program"; return; }
  # A folder of the user's own (/D= takes no quotes, so no space), and the default one, which stays empty.
  local dir='C:\Tendral' unix=$WINEPREFIX/drive_c/Tendral before default
  default=$(DISPLAY= "$WINE64" winepath -u "$(DISPLAY= "$WINE64" cmd.exe /c echo %LOCALAPPDATA% </dev/null | tr -d '\r')\\Programs\\Tendral" 2>/dev/null)
  forget_installs "$default"
  standin install
  sim_start 2 0 16

  expect "the silent install succeeds" on_desktop 60000 "$(winpath "$SETUP")" /S "/D=$dir"
  expect "the 64-bit program is in place" cmp "$unix/Velkaro.exe" "$TENDRAL_ROOT/build/mingw-x86_64/bin/Velkaro.exe"
  expect "with its start-menu shortcut" test -f "${default%/Local/*}/Roaming/Microsoft/Windows/Start Menu/Programs/Tendral.lnk"
  expect_eq "the Run value" "$(reg_value "$CURRENT_VERSION\\Run" Tendral)" "\"$dir\\Velkaro.exe\""
  # What Apps and Features shows and runs from the folder; its other values are the winget entry's, below.
  expect_eq "the Uninstall key's paths" "$(for v in DisplayIcon UninstallString QuietUninstallString; do reg_value "$UNINSTALL_KEY" $v; done)" \
    "$dir\\Velkaro.exe,0
\"$dir\\uninstall.exe\"
\"$dir\\uninstall.exe\" /S"
  expect_eq "the entry the winget manifest names" \
    "$(sed -nE '/^AppsAndFeaturesEntries:/,/^[A-Z]/s/^[- ] ([A-Za-z]+): /\1=/p' "$DIST"/winget/*.installer.yaml)" \
    "DisplayName=$(reg_value "$UNINSTALL_KEY" DisplayName)
Publisher=$(reg_value "$UNINSTALL_KEY" Publisher)
DisplayVersion=$(reg_value "$UNINSTALL_KEY" DisplayVersion)
ProductCode=${UNINSTALL_KEY##*\\}"
  expect "the uninstaller is the one the build packed" cmp "$unix/uninstall.exe" "$TENDRAL_ROOT/build/package/uninstall.exe"
  expect_eq "a silent install starts nothing unless asked" "$(probe count "$MAIN_WINDOW")" 0

  # A sign-in: wineboot runs what the Run key names.
  on_desktop 20000 'C:\windows\system32\wineboot.exe'
  expect "the program starts at sign-in" probe wait-window "$MAIN_WINDOW" 10000
  expect "with its tray icon" tray_slot_shows 0 yes
  expect "and switches on" eventually 5 ap6_is 17

  # The user turned the start at sign-in off, and Windows kept its own record of it: an update over the
  # running copy keeps the folder and the choice, removes the record, and starts the program again,
  # even with the copy's option box open.
  wine_reg delete "$CURRENT_VERSION\\Run" /v Tendral /f >/dev/null
  wine_reg add "$CURRENT_VERSION\\Explorer\\StartupApproved\\Run" /v Tendral /t REG_BINARY /d 030000000000000000000000 /f >/dev/null
  probe post "$MAIN_WINDOW" 0x0111 301 0  # Disable: an option event now asks instead of switching
  sim_ctl event 0x60 >/dev/null
  expect "the old copy's option box is open" probe wait-window Tendral 8000
  before=$(journal | wc -l)
  expect "the update succeeds" on_desktop 60000 "$(winpath "$SETUP")" /S
  expect "the new copy runs and switched on" eventually 10 sh -c "tail -n 1 '$E2E_JOURNAL' | grep -q 'AP:6 -> 17'"
  expect "nothing went into the default folder" test ! -e "$default"
  expect_eq "the old copy switched off first" "$(lines_since "$before" | head -n 3)" "${SWITCHED_OFF_FROM_17//17/16}"
  expect_eq "its box went with it" "$(probe count Tendral)" 0
  expect_eq "then the new one started" "$(lines_since "$before" | tail -n 6)" "UNSUBSCRIBE
$STARTED_ON"
  expect_eq "still no Run value" "$(reg_value "$CURRENT_VERSION\\Run" Tendral)" ""
  expect_eq "no record of it" "$(reg_value "$CURRENT_VERSION\\Explorer\\StartupApproved\\Run" Tendral)" ""
  probe post "$MAIN_WINDOW" 0x0111 303 0
  expect "Exit ends it" probe wait-gone "$MAIN_WINDOW" 10000
  expect "with nothing running, /RUN starts it" on_desktop 60000 "$(winpath "$SETUP")" /S /RUN
  expect "and it switches on" eventually 10 ap6_is 17

  wine_reg add "$CURRENT_VERSION\\Run" /v Tendral /d "\"$dir\\Velkaro.exe\"" /f >/dev/null
  wine_reg add "$CURRENT_VERSION\\Explorer\\StartupApproved\\Run" /v Tendral /t REG_BINARY /d 020000000000000000000000 /f >/dev/null
  before=$(journal | wc -l)
  expect "the silent uninstall starts" on_desktop 60000 "$dir\\uninstall.exe" /S
  expect "its folder is removed" eventually 20 test ! -e "$unix"
  expect_eq "through its window, which switched off" "$(lines_since "$before" | head -n 3)" "$SWITCHED_OFF_FROM_17"
  # WM_CLOSE switches off, the IDCANCEL the dialog manager makes of it too, and the destruction.
  expect_eq "each step of its ending switched off" "$(lines_since "$before" | grep -c 'S:ORV_AP:AP:6:16')" 3
  expect "the shortcut is removed" test ! -e "${default%/Local/*}/Roaming/Microsoft/Windows/Start Menu/Programs/Tendral.lnk"
  expect_eq "the Run value is removed" "$(reg_value "$CURRENT_VERSION\\Run" Tendral)" ""
  expect_eq "Windows' record of it is removed" "$(reg_value "$CURRENT_VERSION\\Explorer\\StartupApproved\\Run" Tendral)" ""
  expect_eq "the Uninstall key is removed" "$(wine_reg query "$UNINSTALL_KEY" | grep -c REG_)" 0
  standin
}

running_from() { [ "$(probe path "$MAIN_WINDOW")" = "$1" ]; }

scenario_the_installer_closes_moves_and_removes_its_own_copy_only() {
  tendral_runs_i686 || { E2E_SKIP="the installer is a 32-bit program"; return; }
  local old='C:\Tendral' new='C:\Tendral2' zip=$E2E_OUT/zip-portable before lock code
  local oldunix=$WINEPREFIX/drive_c/Tendral newunix=$WINEPREFIX/drive_c/Tendral2
  forget_installs "$zip"
  standin install
  sim_start 2 0 16
  expect "the install succeeds" on_desktop 60000 "$(winpath "$SETUP")" /S "/D=$old"

  # A portable copy runs: an update leaves it alone, and starts no copy in its place.
  unzip -q "$DIST"/Tendral-*-x64.zip -d "$zip"
  velkaro_start "$zip/Velkaro.exe"
  expect "the portable copy switches on" eventually 5 ap6_is 17
  before=$(journal | wc -l)
  expect "the update succeeds" on_desktop 60000 "$(winpath "$SETUP")" /S
  expect "the portable copy runs on" running_from "$(winpath "$zip/Velkaro.exe")"
  expect_eq "nobody switched" "$(lines_since "$before")" ""
  exit_program

  # The installed copy runs: an update into another folder ends it, removes its files and starts the
  # copy of the new folder, with one uninstall entry for it.
  velkaro_start "$old\\Velkaro.exe"
  expect "the installed copy switches on" eventually 5 ap6_is 17
  expect "the update into another folder succeeds" on_desktop 60000 "$(winpath "$SETUP")" /S "/D=$new"
  expect "the copy of the new folder runs" eventually 10 running_from "$new\\Velkaro.exe"
  expect "the old folder is gone" test ! -e "$oldunix"
  expect_eq "the uninstall entry" "$(reg_value "$UNINSTALL_KEY" InstallLocation)" "$new"

  # A copy that keeps its file (one of another session, say): the uninstall says so and keeps what
  # lets it run again. With _?= the uninstaller runs in place, and its exit code is its own.
  "$WINE_RUN" "$E2E_BIN/probe.exe" lock "$new\\Velkaro.exe" </dev/null >/dev/null 2>&1 &
  lock=$!
  sleep 1
  on_desktop 60000 "$new\\uninstall.exe" /S "_?=$new"
  code=$?
  expect_eq "the uninstall fails" "$code" 2
  expect "it ended the running copy first" probe wait-gone "$MAIN_WINDOW" 1000
  expect "the program stays" test -e "$newunix/Velkaro.exe"
  expect "the uninstaller stays" test -e "$newunix/uninstall.exe"
  expect_eq "the uninstall entry stays" "$(reg_value "$UNINSTALL_KEY" UninstallString)" "\"$new\\uninstall.exe\""
  kill "$lock"
  wait "$lock" 2>/dev/null
  expect "run again, it succeeds" on_desktop 60000 "$new\\uninstall.exe" /S
  expect "and removes the folder" eventually 20 test ! -e "$newunix"
  expect_eq "and the entry" "$(wine_reg query "$UNINSTALL_KEY" | grep -c REG_)" 0
  standin
}

# Each zip holds its architecture's build, which the other scenarios start, and a readme.
scenario_the_portable_zips_hold_the_program_and_a_readme() {
  local pair arch dir
  for pair in x64:mingw-x86_64 x86:mingw-i686; do
    arch=${pair%:*} dir=$E2E_OUT/zip-${pair%:*}
    rm -rf "$dir"
    unzip -q "$DIST"/Tendral-*-$arch.zip -d "$dir"
    expect_eq "[$arch] its files" "$(ls "$dir")" "README.txt
Velkaro.exe"
    expect "[$arch] the build of its architecture" cmp "$dir/Velkaro.exe" "$TENDRAL_ROOT/build/${pair#*:}/bin/Velkaro.exe"
  done
}
