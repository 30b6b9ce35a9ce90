// The menu model: the flags each append gives, who frees which item and submenu, and the defaults.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "menuxp/menu_xp.h"
#include "menuxp/menu_xp_side_bar.h"

// Every heap block of this test program is freed here, so that a test can tell how often a block it
// watches was freed.
namespace {
std::vector<const void*>* g_watched = nullptr;  // reserved ahead, so that noting never allocates
std::vector<int>* g_timesFreed = nullptr;
}  // namespace

void* operator new(std::size_t size)
{
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept
{
    for (std::size_t i = 0; g_watched != nullptr && i < g_watched->size(); ++i) {
        (*g_timesFreed)[i] += (*g_watched)[i] == block ? 1 : 0;
    }
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    operator delete(block);
}

namespace {

// Counts frees of the given blocks while it lives.
class FreeWatch {
public:
    explicit FreeWatch(std::vector<const void*> blocks)
        : m_blocks(std::move(blocks)), m_times(m_blocks.size())
    {
        g_watched = &m_blocks;
        g_timesFreed = &m_times;
    }
    ~FreeWatch() { g_watched = nullptr; }
    int TimesFreed(std::size_t i) const { return m_times[i]; }

private:
    std::vector<const void*> m_blocks;
    std::vector<int> m_times;
};

struct Entry {
    UINT type;
    UINT id;
    ULONG_PTR data;
};

std::vector<Entry> Entries(HMENU menu)
{
    std::vector<Entry> entries;
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_TYPE | MIIM_DATA | MIIM_ID;
        GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
        entries.push_back({info.fType, info.wID, info.dwItemData});
    }
    return entries;
}

bool IconAlive(HICON icon)
{
    ICONINFO info{};
    const bool alive = GetIconInfo(icon, &info);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return alive;
}

HICON NewIcon()
{
    return CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
}

void AppendSideBar(CMenuXP& menu)
{
    AppendMenuW(menu.m_hMenu, MF_OWNERDRAW | MF_SEPARATOR, 0, reinterpret_cast<LPCWSTR>(new CMenuXPSideBar));
}

TEST(MenuXPModel, AppendFlagsFollowTheBreakRequests)
{
    struct Case {
        const char* name;
        bool sideBarFirst;
        BOOL breakRequest, barBreakRequest;
        bool separatorFirst;
        std::vector<UINT> types;
    };
    const Case cases[] = {
        {"side bar, then two items", true, TRUE, FALSE, false, {0x0900, 0x0140, 0x0100}},
        {"bar break", false, FALSE, TRUE, false, {0x0120, 0x0100}},
        {"break and bar break", false, TRUE, TRUE, false, {0x0160, 0x0100}},
        {"a separator drops the request", false, TRUE, TRUE, true, {0x0900, 0x0100, 0x0100}},
    };
    for (const Case& c : cases) {
        CMenuXP menu;
        ASSERT_TRUE(menu.Attach(CreatePopupMenu()));
        menu.m_bBreak = c.breakRequest;
        menu.m_bBarBreak = c.barBreakRequest;
        if (c.sideBarFirst) {
            AppendSideBar(menu);  // direct: neither applies nor clears the request
        }
        if (c.separatorFirst) {
            EXPECT_TRUE(menu.AppendSeparator());
        }
        EXPECT_TRUE(menu.AppendItem(std::make_unique<CMenuXPText>(300, L"Enable")));
        EXPECT_FALSE(menu.m_bBreak || menu.m_bBarBreak) << c.name;
        EXPECT_TRUE(menu.AppendItem(std::make_unique<CMenuXPText>(301, L"Disable")));

        const std::vector<Entry> entries = Entries(menu.m_hMenu);
        ASSERT_EQ(entries.size(), c.types.size()) << c.name;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].type, c.types[i]) << c.name << ", entry " << i;
            const CMenuXPItem* item = CMenuXPItem::FromItemData(entries[i].data);
            ASSERT_NE(item, nullptr) << c.name << ", entry " << i;
            EXPECT_EQ(entries[i].id, item->m_nID);
        }
    }
}

