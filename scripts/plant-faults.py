#!/usr/bin/env python3
"""Plants the project's known faults back, one at a time, into a copy of the last commit, and runs the
tests that must catch each. The list below is what earlier work found and mended: a test may go only
while every one of them stays caught. Prints a line per fault, with the tests that failed, and exits
non-zero when one went uncaught or no longer applies.

  scripts/plant-faults.py [ID...]      every fault, or those named (C1 C7 ...)

Each fault is a text replacement, or a few in one file (each old text must occur exactly once), and the
tests to run:
  native          the portable tests, plain build
  win REGEX       the Win32 tests of the x86_64 build whose names match
  e2e PATTERN     the end-to-end scenarios whose names contain it, on the x86_64 build (the installer's
                  scenarios also make the release files first)
The copy is a git worktree in build/plant/tree with build folders of its own, so that the builds stay
incremental from one fault to the next. It runs the commit: commit what it should see."""
import os
import subprocess
import sys

FAULTS = [
    # The controller: its phases, the sequences, the events.
    ("C1", "a refusal's box lets inputs act", "src/control/program_life.cpp",
     "        m_phase.Refuse();\n        m_window.ShowRefusalPumping();",
     "        m_phase.Run();\n        m_window.ShowRefusalPumping();", "native"),
    ("C2", "events merged across another message", "src/app/velkaro_dlg.cpp",
     "PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE | PM_QS_POSTMESSAGE)",
     "PeekMessageW(&next, m_hWnd, WM_FIRMWARE_EVENT, WM_FIRMWARE_EVENT, PM_NOREMOVE | PM_QS_POSTMESSAGE)",
     "e2e a_message_between"),
    ("C3", "a switch-on whose read failed drives the GPU", "src/control/overclock_switch.cpp",
     "        return Outcome::Done;\n    }\n    const NvAPI_Status a = m_driver.GpuOverclockSwitch(m_driver.FirstPhysicalGpu(), 1);",
     "    }\n    const NvAPI_Status a = m_driver.GpuOverclockSwitch(m_driver.FirstPhysicalGpu(), 1);", "native"),
    ("C4", "an ending taken in the peek still waits and asks", "src/control/event_policy.cpp",
     "    if (!m_phase.Running()) {  // the peek may have handled an ending sent meanwhile\n        return 1;\n    }\n",
     "", "native"),
    ("C5", "a driver fault ends without the switch-off", "src/app/velkaro_dlg.cpp",
     "    m_faultGuard = std::make_unique<FaultGuard>(&CVelkaroDlg::LastActOnFault, this);\n", "",
     "e2e a_driver_fault"),
    ("C6", "the service's return follows the start-up rule", "src/control/event_policy.cpp",
     "    FollowOption(WhenUnwanted::Stay);",
     "    m_switch.TakeOption(ReadOverclockOption());\n    if (m_switch.ocSupported && m_switch.ocWanted) {\n"
     "        m_switch.EnableOverclock();\n    }", "native"),
    ("C7", "ocSupported set only after the option box", "src/control/event_policy.cpp",
     "    m_switch.TakeOption(option);\n    if (m_switch.ocWanted) {\n        m_switch.EnableOverclock();\n"
     "    } else if (whenUnwanted == WhenUnwanted::Ask) {\n        m_window.ShowOptionBoxPumping();\n    }",
     "    if (m_switch.ocWanted) {\n        m_switch.TakeOption(option);\n        m_switch.EnableOverclock();\n"
     "    } else if (whenUnwanted == WhenUnwanted::Ask) {\n        m_window.ShowOptionBoxPumping();\n"
     "        m_switch.TakeOption(option);\n    } else {\n        m_switch.TakeOption(option);\n    }", "native"),
    ("C8", "an ending leaves the boxes and the menu open", "src/app/velkaro_dlg.cpp",
     "    EndMenu();\n    EnumThreadWindows(GetCurrentThreadId(), &CVelkaroDlg::EndOwnBox, reinterpret_cast<LPARAM>(this));\n",
     "", "e2e asked_to_end"),
    ("C9", "a switch-on while ending", "src/control/overclock_switch.cpp",
     ("    if (!m_phase.Running()) {\n        return;\n    }\n    if (SwitchOn(Retry::Allowed)",
      "void OverclockSwitch::OnTrayEnable()\n{\n    if (!m_phase.Running()) {\n        return;\n    }\n"),
     ("    if (SwitchOn(Retry::Allowed)", "void OverclockSwitch::OnTrayEnable()\n{\n"), "native"),
    ("C10", "a second instance switches off", "src/control/program_life.cpp",
     "void ProgramLife::OnAnotherInstance()\n{\n    m_phase.Refuse();",
     "void ProgramLife::OnAnotherInstance()\n{\n    m_phase.Run();", "win AnyOtherHolder"),
    ("C11", "Enable switches on without the option", "src/control/overclock_switch.cpp",
     "    if (ocSupported) {\n        EnableOverclock();", "    if (true) {\n        EnableOverclock();", "native"),
    ("C12", "the write's failure is not recorded", "src/control/overclock_switch.cpp",
     ": written     ? success", ": written || true ? success", "native"),
    ("C13", "the tip ignores how the last switch ended", "src/control/tray_status.cpp",
     "    switch (overclock.LastResult()) {", "    switch (SwitchResult::None) {", "native"),
    ("C14", "switching off writes a value it could not read", "src/control/overclock_switch.cpp",
     "    std::int32_t value = GetApItem6();\n    if (value == kApItem6ReadFailed) {\n        m_lastResult = SwitchResult::NoValue;\n"
     "        return Outcome::Done;\n    }\n    const bool driverTookIt = a == NVAPI_OK && b == NVAPI_OK;",
     "    std::int32_t value = GetApItem6();\n    const bool driverTookIt = a == NVAPI_OK && b == NVAPI_OK;", "native"),
    # The main window, the tray and the menu.
    ("W1", "start-up's second half runs again", "src/app/velkaro_dlg.cpp",
     "    if (m_phase.Current() != Phase::Starting) {\n        return 0;\n    }\n    // The hidden window's looks",
     "    // The hidden window's looks", "win KeepsHidden"),
    ("W2", "the icon follows the system's scale, not the taskbar's monitor's", "src/app/velkaro_dlg.cpp",
     "    m_trayIcon.OnDpiChanged(TaskbarDpi());", "    m_trayIcon.OnDpiChanged(SystemDpi());", "win KeepsHidden"),
    ("W3", "a mutex this user may not open is no other instance", "src/app/instance_mutex.cpp",
     "running || GetLastError() == ERROR_ACCESS_DENIED", "running", "win AnyOtherHolder"),
    ("W4", "elevated, the icon's clicks are dropped", "src/app/velkaro_dlg.cpp",
     "{WM_TRAYNOTIFY, WM_TASKBARCREATED,", "{WM_TASKBARCREATED,", "win StartsHidden"),
    ("W5", "the foreground is not given back after the menu", "src/app/velkaro_dlg.cpp",
     "!SetForegroundWindow(previous)", "false", "win TheMenuOpens"),
    ("W6", "the tip is sent to the shell though it did not change", "src/tray/tray_icon.cpp",
     "    if (std::wcscmp(tip, m_record.szTip) == 0) {", "    if (false) {", "win KeepsHidden"),
    ("W7", "no focus back to the tray after Escape", "src/tray/tray_icon.cpp",
     "    if (!Notify(NIM_SETFOCUS)) {", "    if (false) {", "win TheMenuOpens"),
    ("W8", "a keyboard opening selects no entry", "src/tray/tray_menu.cpp",
     "PostMessageW(owner, WM_KEYDOWN, VK_DOWN, 0);", "(void)owner;", "win TheMenuOpens"),
    ("W9", "the choice is not radio-checked for screen readers", "src/tray/tray_menu.cpp",
     "if (!CheckMenuRadioItem(", "if (false && !CheckMenuRadioItem(", "win TrayMenu"),
    ("W10", "screen readers get no names", "src/menuxp/menu_xp_item.cpp",
     "{MSAA_MENU_SIG, static_cast<DWORD>(m_strText.size()), m_strText.data()}",
     "{0, static_cast<DWORD>(m_strText.size()), m_strText.data()}", "win TrayMenu"),
    ("W11", "a letter with one entry selects instead of choosing", "src/menuxp/menu_xp.cpp",
     "{MNC_IGNORE, MNC_EXECUTE, MNC_SELECT}", "{MNC_IGNORE, MNC_SELECT, MNC_SELECT}", "win MenuXP|TrayMenu"),
    ("W12", "the side bar's title white in high contrast", "src/menuxp/menu_xp.cpp",
     "m_bHighContrast ? m_clrText : kWhite", "kWhite", "win TrayMenu|MenuGallery"),
    ("W13", "the side bar leaves the background mode transparent", "src/menuxp/menu_xp.cpp",
     "    const ScopedBkMode transparent(dc->m_hDC, TRANSPARENT);", "    SetBkMode(dc->m_hDC, TRANSPARENT);",
     "win MenuXPSideBar"),
    ("W14", "libraries searched for beside the program too", "src/platform/win_app.cpp",
     "setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)",
     "setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)", "win LibrarySearch"),
    ("W15", "the driver's library found beside the program", "src/gpu/system_driver_library.cpp",
     "LoadLibraryExA(kDriverLibraryName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)",
     "LoadLibraryExA(kDriverLibraryName, nullptr, 0)", "win DriverLoader"),
    ("W16", "the brightness watcher connects on the GUI thread", "src/brightness/brightness_watcher.cpp",
     "CreateThread(nullptr, 0, &WatchBrightness, const_cast<std::atomic<HWND>*>(&target), 0, nullptr));",
     "(WatchBrightness(const_cast<std::atomic<HWND>*>(&target)), nullptr));", "win BrightnessInMainWindow"),
    ("W17", "COM is left before the watcher's objects are released", "src/brightness/brightness_watcher.cpp",
     ("    ComInitialization com;\n    ComPtr<IWbemObjectSink> stubSink;", "    UniqueBstr nameSpace(kNamespace);\n"),
     ("    ComPtr<IWbemObjectSink> stubSink;", "    UniqueBstr nameSpace(kNamespace);\n    ComInitialization com;\n"),
     "win BrightnessWatcher"),
    ("W18", "the sink's count is not atomic", "src/brightness/event_sink.cpp",
     ("    return static_cast<ULONG>(m_count.fetch_add(1) + 1);", "    const LONG count = m_count.fetch_sub(1) - 1;"),
     ("    const LONG count = m_count.load() + 1;\n    m_count.store(count);\n    return static_cast<ULONG>(count);",
      "    const LONG count = m_count.load() - 1;\n    m_count.store(count);"), "win EventSink"),
    # Who the firmware service is.
    ("F1", "a pipe of the user's at a lower level is believed", "src/firmware/service_connection.cpp",
     "return own != 0 && LabelIntegrity(sacl) >= own;", "return own != 0 && (LabelIntegrity(sacl) >= own || true);",
     "win ServiceIdentity"),
    ("F2", "a pipe whose owner cannot be read is believed", "src/firmware/service_connection.cpp",
     "    if (result != ERROR_SUCCESS || owner == nullptr || !IsValidSid(owner)) {\n        return false;",
     "    if (result != ERROR_SUCCESS || owner == nullptr || !IsValidSid(owner)) {\n        return true;",
     "win ServiceIdentity"),
    ("F3", "another user's pipe is believed", "src/firmware/service_connection.cpp",
     "        !EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.get())->User.Sid)) {",
     "        !(EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.get())->User.Sid) || true)) {",
     "win ServiceIdentity"),
    # The installer.
    ("I1", "an update goes to the default folder", "packaging/tendral.nsi",
     'InstallDirRegKey HKCU "${UNINSTALL_KEY}" InstallLocation\n', "", "e2e the_installer_starts"),
    ("I2", "a silent update does not start the copy it ended", "packaging/tendral.nsi",
     "      StrCpy $StartAtEnd 1\n", "", "e2e the_installer_starts"),
    ("I3", "the installer ends copies started from elsewhere", "packaging/tendral.nsi",
     '      ${If} $3 == "$CopyFolder\\${EXE}"', "      ${If} 1 == 1", "e2e the_installer_closes"),
    ("I4", "an update elsewhere leaves the old copy", "packaging/tendral.nsi",
     '    Delete "$OldFolder\\${EXE}"\n', "", "e2e the_installer_closes"),
    ("I5", "an uninstall that cannot remove the program removes the rest", "packaging/tendral.nsi",
     "  ${If} ${Errors}\n    MessageBox MB_ICONSTOP", "  ${If} 1 == 2\n    MessageBox MB_ICONSTOP",
     "e2e the_installer_closes"),
]

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TREE = os.path.join(ROOT, "build", "plant", "tree")
WINE = "source scripts/wine-env.sh && tendral_lock_prefix && tendral_wine_prefix && tendral_wine_start && "


