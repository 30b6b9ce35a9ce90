#include "platform/menu_key_watch.h"

namespace {

thread_local MenuKeyWatch* t_watch = nullptr;

}  // namespace

MenuKeyWatch::MenuKeyWatch()
    : m_hook(SetWindowsHookExW(WH_MSGFILTER, &MenuKeyWatch::HookProc, nullptr, GetCurrentThreadId()))
{
    t_watch = this;
}

MenuKeyWatch::~MenuKeyWatch()
{
    if (m_hook != nullptr) {
        UnhookWindowsHookEx(m_hook);
    }
    if (t_watch == this) {
        t_watch = nullptr;
    }
}

LRESULT CALLBACK MenuKeyWatch::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_MENU && t_watch != nullptr &&
        (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN)) {
        t_watch->m_lastKey = message->wParam;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
