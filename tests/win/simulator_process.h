// Runs the firmware service simulator for a test: starts it, drives it through its control pipe, reads its
// journal, and stops it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/unique_handle.h"

// Directory of the running test program, where the build puts every program.
std::wstring ProgramDirectory();

class SimulatorProcess {
public:
    struct Values {  // System item 0, System item 1, AP item 6
        int system0, system1, ap6;
    };

    SimulatorProcess();
    ~SimulatorProcess();

    // Stops a running simulator, starts serving (by default with the option on), waits until it answers.
    bool Start(Values values = {2, 0, 16});
    bool Stop();
    // One control command; its answer, or why there was none.
    std::string Ctl(const std::wstring& command) const;
    // The journal's lines, without the control lines that start with '#'.
    std::vector<std::string> Journal() const;

private:
    std::wstring m_journalPath;
    UniqueHandle m_process;
};