def sh(command, log):
    """Runs a shell command in the tree; its output goes to the log. True when it succeeded."""
    with open(log, "a") as out:
        return subprocess.run(["bash", "-c", command], cwd=TREE, stdout=out, stderr=out).returncode == 0


class NotBuilt(Exception):
    """The tree with the fault in it did not build: the fault says nothing of the tests."""


def run_check(check, log):
    """Builds what the check needs and runs it: True when the tests passed."""
    kind, _, pattern = check.partition(" ")
    if not sh(f"scripts/build.sh {'native' if kind == 'native' else 'mingw-x86_64'}", log):
        raise NotBuilt()
    if kind == "native":
        return sh("cd build/native && ctest --output-on-failure --timeout 120 -j2", log)
    if kind == "win":
        # The Wine server holds the prefix's lock while it runs: it ends with the check.
        return sh(WINE + f"(cd build/mingw-x86_64 && ctest --output-on-failure --timeout 120 -R '{pattern}'); "
                  "passed=$?; tendral_wine_stop; exit $passed", log)
    if "installer" in pattern and not sh("scripts/package.sh", log):
        raise NotBuilt()
    return sh(f"tests/e2e/run.sh build/mingw-x86_64/bin '{pattern}'", log)


def failed_tests(log):
    with open(log) as text:
        lines = text.read().splitlines()
    names = [line.split()[-2] for line in lines
             if line.strip()[:1].isdigit() and line.rstrip().endswith(("(Failed)", "(Timeout)"))]
    names += [line[5:] for line in lines if line.startswith("FAIL ")]
    return ", ".join(names) or "the run"


