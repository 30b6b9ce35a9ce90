// The main window run for real (modal, from its template) with the simulator as firmware service, the
// stand-in driver installed, and the shell's tray replaced by a recorder, since Wine has no tray
// without a display. The one fixture of every win test that runs the main window.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/velkaro_dlg.h"
#include "message_pump.h"
#include "simulator_process.h"

struct TrayCall {
    DWORD message;
    NOTIFYICONDATAW record;
};

// What the program asked of the shell's tray; changes of the tip alone are kept apart.
extern std::vector<TrayCall> g_trayCalls;
extern std::vector<std::wstring> g_tipChanges;
// How many of the next calls the recorded shell fails, as an Explorer that is not ready does.
extern int g_trayFailures;
// Where the recorded shell says the icon is; null: it does not tell (E_NOTIMPL, as Wine's answers).
extern const RECT* g_trayIconRect;

// The messages the program lets in from programs of lower rights, for when it runs elevated.
extern std::set<UINT> g_letIn;

// Runs the dialog modally; `script` runs once inside its modal loop, after start-up.
INT_PTR RunModal(CVelkaroDlg& dialog, std::function<void()> script);
// Runs `step` from the modal loop once the messages queued now have been handled there.
void Later(std::function<void()> step);
// How many times the journal shows AP item 6 written.
int ApWrites(const std::vector<std::string>& journal);

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Lets go of what one run of the program leaves behind, for a test that runs it several times.
    void ForgetRun();

    SimulatorProcess simulator;
};
