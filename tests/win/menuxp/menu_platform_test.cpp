// The platform's menu and drawing classes: run-time class tests, the menu handle's one owner, the
// routing of a tracked menu's measure and draw requests through a dialog's default processing, and
// the GDI wrappers.
#include <gtest/gtest.h>

#include <vector>

#include "menuxp/menu_xp.h"
#include "platform/brush.h"
#include "platform/dialog.h"
#include "platform/gdi_tally.h"
#include "platform/scoped_select.h"
#include "platform/window_dc.h"
#include "resources/resource.h"

namespace {

TEST(PlatformMenu, RunTimeClassTellsAMenuXpFromAPlainMenu)
{
    CMenuXP xp;
    CMenu plain;
    const CMenu& xpAsMenu = xp;
    EXPECT_TRUE(xpAsMenu.IsKindOf(RUNTIME_CLASS(CMenuXP)));
    EXPECT_TRUE(xpAsMenu.IsKindOf(RUNTIME_CLASS(CMenu)));
    EXPECT_TRUE(xpAsMenu.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(plain.IsKindOf(RUNTIME_CLASS(CMenuXP)));
    EXPECT_TRUE(plain.IsKindOf(RUNTIME_CLASS(CMenu)));
    EXPECT_STREQ(xpAsMenu.GetRuntimeClass()->m_lpszClassName, "CMenuXP");
    EXPECT_EQ(xpAsMenu.GetRuntimeClass()->m_pBaseClass, RUNTIME_CLASS(CMenu));
}

TEST(PlatformMenu, OneObjectHoldsAHandleAndDestroysIt)
{
    const HMENU handle = CreatePopupMenu();
    {
        CMenu first;
        CMenu second;
        EXPECT_FALSE(first.Attach(nullptr));
        ASSERT_TRUE(first.Attach(handle));
        const HMENU another = CreatePopupMenu();
        EXPECT_FALSE(first.Attach(another));
        DestroyMenu(another);
        EXPECT_FALSE(second.Attach(handle));
        EXPECT_EQ(CMenu::FromHandle(handle), &first);
        EXPECT_EQ(first.Detach(), handle);
        EXPECT_EQ(CMenu::FromHandle(handle), nullptr);
        ASSERT_TRUE(second.Attach(handle));
        EXPECT_EQ(CMenu::FromHandle(handle), &second);
    }
    EXPECT_FALSE(IsMenu(handle));
    EXPECT_EQ(CMenu::FromHandle(handle), nullptr);
}

// A menu that records the requests that reach it and closes itself once it has drawn.
class RecordingMenu : public CMenuXP {
public:
    void MeasureItem(LPMEASUREITEMSTRUCT measureItem) override
    {
        measured.push_back(measureItem->itemID);
        CMenuXP::MeasureItem(measureItem);
        sizes.push_back({measureItem->itemWidth, measureItem->itemHeight});
    }
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override
    {
        drawn.push_back(drawItem->itemID);
        CMenuXP::DrawItem(drawItem);
        EndMenu();
    }
    std::vector<UINT> measured;
    std::vector<std::pair<UINT, UINT>> sizes;
    std::vector<UINT> drawn;
};

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD)
{
    EndMenu();
}

class OwnerDialog : public CDialog {
public:
    OwnerDialog() : CDialog(IDD_VELKARO_DIALOG) {}
};

TEST(PlatformMenu, TrackedMenuMeasuresAndDrawsThroughTheOwnersDefaultProcessing)
{
    OwnerDialog owner;
    ASSERT_TRUE(owner.Create());
    RecordingMenu menu;
    ASSERT_TRUE(menu.Attach(CreatePopupMenu()));
    menu.AppendItem(std::make_unique<CMenuXPText>(300, L"Enable"));
    menu.AppendSeparator();
    menu.AppendItem(std::make_unique<CMenuXPText>(303, L"Exit"));
    // Should the menu never draw, it is closed anyway.
    const UINT_PTR guard = SetTimer(nullptr, 0, 3000, CloseMenu);
    menu.TrackPopupMenu(0, 100, 100, owner.m_hWnd);
    KillTimer(nullptr, guard);

    EXPECT_EQ(menu.measured, (std::vector<UINT>{300, 0, 303}));
    ASSERT_EQ(menu.sizes.size(), 3u);
    EXPECT_EQ(menu.sizes[0].second, 20u);
    ASSERT_FALSE(menu.drawn.empty());
    EXPECT_EQ(menu.drawn.front(), 300u);

    // Outside tracking a measure request is nobody's; a draw request for a menu without an object
    // neither. Both go on to the dialog manager.
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, 300, 0, 0, 0};
    EXPECT_FALSE(CMenu::DispatchOwnerDraw(WM_MEASUREITEM, reinterpret_cast<LPARAM>(&measure)));
    const HMENU unheld = CreatePopupMenu();
    DRAWITEMSTRUCT draw{ODT_MENU, 0, 300, ODA_DRAWENTIRE, 0, reinterpret_cast<HWND>(unheld), nullptr, {}, 0};
    EXPECT_FALSE(CMenu::DispatchOwnerDraw(WM_DRAWITEM, reinterpret_cast<LPARAM>(&draw)));
    DestroyMenu(unheld);
    DestroyWindow(owner.m_hWnd);
}

TEST(PlatformGdi, WrappersDeleteOnceAndSelectionsAreRestored)
{
    CWindowDC screen(nullptr);
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(&screen));
    const HGDIOBJ original = GetCurrentObject(memory.m_hDC, OBJ_BRUSH);
    const std::uint64_t created = GdiTally::CreatedCount();
    const std::uint64_t deleted = GdiTally::DeletedCount();
    HGDIOBJ handle = nullptr;
    {
        CBrush brush(RGB(1, 2, 3));
        handle = brush.m_hObject;
        ScopedSelect selected(memory.m_hDC, brush.m_hObject);
        EXPECT_EQ(GetCurrentObject(memory.m_hDC, OBJ_BRUSH), handle);
        CBrush moved = std::move(brush);
        EXPECT_EQ(brush.m_hObject, nullptr);
        EXPECT_EQ(moved.m_hObject, handle);
    }
    EXPECT_EQ(GetCurrentObject(memory.m_hDC, OBJ_BRUSH), original);
    EXPECT_EQ(GetObjectType(handle), 0u);
    EXPECT_EQ(GdiTally::CreatedCount() - created, 1u);
    EXPECT_EQ(GdiTally::DeletedCount() - deleted, 1u);

    // A wrapped device context is not deleted once it is let go.
    CDC wrapper;
    ASSERT_TRUE(wrapper.Attach(memory.m_hDC));
    EXPECT_EQ(wrapper.Detach(), memory.m_hDC);
    EXPECT_EQ(GetObjectType(memory.m_hDC), static_cast<DWORD>(OBJ_MEMDC));
}

}  // namespace
