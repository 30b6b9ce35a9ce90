// Runs the firmware service simulator for a test: starts it, drives it through its control command,
// reads its journal, and stops it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/unique_handle.h"

// The whole file, read while others may have it open for writing; "" when it cannot be opened.
std::string ReadFileText(const std::wstring& path);

// Directory of the running test program, where the build puts every program.
std::wstring ProgramDirectory();

// Runs a program with its standard output captured; returns its exit code, or -1 when it could not be
// started or did not end within the time.
int RunProgram(const std::wstring& commandLine, std::string* output, DWORD timeoutMs = 10000);

class SimulatorProcess {
public:
    struct Values {
        int system0 = 2;
        int system1 = 0;
        int ap6 = 16;
    };

    SimulatorProcess();
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Starts serving (option on: System item 0 = 2, System item 1 = 0, AP item 6 = 16) and waits until
    // it answers its control command.
    bool Start();
    bool Start(Values values);
    // Stops it and waits for the process to end.
    bool Stop();

    // Runs "firmware_sim ctl ARGS"; returns the answer without its line end, or "" when none came.
    std::string Ctl(const std::wstring& arguments) const;
    bool WaitForSubscribers(int count, DWORD timeoutMs) const;
    // The journal's lines, without the control lines that start with '#'.
    std::vector<std::string> Journal() const;

private:
    std::wstring m_journalPath;
    UniqueHandle m_process;
};