def main():
    wanted = set(sys.argv[1:])
    faults = [fault for fault in FAULTS if not wanted or fault[0] in wanted]
    os.makedirs(os.path.dirname(TREE), exist_ok=True)
    if not os.path.isdir(TREE):
        subprocess.run(["git", "worktree", "add", "--detach", TREE, "HEAD"], cwd=ROOT, check=True)
    subprocess.run(["git", "checkout", "-q", "--detach", subprocess.check_output(
        ["git", "rev-parse", "HEAD"], cwd=ROOT, text=True).strip()], cwd=TREE, check=True)
    subprocess.run(["git", "reset", "-q", "--hard"], cwd=TREE, check=True)
    logs = os.path.join(ROOT, "build", "plant")
    uncaught = 0
    for check in sorted({fault[5] for fault in faults}):
        log = os.path.join(logs, "baseline.log")
        if not run_check(check, log):  # a tree that does not build stops it here too
            print(f"baseline: '{check}' fails without any fault planted (see {log})")
            return 2
    for ident, what, path, old, new, check in faults:
        file = os.path.join(TREE, path)
        with open(file) as text:
            original = text.read()
        pairs = list(zip(old, new)) if isinstance(old, tuple) else [(old, new)]
        if any(original.count(before) != 1 for before, _ in pairs):
            print(f"{ident} no longer applies: its text is not in {path} exactly once")
            uncaught += 1
            continue
        planted = original
        for before, after in pairs:
            planted = planted.replace(before, after)
        log = os.path.join(logs, f"{ident}.log")
        open(log, "w").close()
        with open(file, "w") as text:
            text.write(planted)
        try:
            caught = not run_check(check, log)
        except NotBuilt:
            print(f"{ident} did not build with the fault in it (see {log}): mend its replacement")
            uncaught += 1
            continue
        finally:
            with open(file, "w") as text:
                text.write(original)
        print(f"{ident} {'caught' if caught else 'MISSED'}: {what} ({check}"
              f"{': ' + failed_tests(log) if caught else ''})", flush=True)
        uncaught += 0 if caught else 1
    # The files are back as they were; the builds are made again from them next time.
    return 1 if uncaught else 0


if __name__ == "__main__":
    sys.exit(main())
