#include "brightness_test_support.h"

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    m_file = std::tmpfile();
    if (m_file != nullptr) {
        m_saved = _dup(1);
        _dup2(_fileno(m_file), 1);
    }
}

StdoutCapture::~StdoutCapture()
{
    Finish();
}

std::string StdoutCapture::Finish()
{
    std::string text;
    if (m_file == nullptr) {
        return text;
    }
    std::fflush(stdout);
    _dup2(m_saved, 1);
    _close(m_saved);
    std::rewind(m_file);
    for (int c = std::fgetc(m_file); c != EOF; c = std::fgetc(m_file)) {
        if (c != '\r') {
            text.push_back(static_cast<char>(c));
        }
    }
    std::fclose(m_file);
    m_file = nullptr;
    return text;
}

namespace {

DWORD WINAPI RunWork(void* work)
{
    (*static_cast<std::function<void()>*>(work))();
    return 0;
}

std::atomic<const void*> g_watched{nullptr};
std::atomic<bool> g_watchedDeleted{false};

}  // namespace

bool RunOnWorker(std::function<void()> work, DWORD timeoutMs)
{
    HANDLE thread = CreateThread(nullptr, 0, RunWork, &work, 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    // Served until the thread ends even past the time: it may be waiting for this thread, and `work`
    // lives on this stack.
    const ULONGLONG start = GetTickCount64();
    for (bool ended = false; !ended;) {
        ended = MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
    }
    CloseHandle(thread);
    return GetTickCount64() - start <= timeoutMs;
}

void WatchDeletion(const void* object)
{
    g_watchedDeleted = false;
    g_watched = object;
}

bool WasDeleted()
{
    return g_watchedDeleted;
}

// The whole test program's deallocation goes through here; allocation stays malloc-based.
void operator delete(void* object) noexcept
{
    if (object != nullptr && object == g_watched.load()) {
        g_watchedDeleted = true;
    }
    std::free(object);
}

void operator delete(void* object, std::size_t) noexcept
{
    ::operator delete(object);
}
