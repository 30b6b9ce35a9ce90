#include "simulator_process.h"

#include <fstream>

std::wstring ProgramDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, wcsrchr(path, L'\\'));
}

SimulatorProcess::SimulatorProcess()
{
    wchar_t directory[MAX_PATH] = {}, path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, L"tdj", 0, path);
    m_journalPath = path;
}

SimulatorProcess::~SimulatorProcess()
{
    Stop();
    DeleteFileW(m_journalPath.c_str());
}

bool SimulatorProcess::Start(Values values)
{
    if (!Stop())
        return false;
    std::wstring line = L"\"" + ProgramDirectory() + L"\\firmware_sim.exe\" serve --system0 " +
                        std::to_wstring(values.system0) + L" --system1 " + std::to_wstring(values.system1) +
                        L" --ap6 " + std::to_wstring(values.ap6) + L" --journal \"" + m_journalPath + L"\"";
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (GetTickCount64() < deadline) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                            &startup, &info))
            return false;
        m_process.Reset(info.hProcess);
        CloseHandle(info.hThread);
        while (GetTickCount64() < deadline && WaitForSingleObject(m_process.Get(), 20) == WAIT_TIMEOUT) {
            if (Ctl(L"ping") == "ok")
                return true;
        }
        // It found the pipes still served: Wine may need a moment to tear down the instances of a simulator
        // that has just ended.
        m_process.Reset();
        Sleep(100);
    }
    return false;
}

bool SimulatorProcess::Stop()
{
    if (m_process)
        Ctl(L"stop");
    const bool stopped = !m_process || WaitForSingleObject(m_process.Get(), 5000) == WAIT_OBJECT_0;
    if (!stopped)
        TerminateProcess(m_process.Get(), 1);  // the next start waits out what is left of it
    m_process.Reset();
    return stopped;
}

std::string SimulatorProcess::Ctl(const std::wstring& command) const
{
    std::string text(command.begin(), command.end());  // the commands are ASCII
    char answer[4096];
    DWORD size = 0;
    if (!CallNamedPipeW(L"\\\\.\\pipe\\ORVWmiAcpi.Simulator", text.data(), static_cast<DWORD>(text.size()),
                        answer, sizeof(answer), &size, 5000))
        return "(no answer: error " + std::to_string(GetLastError()) + ")";
    return std::string(answer, size);
}

std::vector<std::string> SimulatorProcess::Journal() const
{
    std::vector<std::string> lines;
    std::ifstream journal(m_journalPath.c_str());
    for (std::string line; std::getline(journal, line);)
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    return lines;
}
