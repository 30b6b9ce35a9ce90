#include "platform/message_filter.h"

namespace {

thread_local MessageFilter* t_filter = nullptr;
// A filter that hands a message to IsDialogMessageW is asked again from inside it: that inner
// question is not the filter's.
thread_local bool t_filtering = false;

}  // namespace

MessageFilter::MessageFilter(Filter filter)
    : m_filter(std::move(filter)),
      m_hook(SetWindowsHookExW(WH_MSGFILTER, &MessageFilter::HookProc, nullptr, GetCurrentThreadId()))
{
    t_filter = this;
}

MessageFilter::~MessageFilter()
{
    if (m_hook != nullptr) {
        UnhookWindowsHookEx(m_hook);
    }
    if (t_filter == this) {
        t_filter = nullptr;
    }
}

LRESULT CALLBACK MessageFilter::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    // Dialog boxes and message boxes; menus and scroll bars keep their own keys.
    const bool dialogLoop = code == MSGF_DIALOGBOX || code == MSGF_MESSAGEBOX;
    if (dialogLoop && t_filter != nullptr && !t_filtering) {
        t_filtering = true;
        const bool taken = t_filter->m_filter(*reinterpret_cast<MSG*>(lParam));
        t_filtering = false;
        if (taken) {
            return TRUE;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
