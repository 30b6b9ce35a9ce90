#include "platform/menu_key_watch.h"

#include "platform/thread_slot.h"

namespace {

ThreadSlot<MenuKeyWatch> t_watch;

}  // namespace

MenuKeyWatch::MenuKeyWatch()
    : m_hook(SetWindowsHookExW(WH_MSGFILTER, &MenuKeyWatch::HookProc, nullptr, GetCurrentThreadId()))
{
    t_watch.Set(this);
}

MenuKeyWatch::~MenuKeyWatch()
{
    if (m_hook != nullptr) {
        UnhookWindowsHookEx(m_hook);
    }
    if (t_watch.Get() == this) {
        t_watch.Set(nullptr);
    }
}

LRESULT CALLBACK MenuKeyWatch::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    MenuKeyWatch* const watch = t_watch.Get();
    if (code == MSGF_MENU && watch != nullptr &&
        (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN)) {
        watch->m_lastKey = message->wParam;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
