#include "platform/message_filter.h"

#include "platform/thread_slot.h"

namespace {

ThreadSlot<MessageFilter> t_filter;
// A filter that hands a message to IsDialogMessageW is asked again from inside it: that inner
// question is not the filter's. Set to the filter while it runs.
ThreadSlot<MessageFilter> t_filtering;

}  // namespace

MessageFilter::MessageFilter(Filter filter)
    : m_filter(std::move(filter)),
      m_hook(SetWindowsHookExW(WH_MSGFILTER, &MessageFilter::HookProc, nullptr, GetCurrentThreadId()))
{
    t_filter.Set(this);
}

MessageFilter::~MessageFilter()
{
    if (m_hook != nullptr) {
        UnhookWindowsHookEx(m_hook);
    }
    if (t_filter.Get() == this) {
        t_filter.Set(nullptr);
    }
}

LRESULT CALLBACK MessageFilter::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    // Dialog boxes and message boxes; menus and scroll bars keep their own keys.
    const bool dialogLoop = code == MSGF_DIALOGBOX || code == MSGF_MESSAGEBOX;
    MessageFilter* const filter = t_filter.Get();
    if (dialogLoop && filter != nullptr && t_filtering.Get() == nullptr) {
        t_filtering.Set(filter);
        const bool taken = filter->m_filter(*reinterpret_cast<MSG*>(lParam));
        t_filtering.Set(nullptr);
        if (taken) {
            return TRUE;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
