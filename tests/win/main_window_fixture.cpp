#include "main_window_fixture.h"

#include <deque>

#include "standin_install.h"
#include "tray/about_dlg.h"
#include "tray/tray_icon.h"

std::vector<TrayCall> g_trayCalls;
bool g_trayRefusesAdd = false;
int g_trayFailures = 0;

namespace {

BOOL WINAPI RecordTrayCall(DWORD message, PNOTIFYICONDATAW record)
{
    g_trayCalls.push_back({message, *record});
    if (g_trayFailures > 0) {
        --g_trayFailures;
        return FALSE;
    }
    return g_trayRefusesAdd && message == NIM_ADD ? FALSE : TRUE;
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
        return 2;
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

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
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

void MainWindow::SetUp()
{
    ASSERT_TRUE(InstallDriverLibrary());
    ASSERT_TRUE(simulator.Start());
    g_trayCalls.clear();
    g_trayRefusesAdd = false;
    g_trayFailures = 0;
    g_shellNotifyIcon = &RecordTrayCall;
    g_mainWindow = nullptr;
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
    if (g_instanceMutex != nullptr) {
        CloseHandle(g_instanceMutex);
        g_instanceMutex = nullptr;
    }
    g_trayCalls.clear();
}
