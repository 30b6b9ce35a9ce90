// The About box (tray command and system menu), the minimised window's icon, and the resources the
// program carries.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "main_window_fixture.h"
#include "resources/resource.h"
#include "tray/about_dlg.h"

namespace {

int CountAboutBoxes(bool visibleOnly)
{
    int count = 0;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", L"About Tendral")) != nullptr) {
        count += !visibleOnly || IsWindowVisible(window) ? 1 : 0;
    }
    return count;
}

// Where the About box must be after centring, by the program's formula.
POINT CentredOrigin(HWND box)
{
    RECT boxRect{};
    RECT desktop{};
    GetWindowRect(box, &boxRect);
    GetWindowRect(GetDesktopWindow(), &desktop);
    const LONG width = boxRect.right - boxRect.left;
    const LONG height = boxRect.bottom - boxRect.top;
    return {(desktop.right - desktop.left) / 2 - width / 2, (desktop.bottom - desktop.top) / 2 - height / 2};
}

std::wstring StaticTexts(HWND dialog)
{
    std::wstring texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[128] = {};
        GetWindowTextW(child, text, 128);
        texts += std::wstring(text) + L"|";
    }
    return texts;
}

TEST_F(MainWindow, TheTrayCommandShowsTheSameCentredAboutBoxEveryTime)
{
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        ASSERT_NE(g_aboutDialog, nullptr);
        HWND about = g_aboutDialog->m_hWnd;
        EXPECT_FALSE(IsWindowVisible(about));
        EXPECT_EQ(GetParent(about), nullptr);
        for (const POINT before : {POINT{3, 5}, POINT{400, 300}, POINT{-50, 700}}) {
            SetWindowPos(about, nullptr, before.x, before.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_ABOUT, 0);
            EXPECT_EQ(g_aboutDialog->m_hWnd, about);
            EXPECT_TRUE(IsWindowVisible(about));
            RECT rect{};
            GetWindowRect(about, &rect);
            const POINT expected = CentredOrigin(about);
            EXPECT_EQ(rect.left, expected.x) << before.x;
            EXPECT_EQ(rect.top, expected.y) << before.y;
        }
        EXPECT_EQ(CountAboutBoxes(false), 1);
        // Its OK hides it; the next command shows the same box again.
        SendMessageW(about, WM_COMMAND, IDOK, 0);
        EXPECT_FALSE(IsWindowVisible(about));
        EXPECT_TRUE(IsWindow(about));
        SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_ABOUT, 0);
        EXPECT_TRUE(IsWindowVisible(about));

        EXPECT_NE(StaticTexts(about).find(L"Tendral, Version 1.0.1103.2801|"), std::wstring::npos);
        wchar_t caption[64] = {};
        GetWindowTextW(about, caption, 64);
        EXPECT_STREQ(caption, L"About Tendral");
        PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
    });
}

bool g_closedModalAboutBox = false;

void CALLBACK CloseModalAboutBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", L"About Tendral")) != nullptr) {
        if (window != g_aboutDialog->m_hWnd && IsWindowVisible(window)) {
            g_closedModalAboutBox = PostMessageW(window, WM_COMMAND, IDOK, 0) != FALSE;
        }
    }
}

TEST_F(MainWindow, TheSystemMenuRunsASeparateAboutBoxModally)
{
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        // The timer runs inside the About box's own modal loop: it closes the box.
        g_closedModalAboutBox = false;
        SetTimer(nullptr, 0, 50, CloseModalAboutBox);
        SendMessageW(dialog.m_hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        EXPECT_TRUE(g_closedModalAboutBox);
        EXPECT_EQ(CountAboutBoxes(false), 1);  // the modal one is gone, the hidden one stays
        EXPECT_FALSE(IsWindowVisible(g_aboutDialog->m_hWnd));
        PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
    });
}

TEST_F(MainWindow, DragIconAndMinimisedPaintUseTheProgramIcon)
{
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dialog.m_hWnd, WM_QUERYDRAGICON, 0, 0)),
                  dialog.m_hIcon);
        EXPECT_EQ(dialog.m_hIcon, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
        PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
    });
}

TEST(Resources, IconsCarry32BitImagesWithAlphaAt16AndTheirMainSize)
{
    const std::pair<int, int> icons[] = {{IDR_MAINFRAME, 64},
                                         {IDI_RED_CHECK, 32},
                                         {IDI_BLACK_CHECK, 32},
                                         {IDI_RED_QUESTION, 32},
                                         {IDI_RED_CROSS, 32}};
    for (const auto& [id, size] : icons) {
        for (const int wanted : {size, 16}) {
            HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                                       IMAGE_ICON, wanted, wanted, LR_DEFAULTCOLOR));
            ASSERT_NE(icon, nullptr) << id << " " << wanted;
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour{};
            GetObjectW(info.hbmColor, sizeof(colour), &colour);
            EXPECT_EQ(colour.bmWidth, wanted) << id;
            EXPECT_EQ(colour.bmBitsPixel, 32) << id << " " << wanted;
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}

}  // namespace
