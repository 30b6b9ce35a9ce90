// A look at the thread's messages before the dialog manager acts on them. The program runs inside
// the system's modal loops (its main dialog's, message boxes'), which give it no loop of its own to
// pre-translate in; the system offers their messages to a WH_MSGFILTER hook first instead.
#pragma once

#include <windows.h>

#include <functional>

class MessageFilter {
public:
    // Returns true when it has taken the message: the modal loop then neither translates nor
    // dispatches it, and the dialog manager does not act on it.
    using Filter = std::function<bool(MSG& message)>;

    // Installs the hook on the calling thread; one filter per thread.
    explicit MessageFilter(Filter filter);
    ~MessageFilter();
    MessageFilter(const MessageFilter&) = delete;
    MessageFilter& operator=(const MessageFilter&) = delete;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);

    Filter m_filter;
    HHOOK m_hook = nullptr;
};
