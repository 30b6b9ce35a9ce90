#include "simulator_process.h"

#include <sstream>

namespace {

std::wstring SimulatorPath()
{
    return L"\"" + ProgramDirectory() + L"\\firmware_sim.exe\"";
}

std::wstring JournalPath()
{
    static int counter = 0;
    wchar_t directory[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, directory);
    return std::wstring(directory) + L"tendral-journal-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L".log";
}

}  // namespace

std::string ReadFileText(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    std::string text;
    if (!file) {
        return text;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    return text;
}

std::wstring ProgramDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory = path;
    return directory.substr(0, directory.find_last_of(L"\\/"));
}

int RunProgram(const std::wstring& commandLine, std::string* output, DWORD timeoutMs)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return -1;
    }
    UniqueHandle reader(readEnd);
    UniqueHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info)) {
        return -1;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    writer.Reset();

    std::string text;
    char buffer[512];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    if (output != nullptr) {
        *output = text;
    }
    if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        return -1;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.Get(), &exitCode);
    return static_cast<int>(exitCode);
}

SimulatorProcess::SimulatorProcess() : m_journalPath(JournalPath()) {}

SimulatorProcess::~SimulatorProcess()
{
    Stop();
    DeleteFileW(m_journalPath.c_str());
}

bool SimulatorProcess::Start()
{
    return Start(Values{});
}

bool SimulatorProcess::Start(Values values)
{
    std::wstring line = SimulatorPath() + L" serve --system0 " + std::to_wstring(values.system0) +
                        L" --system1 " + std::to_wstring(values.system1) + L" --ap6 " +
                        std::to_wstring(values.ap6) + L" --journal \"" + m_journalPath + L"\"";
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (GetTickCount64() < deadline) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                            &startup, &info)) {
            return false;
        }
        m_process.Reset(info.hProcess);
        CloseHandle(info.hThread);
        while (GetTickCount64() < deadline) {
            if (Ctl(L"ping") == "ok") {
                return true;
            }
            if (WaitForSingleObject(m_process.Get(), 0) == WAIT_OBJECT_0) {
                break;
            }
            Sleep(20);
        }
        // It found the pipes still served: Wine may need a moment to tear down the instances of a
        // simulator that has just ended.
        m_process.Reset();
        Sleep(100);
    }
    return false;
}

bool SimulatorProcess::Stop()
{
    if (!m_process) {
        return true;
    }
    Ctl(L"stop");
    bool stopped = WaitForSingleObject(m_process.Get(), 5000) == WAIT_OBJECT_0;
    if (!stopped) {
        TerminateProcess(m_process.Get(), 1);
        WaitForSingleObject(m_process.Get(), 5000);
    }
    m_process.Reset();
    return stopped;
}

std::string SimulatorProcess::Ctl(const std::wstring& arguments) const
{
    std::string output;
    const int exitCode = RunProgram(SimulatorPath() + L" ctl " + arguments, &output);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) {
        output.pop_back();
    }
    // Say why when there is no answer at all, so that a failing test shows it.
    return output.empty() ? "(no output, exit code " + std::to_string(exitCode) + ")" : output;
}

bool SimulatorProcess::WaitForSubscribers(int count, DWORD timeoutMs) const
{
    const std::string expected = "ok " + std::to_string(count);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        if (Ctl(L"subscribers") == expected) {
            return true;
        }
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return false;
}

std::vector<std::string> SimulatorProcess::Journal() const
{
    std::vector<std::string> lines;
    std::istringstream text(ReadFileText(m_journalPath));
    std::string line;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] != '#') {
            lines.push_back(line);
        }
    }
    return lines;
}
