// A button control of a dialog, bound by control ID once the dialog's controls exist.
#pragma once

#include <windows.h>

class CButton {
public:
    void Attach(HWND button) { m_hWnd = button; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE, as the control reports it.
    int GetCheck() const;
    void SetCheck(int state);
    BOOL EnableWindow(BOOL enable);

private:
    HWND m_hWnd = nullptr;
};
