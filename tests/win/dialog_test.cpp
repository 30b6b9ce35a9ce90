// The dialog base: creation from a template, message-table routing, the command hook, default
// processing, and how modal and modeless dialogs end.
#include "platform/dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

constexpr UINT WM_NESTED = WM_USER + 1;
constexpr UINT kTableCommand = 500;

class RecordingDialog : public CDialog {
public:
    RecordingDialog() : CDialog(IDD_VELKARO_DIALOG) {}

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        log.push_back("init");
        if (onInit) {
            onInit(*this);
        }
        return TRUE;
    }

    std::vector<std::string> log;
    std::function<void(RecordingDialog&)> onInit;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        log.push_back("hook " + std::to_string(LOWORD(wParam)));
        return CDialog::OnCommand(wParam, lParam);
    }

    std::span<const MessageEntry> MessageTable() const override;

private:
    LRESULT OnUser(WPARAM wParam, LPARAM lParam)
    {
        log.push_back("user");
        return static_cast<LRESULT>(wParam) + lParam;
    }

    LRESULT OnTableCommand(WPARAM, LPARAM)
    {
        log.push_back("table " + std::to_string(kTableCommand));
        return 0;
    }

    // Sends a message to itself first, then lets the default processing handle the outer one.
    LRESULT OnSetText(WPARAM, LPARAM)
    {
        SendMessageW(m_hWnd, WM_NESTED, 0, 0);
        return Default();
    }

    LRESULT OnNested(WPARAM, LPARAM)
    {
        log.push_back("nested");
        return Default();
    }

    static const MessageEntry kMessages[];
};

const MessageEntry RecordingDialog::kMessages[] = {
    OnMessage(WM_USER, &RecordingDialog::OnUser),
    OnMessage(WM_SETTEXT, &RecordingDialog::OnSetText),
    OnMessage(WM_NESTED, &RecordingDialog::OnNested),
    OnCommandId(kTableCommand, &RecordingDialog::OnTableCommand),
};

std::span<const MessageEntry> RecordingDialog::MessageTable() const
{
    return kMessages;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

TEST(Dialog, ModelessDialogRoutesThroughItsTable)
{
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ASSERT_NE(dialog.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.log, std::vector<std::string>{"init"});

    EXPECT_EQ(SendMessageW(dialog.m_hWnd, WM_USER, 40, 2), 42);
    // Not in the table: the dialog manager's own processing answers.
    EXPECT_EQ(WindowText(dialog.m_hWnd), L"Ormund");
    // A handler that sends to its own window and then asks for default processing gets the outer message's.
    SetWindowTextW(dialog.m_hWnd, L"Renamed");
    EXPECT_EQ(WindowText(dialog.m_hWnd), L"Renamed");
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "user", "nested"}));

    DestroyWindow(dialog.m_hWnd);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Dialog, CommandHookSeesEveryCommandFirst)
{
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    SendMessageW(dialog.m_hWnd, WM_COMMAND, kTableCommand, 0);
    SendMessageW(dialog.m_hWnd, WM_COMMAND, 777, 0);
    // A control's notification other than a click is no command for the table.
    SendMessageW(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(kTableCommand, EN_CHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog.m_hWnd, IDOK)));
    EXPECT_EQ(dialog.log,
              (std::vector<std::string>{"init", "hook 500", "table 500", "hook 777", "hook 500"}));
}

TEST(Dialog, ModalLoopEndsWithTheResultOfOkCancelOrClose)
{
    const std::pair<UINT, WPARAM> endings[] = {
        {WM_COMMAND, IDOK},
        {WM_COMMAND, IDCANCEL},
        {WM_CLOSE, 0},
    };
    const INT_PTR expected[] = {IDOK, IDCANCEL, IDCANCEL};
    for (std::size_t i = 0; i < std::size(endings); ++i) {
        RecordingDialog dialog;
        dialog.onInit = [&](RecordingDialog& self) {
            PostMessageW(self.m_hWnd, endings[i].first, endings[i].second, 0);
        };
        EXPECT_EQ(dialog.DoModal(), expected[i]) << i;
        EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    }
}

TEST(Dialog, MissingTemplateFailsToCreate)
{
    class Missing : public CDialog {
    public:
        Missing() : CDialog(4242) {}
    } missing;
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_FALSE(missing.Create());
}

}  // namespace