TEST(MenuXPModel, DeletingTheMenuFreesItsItemsAndXpSubmenusOnce)
{
    CMenu* menu = new CMenuXP;
    auto* xp = static_cast<CMenuXP*>(menu);
    xp->Attach(CreatePopupMenu());
    const HICON icons[] = {NewIcon(), NewIcon(), NewIcon()};  // an item's, a submenu item's, nobody's
    AppendSideBar(*xp);
    xp->AppendItem(std::make_unique<CMenuXPText>(300, L"With icon", icons[0]));
    xp->AppendItem(std::make_unique<CMenuXPText>(301, L"Without icon"));
    xp->AppendSeparator();
    struct Foreign {  // item data of someone else's: another value where the signature would be
        void* header = nullptr;
        DWORD notSignature = 0x12345678;
    }* foreign = new Foreign;
    AppendMenuW(xp->m_hMenu, MF_OWNERDRAW, 310, reinterpret_cast<LPCWSTR>(foreign));
    std::vector<const void*> blocks;
    for (const Entry& entry : Entries(xp->m_hMenu)) {
        if (CMenuXPItem::FromItemData(entry.data) != nullptr) {
            blocks.push_back(reinterpret_cast<const void*>(entry.data));
        }
    }
    ASSERT_EQ(blocks.size(), 4u);  // side bar, two text items, separator

    auto* xpSubmenu = new CMenuXP;
    xpSubmenu->Attach(CreatePopupMenu());
    auto subItem = std::make_unique<CMenuXPText>(320, L"In submenu", icons[1]);
    blocks.insert(blocks.end(), {xpSubmenu, subItem.get()});
    xpSubmenu->AppendItem(std::move(subItem));
    const HMENU xpSubmenuHandle = xpSubmenu->m_hMenu;
    AppendMenuW(xp->m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(xpSubmenuHandle), L"xp");
    auto* plainSubmenu = new CMenu;
    plainSubmenu->Attach(CreatePopupMenu());
    AppendMenuW(xp->m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(plainSubmenu->m_hMenu), L"plain");
    const HMENU orphanSubmenu = CreatePopupMenu();
    auto* orphanItem = new CMenuXPText(330, L"In a submenu held by no object");
    AppendMenuW(orphanSubmenu, MF_OWNERDRAW, 330, reinterpret_cast<LPCWSTR>(orphanItem));
    AppendMenuW(xp->m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(orphanSubmenu), L"orphan");

    const std::size_t leftAloneFrom = blocks.size();
    blocks.insert(blocks.end(), {foreign, plainSubmenu, orphanItem});
    {
        const FreeWatch watch(blocks);
        delete menu;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            EXPECT_EQ(watch.TimesFreed(i), i < leftAloneFrom ? 1 : 0) << "block " << i;
        }
    }
    EXPECT_FALSE(IconAlive(icons[0]));
    EXPECT_FALSE(IconAlive(icons[1]));
    EXPECT_TRUE(IconAlive(icons[2]));
    EXPECT_FALSE(IsMenu(xpSubmenuHandle));

    delete foreign;
    plainSubmenu->Detach();  // its handle went with the parent's
    delete plainSubmenu;
    delete orphanItem;
    DestroyIcon(icons[2]);
}

TEST(MenuXPModel, WithoutAHandleNothingIsAppendedAndTheItemIsFreed)
{
    auto* menu = new CMenuXP;
    auto item = std::make_unique<CMenuXPText>(300, L"Enable", NewIcon());
    const HICON icon = item->m_hIcon;
    {
        const FreeWatch watch({item.get()});
        EXPECT_FALSE(menu->AppendItem(std::move(item)));
        EXPECT_EQ(watch.TimesFreed(0), 1);
    }
    EXPECT_FALSE(IconAlive(icon));
    EXPECT_FALSE(menu->AppendSeparator());
    delete menu;  // the font only
}

class FontProbe : public CMenuXP {
public:
    using CMenuXP::CreateMenuFont;
};

std::wstring FaceName(const CFont& font)
{
    LOGFONTW description{};
    font.GetLogFont(&description);
    return description.lfFaceName;
}

TEST(MenuXPModel, MenuFontFromTheMetricsOrTheDefaultGuiFont)
{
    const CMenuXP menu;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    EXPECT_EQ(FaceName(menu.m_fontMenu), metrics.lfMenuFont.lfFaceName);
    // Unreadable metrics: a font of the menu's own made like the default GUI font.
    LOGFONTW gui{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
    CFont fallback;
    FontProbe::CreateMenuFont(fallback, nullptr);
    EXPECT_NE(fallback.m_hObject, GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(FaceName(fallback), gui.lfFaceName);
}

}  // namespace
