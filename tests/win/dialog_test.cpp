// The dialog base: creation from a template, routing through one message table, default processing,
// and how modal and modeless dialogs end.
#include "platform/dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

constexpr UINT WM_NESTED = WM_USER + 1;
constexpr UINT kTableCommand = 500;

class RecordingDialog : public CDialog {
public:
    RecordingDialog() : CDialog(IDD_VELKARO_DIALOG) {}

    std::vector<std::string> log;
    UINT endWith = 0;  // a message posted at start-up, to end a modal run
    WPARAM endParameter = 0;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (endWith != 0) {
            PostMessageW(m_hWnd, endWith, endParameter, 0);
        }
        return TRUE;
    }
    std::span<const MessageEntry> MessageTable() const override;

private:
    LRESULT OnUser(WPARAM wParam, LPARAM lParam) { return static_cast<LRESULT>(wParam) + lParam; }
    // Sends a message to itself first, then lets the default processing handle the outer one.
    LRESULT OnSetText()
    {
        SendMessageW(m_hWnd, WM_NESTED, 0, 0);
        return Default();
    }
    LRESULT OnNested()
    {
        log.push_back("nested");
        return Default();
    }
    void OnTableCommand(UINT commandId) { log.push_back("command " + std::to_string(commandId)); }
    LRESULT OnWindowPosChanging(WINDOWPOS& position)
    {
        log.push_back("position " + std::to_string(position.x));
        return Default();
    }

    static const MessageEntry kMessages[];
};

const MessageEntry RecordingDialog::kMessages[] = {
    OnMessage<&RecordingDialog::OnUser>(WM_USER),
    OnMessage<&RecordingDialog::OnSetText>(WM_SETTEXT),
    OnMessage<&RecordingDialog::OnNested>(WM_NESTED),
    OnCommand<&RecordingDialog::OnTableCommand>(kTableCommand),
    OnWindowPos<&RecordingDialog::OnWindowPosChanging>(WM_WINDOWPOSCHANGING),
};

std::span<const MessageEntry> RecordingDialog::MessageTable() const
{
    return kMessages;
}

TEST(Dialog, RoutesMessagesAndGivenCommandsThroughItsTable)
{
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HWND window = dialog.m_hWnd;
    dialog.log.clear();
    EXPECT_EQ(SendMessageW(window, WM_USER, 40, 2), 42);
    // A handler that sends to its own window and then asks for default processing gets the outer message's.
    SetWindowTextW(window, L"Renamed");
    wchar_t text[16] = {};
    GetWindowTextW(window, text, 16);
    EXPECT_STREQ(text, L"Renamed");
    SetWindowPos(window, nullptr, 37, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    HWND button = GetDlgItem(window, IDOK);
    const struct {
        WPARAM wParam;
        LPARAM lParam;
    } commands[] = {
        {MAKEWPARAM(kTableCommand, 0), 0},                                          // a menu
        {MAKEWPARAM(kTableCommand, 1), 0},                                          // an accelerator
        {MAKEWPARAM(kTableCommand, BN_CLICKED), reinterpret_cast<LPARAM>(button)},  // a click
        {MAKEWPARAM(kTableCommand, 1), reinterpret_cast<LPARAM>(button)},  // no command: a control's 1
        {MAKEWPARAM(kTableCommand, EN_CHANGE), reinterpret_cast<LPARAM>(button)},  // no command
        {MAKEWPARAM(777, 0), 0},                                                   // no entry
    };
    for (const auto& command : commands) {
        SendMessageW(window, WM_COMMAND, command.wParam, command.lParam);
    }
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"nested", "position 37", "command 500", "command 500",
                                                    "command 500"}));
    EXPECT_TRUE(IsWindow(window));
    DestroyWindow(window);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Dialog, ModalLoopEndsWithTheResultOfOkCancelOrCloseAndAMissingTemplateFails)
{
    const struct {
        UINT message;
        WPARAM wParam;
        INT_PTR result;
    } endings[] = {{WM_COMMAND, IDOK, IDOK}, {WM_COMMAND, IDCANCEL, IDCANCEL}, {WM_CLOSE, 0, IDCANCEL}};
    for (const auto& ending : endings) {
        RecordingDialog dialog;
        dialog.endWith = ending.message;
        dialog.endParameter = ending.wParam;
        EXPECT_EQ(dialog.DoModal(), ending.result) << ending.message << " " << ending.wParam;
        EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    }
    class Missing : public CDialog {
    public:
        Missing() : CDialog(4242) {}
    } missing;
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_FALSE(missing.Create());
}

}  // namespace
