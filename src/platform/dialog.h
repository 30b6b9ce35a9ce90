// A dialog created from a resource template, modal or modeless. Its messages are routed by a message
// table: a static array of {message or command ID, member handler} that each dialog class declares.
// Commands pass the command hook OnCommand first; whatever no handler takes gets the dialog's default
// processing.
#pragma once

#include <windows.h>

#include <span>

class CButton;
class CDialog;

using MessageHandler = LRESULT (CDialog::*)(WPARAM, LPARAM);

struct MessageEntry {
    UINT message;
    UINT commandId;  // for WM_COMMAND entries; 0 otherwise
    MessageHandler handler;
    // For a message registered at run time (RegisterWindowMessageW): where its number is kept.
    const UINT* registeredMessage = nullptr;
};

template <class Dialog>
constexpr MessageEntry OnMessage(UINT message, LRESULT (Dialog::*handler)(WPARAM, LPARAM))
{
    return {message, 0, static_cast<MessageHandler>(handler)};
}

// `message` is read when a message arrives, so it may be registered after the table is built.
template <class Dialog>
constexpr MessageEntry OnRegisteredMessage(const UINT& message, LRESULT (Dialog::*handler)(WPARAM, LPARAM))
{
    return {0, 0, static_cast<MessageHandler>(handler), &message};
}

template <class Dialog>
constexpr MessageEntry OnCommandId(UINT commandId, LRESULT (Dialog::*handler)(WPARAM, LPARAM))
{
    return {WM_COMMAND, commandId, static_cast<MessageHandler>(handler)};
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
    // Sees every WM_COMMAND first. The base looks up command entries of the message table, then
    // gives IDOK and IDCANCEL to OnOK and OnCancel; it returns FALSE when nothing took the command.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
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

    UINT m_templateId;
    HWND m_parent;
    WNDPROC m_defaultProc = nullptr;
    Message m_current{};
};
