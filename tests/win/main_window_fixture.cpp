#include "main_window_fixture.h"

#include <deque>

#include "app/instance_mutex.h"
#include "standin_install.h"
#include "tray/about_dlg.h"
#include "tray/tray_icon.h"

std::vector<TrayCall> g_trayCalls;
int g_trayFailures = 0;
bool g_trayRefusesAdd = false;

namespace {

BOOL WINAPI RecordTrayCall(DWORD message, PNOTIFYICONDATAW record)
{
    g_trayCalls.push_back({message, *record});
    if (g_trayFailures > 0) {
        --g_trayFailures;
        return FALSE;
    }
    return !(g_trayRefusesAdd && message == NIM_ADD);
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

DWORD WINAPI TryInstanceMutex(void*)
{
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kInstanceMutexName);
    if (mutex == nullptr) {
        return 0;  // nobody holds the name
    }
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
    return wait == WAIT_OBJECT_0 ? 0 : 1;
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

bool InstanceMutexIsFree()
{
    HANDLE thread = CreateThread(nullptr, 0, TryInstanceMutex, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD result = 1;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    return result == 0;
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
    g_trayRefusesAdd = false;
    g_shellNotifyIcon = &RecordTrayCall;
}

void MainWindow::TearDown()
{
    ForgetRun();
    g_shellNotifyIcon = &Shell_NotifyIconW;
}

void MainWindow::ForgetRun()
{
    // The About box lives as long as the process; tests share one process when run together.
    delete g_aboutDialog;
    g_aboutDialog = nullptr;
    g_trayCalls.clear();
}
