#include "main_window_fixture.h"

#include <deque>

#include "standin_install.h"
#include "tray/about_dlg.h"
#include "tray/tray_icon.h"

std::vector<TrayCall> g_trayCalls;
std::vector<std::wstring> g_tipChanges;
int g_trayFailures = 0;
const RECT* g_trayIconRect = nullptr;
std::set<UINT> g_letIn;

namespace {

HRESULT WINAPI TellTrayIconRect(const NOTIFYICONIDENTIFIER*, RECT* location)
{
    *location = g_trayIconRect != nullptr ? *g_trayIconRect : RECT{};
    return g_trayIconRect != nullptr ? S_OK : E_NOTIMPL;
}

BOOL WINAPI RecordTrayCall(DWORD message, PNOTIFYICONDATAW record)
{
    if (message == NIM_MODIFY && record->uFlags == NIF_TIP) {
        g_tipChanges.push_back(record->szTip);
        return TRUE;
    }
    g_trayCalls.push_back({message, *record});
    if (g_trayFailures > 0) {
        --g_trayFailures;
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI RecordLetIn(HWND, UINT message, DWORD action, PCHANGEFILTERSTRUCT)
{
    if (action == MSGFLT_ALLOW) {
        g_letIn.insert(message);
    }
    return TRUE;
}

std::deque<std::function<void()>> g_laterSteps;

// Timer messages come only when no posted message waits: the step sees what was queued before it.
void CALLBACK RunLaterStep(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (!g_laterSteps.empty()) {
        auto step = std::move(g_laterSteps.front());
        g_laterSteps.pop_front();
        step();
    }
}

}  // namespace

INT_PTR RunModal(CVelkaroDlg& dialog, std::function<void()> script)
{
    Later(std::move(script));
    const INT_PTR result = dialog.DoModal();
    g_laterSteps.clear();
    return result;
}

void Later(std::function<void()> step)
{
    g_laterSteps.push_back(std::move(step));
    SetTimer(nullptr, 0, 10, RunLaterStep);
}

int ApWrites(const std::vector<std::string>& journal)
{
    int writes = 0;
    for (const std::string& line : journal) {
        writes += line.find(":S:ORV_AP:AP:6:") != std::string::npos ? 1 : 0;
    }
    return writes;
}

void MainWindow::SetUp()
{
    ASSERT_TRUE(InstallDriverLibrary());
    ASSERT_TRUE(simulator.Start());
    g_trayFailures = 0;
    g_trayIconRect = nullptr;
    g_shellNotifyIcon = &RecordTrayCall;
    g_shellNotifyIconGetRect = &TellTrayIconRect;
    g_changeWindowMessageFilterEx = &RecordLetIn;
}

void MainWindow::TearDown()
{
    ForgetRun();
    g_shellNotifyIcon = &Shell_NotifyIconW;
    g_shellNotifyIconGetRect = &Shell_NotifyIconGetRect;
    g_changeWindowMessageFilterEx = &ChangeWindowMessageFilterEx;
}

void MainWindow::ForgetRun()
{
    // The About box lives as long as the process; tests share one process when run together.
    delete g_aboutDialog;
    g_aboutDialog = nullptr;
    g_trayCalls.clear();
    g_tipChanges.clear();
    g_letIn.clear();
}
