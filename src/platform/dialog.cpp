#include "platform/dialog.h"

#include <initializer_list>

#include "platform/button.h"
#include "platform/menu.h"
#include "platform/win_app.h"

namespace {

// WM_COMMAND notification codes that mean "the command was given": menus and button clicks send 0,
// accelerators 1. Other notifications of controls (focus, double clicks) are no commands.
bool IsCommandGiven(WPARAM wParam, LPARAM lParam)
{
    const UINT code = HIWORD(wParam);
    return code == 0 || (code == 1 && lParam == 0);
}

}  // namespace

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog()
{
    if (m_hWnd != nullptr) {
        DestroyWindow(m_hWnd);
    }
}

INT_PTR CDialog::DoModal()
{
    return DialogBoxParamW(ProgramInstance(), MAKEINTRESOURCEW(m_templateId), m_parent, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::Create()
{
    return CreateDialogParamW(ProgramInstance(), MAKEINTRESOURCEW(m_templateId), m_parent, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::EndDialog(int result)
{
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

const MessageEntry CDialog::kBaseMessages[] = {
    OnCommand<&CDialog::OnOkCommand>(IDOK),
    OnCommand<&CDialog::OnCancelCommand>(IDCANCEL),
};

void CDialog::OnOkCommand()
{
    OnOK();
}

void CDialog::OnCancelCommand()
{
    OnCancel();
}

std::span<const MessageEntry> CDialog::MessageTable() const
{
    return {};
}

void CDialog::DoDataExchange() {}

void CDialog::BindControl(CButton& control, int controlId)
{
    control.Attach(GetDlgItem(m_hWnd, controlId));
}

LRESULT CDialog::Default()
{
    // The entries of an owner-drawn menu measure and draw themselves through the menu object.
    if ((m_current.message == WM_MEASUREITEM || m_current.message == WM_DRAWITEM) &&
        CMenu::DispatchOwnerDraw(m_current.message, m_current.lParam)) {
        return TRUE;
    }
    // ... and answer the letters typed in it.
    if (m_current.message == WM_MENUCHAR) {
        if (const auto answer = CMenu::DispatchMenuChar(m_current.wParam, m_current.lParam)) {
            return *answer;
        }
    }
    return CallWindowProcW(m_defaultProc, m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

// The dialog manager calls this for every message. It attaches the object at WM_INITDIALOG and
// from then on routes the window's messages through RoutingProc; for all later messages it does
// nothing, so that the dialog manager's own processing is the default processing.
INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG) {
        return FALSE;
    }
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->AttachWindow(window);
    return dialog->OnInitDialog();
}

void CDialog::AttachWindow(HWND window)
{
    m_hWnd = window;
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
    m_defaultProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CDialog::RoutingProc)));
}

LRESULT CALLBACK CDialog::RoutingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_NCDESTROY) {
        // Last message: give the window back to the dialog manager and let go of it.
        const WNDPROC defaultProc = dialog->m_defaultProc;
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defaultProc));
        SetWindowLongPtrW(window, DWLP_USER, 0);
        dialog->m_hWnd = nullptr;
        return CallWindowProcW(defaultProc, window, message, wParam, lParam);
    }
    return dialog->Route(message, wParam, lParam);
}

LRESULT CDialog::Route(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Handlers may send messages to their own window, so the message being handled is a stack.
    const Message outer = m_current;
    m_current = {message, wParam, lParam};
    const bool command = message == WM_COMMAND;
    const MessageEntry* entry = command && !IsCommandGiven(wParam, lParam)
                                    ? nullptr
                                    : FindEntry(message, command ? LOWORD(wParam) : 0);
    const LRESULT result = entry != nullptr ? entry->invoke(*this, wParam, lParam) : Default();
    m_current = outer;
    return result;
}

const MessageEntry* CDialog::FindEntry(UINT message, UINT commandId) const
{
    for (std::span<const MessageEntry> table :
         {MessageTable(), std::span<const MessageEntry>(kBaseMessages)}) {
        for (const MessageEntry& entry : table) {
            // A registration that failed leaves 0, which must not catch WM_NULL.
            const UINT entryMessage =
                entry.registeredMessage != nullptr ? *entry.registeredMessage : entry.message;
            const bool registeredButMissing = entry.registeredMessage != nullptr && entryMessage == 0;
            if (!registeredButMissing && entryMessage == message && entry.commandId == commandId) {
                return &entry;
            }
        }
    }
    return nullptr;
}
