// A dialog created from a resource template, modal or modeless. One message table routes its
// messages: a static array of entries, each a window message or a command ID with its member handler.
// A WM_COMMAND reaches the table only when the command is given (a click, a menu choice, an
// accelerator); IDOK and IDCANCEL without an entry of their own end the dialog through OnOK and
// OnCancel. Whatever no entry takes gets the dialog's default processing.
#pragma once

#include <windows.h>

#include <span>
#include <type_traits>

class CButton;
class CDialog;

struct MessageEntry {
    UINT message;    // WM_COMMAND for command entries
    UINT commandId;  // for WM_COMMAND entries; 0 otherwise
    LRESULT (*invoke)(CDialog& dialog, WPARAM wParam, LPARAM lParam);
    // For a message registered at run time (RegisterWindowMessageW): where its number is kept.
    const UINT* registeredMessage = nullptr;
};

namespace message_table_detail {

template <class>
struct HandlerOf;
template <class Dialog, class Result, class... Parameters>
struct HandlerOf<Result (Dialog::*)(Parameters...)> {
    using Class = Dialog;
};
template <auto Handler>
using DialogOf = typename HandlerOf<decltype(Handler)>::Class;

// Calls a handler of a window message: LRESULT (WPARAM, LPARAM) or LRESULT ().
template <auto Handler>
LRESULT InvokeMessage(CDialog& dialog, WPARAM wParam, LPARAM lParam)
{
    auto& self = static_cast<DialogOf<Handler>&>(dialog);
    if constexpr (std::is_invocable_v<decltype(Handler), decltype(self), WPARAM, LPARAM>) {
        return (self.*Handler)(wParam, lParam);
    } else {
        return (self.*Handler)();
    }
}

// Calls a command handler: void (UINT commandId) or void ().
template <auto Handler>
LRESULT InvokeCommand(CDialog& dialog, WPARAM wParam, LPARAM)
{
    auto& self = static_cast<DialogOf<Handler>&>(dialog);
    if constexpr (std::is_invocable_v<decltype(Handler), decltype(self), UINT>) {
        (self.*Handler)(LOWORD(wParam));
    } else {
        (self.*Handler)();
    }
    return 0;
}

template <auto Handler>
LRESULT InvokeWindowPos(CDialog& dialog, WPARAM, LPARAM lParam)
{
    return (static_cast<DialogOf<Handler>&>(dialog).*Handler)(*reinterpret_cast<WINDOWPOS*>(lParam));
}

}  // namespace message_table_detail

template <auto Handler>
constexpr MessageEntry OnMessage(UINT message)
{
    return {message, 0, &message_table_detail::InvokeMessage<Handler>};
}

// `message` is read when a message arrives, so it may be registered after the table is built.
template <auto Handler>
constexpr MessageEntry OnRegisteredMessage(const UINT& message)
{
    return {0, 0, &message_table_detail::InvokeMessage<Handler>, &message};
}

template <auto Handler>
constexpr MessageEntry OnCommand(UINT commandId)
{
    return {WM_COMMAND, commandId, &message_table_detail::InvokeCommand<Handler>};
}

// WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED: the handler gets the record the message carries.
template <auto Handler>
constexpr MessageEntry OnWindowPos(UINT message)
{
    return {message, 0, &message_table_detail::InvokeWindowPos<Handler>};
}

class CDialog {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog with its own modal loop; returns the EndDialog result, or -1 if it could not
    // be created.
    INT_PTR DoModal();
    // Creates the dialog modeless; the caller keeps the object alive while the window exists.
    BOOL Create();

    HWND GetSafeHwnd() const { return m_hWnd; }
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    HWND m_hWnd = nullptr;

protected:
    // The derived dialog's entries; the base's IDOK and IDCANCEL entries come after them.
    virtual std::span<const MessageEntry> MessageTable() const;
    // Binds control fields to the dialog's controls; called by OnInitDialog.
    virtual void DoDataExchange();
    void BindControl(CButton& control, int controlId);

    // Default processing of the message being handled.
    LRESULT Default();

private:
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK RoutingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void AttachWindow(HWND window);
    LRESULT Route(UINT message, WPARAM wParam, LPARAM lParam);
    const MessageEntry* FindEntry(UINT message, UINT commandId) const;
    void OnOkCommand();
    void OnCancelCommand();

    static const MessageEntry kBaseMessages[];

    UINT m_templateId;
    HWND m_parent;
    WNDPROC m_defaultProc = nullptr;
    Message m_current{};
};
