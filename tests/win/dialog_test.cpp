// The dialog base: routing through one message table, and default processing. Its IDOK and IDCANCEL
// entries are seen at work in the About box.
#include "platform/dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

constexpr UINT WM_NESTED = WM_USER + 1;
constexpr UINT kTableCommand = 500;
const UINT kRegistrationFailed = 0;  // what RegisterWindowMessageW gives when it fails

class RecordingDialog : public CDialog {
public:
    RecordingDialog() : CDialog(IDD_VELKARO_DIALOG) {}

    std::vector<std::string> log;

protected:
    std::span<const MessageEntry> MessageTable() const override;

private:
    // Sends a message to itself first, then lets the default processing handle the outer one.
    LRESULT OnSetText()
    {
        SendMessageW(m_hWnd, WM_NESTED, 0, 0);
        return Default();
    }
    LRESULT OnNested() { return log.push_back("nested"), Default(); }
    void OnTableCommand(UINT commandId) { log.push_back("command " + std::to_string(commandId)); }

    static const MessageEntry kMessages[];
};

const MessageEntry RecordingDialog::kMessages[] = {
    OnMessage<&RecordingDialog::OnSetText>(WM_SETTEXT),
    OnMessage<&RecordingDialog::OnNested>(WM_NESTED),
    OnCommand<&RecordingDialog::OnTableCommand>(kTableCommand),
    OnRegisteredMessage<&RecordingDialog::OnNested>(kRegistrationFailed),
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
    SendMessageW(window, WM_NULL, 0, 0);  // no entry catches it, not even a failed registration
    SetWindowTextW(window, L"Renamed");   // the default processing gets the outer message's values
    wchar_t text[16] = {};
    GetWindowTextW(window, text, 16);
    EXPECT_STREQ(text, L"Renamed");
    const auto button = reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK));
    // A menu, an accelerator and a click are commands; a control's other notifications and an ID
    // without an entry are not the table's.
    for (const auto& [wParam, lParam] : {std::pair{MAKEWPARAM(kTableCommand, 0), LPARAM{0}},
                                         {MAKEWPARAM(kTableCommand, 1), 0},
                                         {MAKEWPARAM(kTableCommand, BN_CLICKED), button},
                                         {MAKEWPARAM(kTableCommand, 1), button},
                                         {MAKEWPARAM(kTableCommand, EN_CHANGE), button},
                                         {MAKEWPARAM(777, 0), 0}}) {
        SendMessageW(window, WM_COMMAND, wParam, lParam);
    }
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"nested", "command 500", "command 500", "command 500"}));
    DestroyWindow(window);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);

    EXPECT_EQ(CDialog(4242).DoModal(), -1) << "a missing template";
}

}  // namespace
