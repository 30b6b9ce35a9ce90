// Helpers for the brightness tests: capturing what printf writes, running a call on another thread
// while this one serves its windows, and seeing whether one object was deleted.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Sends everything written to the standard output into a file until Finish, which returns it.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Restores the standard output and returns what was written meanwhile, without carriage returns.
    std::string Finish();

private:
    std::FILE* m_file = nullptr;
    int m_saved = -1;
};

// Runs `work` on a new thread, as WMI would, and keeps dispatching this thread's messages (sent ones
// included) until it ends. Returns false if it did not end within the time.
bool RunOnWorker(std::function<void()> work, DWORD timeoutMs = 5000);

// Watches one address: WasDeleted tells whether operator delete has been called on it since.
void WatchDeletion(const void* object);
bool WasDeleted();
