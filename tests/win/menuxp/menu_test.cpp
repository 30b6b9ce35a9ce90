// The menu engine where the pictures of the gallery check cannot show it: checked entries, the icon
// band, what screen readers and the keyboard get, the high-contrast colours, requests that are not its
// own, measuring, who frees which item and submenu, and the GDI objects of many rounds.
#include <gtest/gtest.h>

#include <algorithm>

#include "menu_gallery/dib_canvas.h"
#include "menu_gallery/menu_renderer.h"
#include "menu_gallery/tray_menu_sample.h"
#include "menuxp/menu_xp.h"
#include "menuxp/menu_xp_side_bar.h"
#include "platform/gdi_tally.h"

namespace {

constexpr COLORREF kUntouched = RGB(1, 2, 3), kBackground = RGB(240, 230, 220), kBand = RGB(200, 220, 200);
constexpr COLORREF kSelection = RGB(120, 160, 220), kText = RGB(10, 20, 30), kBlack = RGB(0, 0, 0);
const COLORREF kShadow = GetSysColor(COLOR_BTNSHADOW), kLight = GetSysColor(COLOR_BTNHIGHLIGHT);
constexpr RECT kEntry{10, 10, 150, 30};     // its icon square is (10, 10)-(30, 30)
constexpr RECT kEntry144{10, 10, 150, 40};  // the same entry at 144 DPI: 30 high

int CountPixels(const DibCanvas& canvas, RECT area, COLORREF colour)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            count += canvas.Pixel(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

HICON NewIcon()
{
    return CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
}

// ocSupported and ocWanted.
constexpr std::pair<bool, bool> kStates[] = {{true, true}, {true, false}, {false, true}, {false, false}};

// The pixels of a high-contrast picture that are neither a colour of the pair of where they lie nor
// between its two, as on the antialiased edges of text, which are blended channel by channel.
int Strays(const DibCanvas& canvas, const MenuLayout& layout, int selected, const MenuColors& theme)
{
    int strays = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            // The text entry the pixel lies in; the frame, the side bar and separators are in none.
            const auto in = [&](const MenuEntryLayout& e) {
                return (e.type & MFT_SEPARATOR) == 0 && PtInRect(&e.rect, {x - kMenuFrame, y - kMenuFrame});
            };
            const auto entry = std::find_if(layout.entries.begin(), layout.entries.end(), in);
            const bool grayed = entry != layout.entries.end() && (entry->state & MFS_GRAYED) != 0;
            const bool chosen = !grayed && entry - layout.entries.begin() == selected;
            const COLORREF text = grayed ? theme.grayText : chosen ? theme.highlightText : theme.menuText;
            const COLORREF background = chosen ? theme.highlight : theme.menu, colour = canvas.Pixel(x, y);
            for (const int shift : {0, 8, 16}) {
                const auto [low, high] =
                    std::minmax({int(text >> shift & 0xFF), int(background >> shift & 0xFF)});
                const int channel = int(colour >> shift & 0xFF);
                strays += channel < low - 2 || channel > high + 2 ? 1 : 0;
            }
        }
    }
    return strays;
}

TEST(MenuXPDraw, CheckedEntriesAndTheIconBand)
{
    struct Pixel {
        int x, y;
        COLORREF colour;
    };
    const struct {
        const char* name;
        int style;
        UINT state;
        bool icon;
        std::vector<Pixel> pixels;
        UINT dpi = 96;
    } looks[] = {
        // clang-format off
        {"flat: a band as wide as the entry is high", CMenuXP::kStyleFlat, 0, false,
         {{11, 11, kBand}, {29, 20, kBand}, {30, 20, kBackground}, {140, 12, kBackground}}},
        {"flat checked, no icon: a black check mark from (16, 16) in a framed square", CMenuXP::kStyleFlat,
         ODS_CHECKED, false, {{10, 20, kBlack}, {29, 20, kBlack}, {80, 10, kBackground}, {16, 19, kBlack},
         {16, 21, kBlack}, {18, 21, kBlack}, {22, 17, kBlack}, {15, 19, kSelection}, {23, 16, kSelection}}},
        {"3D checked: a sunken highlighted square", CMenuXP::kStyle3D, ODS_CHECKED, true,
         {{10, 10, kShadow}, {29, 29, kLight}, {11, 11, kLight}, {140, 12, kBackground}}},
        // At 144 DPI the square is 30, shrunk by 3 for the mark, which is 12 wide from (19, 19): five
        // strokes from (19, 24) down to (22, 27) and up to (30, 19), exclusive; the frame 2 wide.
        {"flat checked at 144 DPI: the band, the frame and the mark scaled", CMenuXP::kStyleFlat, ODS_CHECKED,
         false, {{10, 25, kBlack}, {11, 25, kBlack}, {12, 25, kSelection}, {39, 25, kBlack}, {40, 25, kBackground},
         {19, 24, kBlack}, {19, 28, kBlack}, {22, 27, kBlack}, {22, 31, kBlack}, {29, 20, kBlack},
         {19, 23, kSelection}, {22, 32, kSelection}, {30, 19, kSelection}}, 144},
        // clang-format on
    };
    DibCanvas canvas(160, 50);
    for (const auto& look : looks) {
        CMenuXP menu(look.dpi);
        const RECT entry = look.dpi == 96 ? kEntry : kEntry144;
        menu.m_nStyle = look.style;
        menu.m_clrBackground = kBackground;
        menu.m_clrSelection = kSelection;
        menu.m_clrText = kText;
        menu.m_clrIconBand = kBand;
        CMenuXPText item(300, L"Enable", look.icon ? NewIcon() : nullptr);
        canvas.Fill(kUntouched);
        const auto data = item.ItemData();
        DRAWITEMSTRUCT draw{ODT_MENU, 0, 300, ODA_DRAWENTIRE, look.state, nullptr, canvas.Dc(), entry, data};
        menu.DrawItem(&draw);
        for (const Pixel& p : look.pixels) {
            EXPECT_EQ(canvas.Pixel(p.x, p.y), p.colour) << look.name << " at " << p.x << "," << p.y;
        }
        EXPECT_GT(CountPixels(canvas, {entry.bottom + 2, 10, 134, entry.bottom}, kText), 0) << look.name;
        EXPECT_EQ(CountPixels(canvas, {0, 0, 160, 10}, kUntouched) +
                      CountPixels(canvas, {0, entry.bottom, 160, 50}, kUntouched),
                  160 * (50 - entry.bottom + 10))
            << look.name << ": nothing outside the entry";
    }
}

// The side bar is painted from the menu's whole height and cut by the clip: a repaint of the lower half
// paints what a full paint does there. (Where its title stands at each scale, the gallery shows.)
TEST(MenuXPSideBar, PaintedFromTheMenusHeightAtEveryScale)
{
    for (const UINT dpi : {96u, 144u}) {
        const auto menu = BuildTrayMenu({true, true, CMenuXP::kStyleFlat, dpi});
        const MenuLayout layout = LayOutMenu(*menu, dpi);
        const RECT bar = layout.entries[0].rect;
        const RECT lowerHalf{0, layout.client.cy / 2, layout.client.cx, layout.client.cy};
        DibCanvas full(layout.size.cx, layout.size.cy), part(layout.size.cx, layout.size.cy);
        PaintMenu(*menu, layout, full.Dc(), -1);
        PaintMenu(*menu, layout, part.Dc(), -1, &lowerHalf);
        int differing = 0, title = 0;
        for (int y = kMenuFrame + lowerHalf.top; y < kMenuFrame + lowerHalf.bottom; ++y) {
            for (int x = kMenuFrame + bar.left; x < kMenuFrame + bar.right; ++x) {
                differing += full.Pixel(x, y) != part.Pixel(x, y) ? 1 : 0;
                title += full.Pixel(x, y) == RGB(255, 255, 255) ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 0) << dpi;
        EXPECT_GT(title, 0) << dpi << ": the title is in the lower half";
    }
    // The menu window's own context: its background mode is as the bar found it.
    DibCanvas canvas(40, 100);
    SetBkMode(canvas.Dc(), OPAQUE);
    CMenuXPSideBar bar;
    const auto data = bar.ItemData();
    DRAWITEMSTRUCT draw{ODT_MENU, 0, 0, ODA_DRAWENTIRE, 0, nullptr, canvas.Dc(), {0, 0, 16, 1}, data};
    CMenuXP().DrawItem(&draw);
    EXPECT_EQ(GetBkMode(canvas.Dc()), OPAQUE);
}

// What a screen reader reads of each entry: the name in the record its item data begins with, and the
// entry's state. (That the checked state adds nothing to the picture, the gallery shows.)
TEST(TrayMenu, EveryEntryTellsItsNameAndStateToScreenReaders)
{
    for (const auto& [supported, wanted] : kStates) {
        const auto menu = BuildTrayMenu({supported, wanted, CMenuXP::kStyleFlat});
        for (int position = 0; position < GetMenuItemCount(menu->m_hMenu); ++position) {
            SCOPED_TRACE(testing::Message() << supported << wanted << " at " << position);
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_DATA | MIIM_ID;
            GetMenuItemInfoW(menu->m_hMenu, position, TRUE, &info);
            // An entry is named by its text, the side bar by its title, a separator not at all.
            const auto entry = std::ranges::find(kTrayMenuEntries, info.wID, &TrayMenuEntry::id);
            const bool listed = entry != std::end(kTrayMenuEntries);
            const std::wstring name = listed ? entry->text : position == 0 ? CMenuXPSideBar::kTitle : L"";
            const auto& accessible = *reinterpret_cast<const MSAAMENUINFO*>(info.dwItemData);
            EXPECT_EQ(accessible.dwMSAASignature, static_cast<DWORD>(MSAA_MENU_SIG));
            EXPECT_EQ(std::wstring(accessible.pszWText, accessible.cchWText + 1), name + L'\0');
            const bool mode = info.wID == ID_TRAY_ENABLE || info.wID == ID_TRAY_DISABLE;
            EXPECT_EQ((info.fState & MFS_CHECKED) != 0 && (info.fType & MFT_RADIOCHECK) != 0,
                      info.wID == (wanted ? ID_TRAY_ENABLE : ID_TRAY_DISABLE));
            // Separators, the side bar among them, come grayed from the system.
            EXPECT_EQ((info.fState & MFS_GRAYED) != 0,
                      (mode && !supported) || (info.fType & MFT_SEPARATOR) != 0);
        }
    }
}

// Under a high-contrast theme every pixel belongs to the pair of where it lies: an entry's text and
// background, the selection's, the grayed text's. In a theme whose pairs differ in blue alone, any colour
// of the look's own stands out.
TEST(TrayMenu, HighContrastPaintsOnlyTheThemesPairs)
{
    constexpr MenuColors kBlueAlone{
        true, RGB(40, 200, 0), RGB(40, 200, 255), RGB(200, 40, 0), RGB(200, 40, 255), RGB(40, 200, 128)};
    for (const MenuColors* theme : {&kHighContrastBlack, &kHighContrastWhite, &kBlueAlone}) {
        for (const auto& [supported, wanted] : kStates) {
            const auto menu = BuildTrayMenu({supported, wanted, CMenuXP::kStyleFlat, 96, theme});
            const MenuLayout layout = LayOutMenu(*menu);
            DibCanvas canvas(layout.size.cx, layout.size.cy);
            for (int selected = -1; selected < int(layout.entries.size()); ++selected) {
                PaintMenu(*menu, layout, canvas.Dc(), selected, nullptr, theme);
                EXPECT_EQ(Strays(canvas, layout, selected, *theme), 0)
                    << theme->menu << " " << supported << wanted << " selected " << selected;
            }
        }
    }
}

// A letter typed in the open menu, by state and selected entry: the answer to WM_MENUCHAR. Grayed
// entries are never chosen, and the side bar's title is no entry's.
TEST(TrayMenu, ALetterChoosesTheOneEntryItBeginsOrSelectsEachInTurn)
{
    const auto choose = [](WORD position) { return MAKELRESULT(position, MNC_EXECUTE); };
    const auto select = [](WORD position) { return MAKELRESULT(position, MNC_SELECT); };
    const int on = TrayMenuPosition(ID_TRAY_ENABLE), off = TrayMenuPosition(ID_TRAY_DISABLE);
    const int about = TrayMenuPosition(ID_TRAY_ABOUT), exit = TrayMenuPosition(ID_TRAY_EXIT);
    // ocSupported, the selected position, the letter, the answer.
    const std::tuple<bool, int, wchar_t, LRESULT> rows[] = {
        {true, -1, L'D', choose(off)},  {true, -1, L'a', choose(about)}, {true, -1, L'x', MNC_IGNORE},
        {true, -1, L'K', MNC_IGNORE},   {true, -1, L'E', select(on)},    {true, on, L'e', select(exit)},
        {true, exit, L'E', select(on)}, {false, -1, L'E', choose(exit)}, {false, -1, L'D', MNC_IGNORE},
    };
    for (const auto& [supported, selected, letter, expected] : rows) {
        const auto menu = BuildTrayMenu({supported, true, CMenuXP::kStyleFlat});
        MENUITEMINFOW hilite{};
        hilite.cbSize = sizeof hilite;
        hilite.fMask = MIIM_STATE;
        hilite.fState = MFS_HILITE;
        SetMenuItemInfoW(menu->m_hMenu, selected, TRUE, &hilite);
        const auto answer = CMenu::DispatchMenuChar(MAKEWPARAM(letter, MF_POPUP), LPARAM(menu->m_hMenu));
        EXPECT_EQ(answer.value_or(-1), expected) << supported << " " << selected << " " << char(letter);
    }
}

TEST(MenuXP, RequestsThatAreNotOursAreLeftAlone)
{
    CMenuXP menu;
    CMenuXPText item(300, L"Enable");
    // A screen reader's record too, but not the engine's, though it points to an item.
    const CMenuXPItemData foreign{{MSAA_MENU_SIG, 0, nullptr}, CMenuXPItem::kSignature + 1, &item};
    DibCanvas canvas(160, 40);
    canvas.Fill(kUntouched);
    for (const auto& [data, type] : {std::pair{item.ItemData(), UINT{ODT_BUTTON}},
                                     {ULONG_PTR{0}, UINT{ODT_MENU}},
                                     {reinterpret_cast<ULONG_PTR>(&foreign), UINT{ODT_MENU}}}) {
        MEASUREITEMSTRUCT measure{type, 0, 300, 7, 7, data};
        menu.MeasureItem(&measure);
        EXPECT_EQ(measure.itemWidth * 100 + measure.itemHeight, 707u) << type << " " << data;
        DRAWITEMSTRUCT draw{type, 0, 300, ODA_DRAWENTIRE, ODS_SELECTED, nullptr, canvas.Dc(), kEntry, data};
        menu.DrawItem(&draw);
    }
    EXPECT_EQ(CountPixels(canvas, {0, 0, 160, 40}, kUntouched), 160 * 40);
}

// The tray menu's entries are as high as their icons plus 4 with the system's font, at each scale (the
// gallery and the pictures at 144 DPI show them); with a large font, as high as its text.
TEST(MenuXP, AnEntryIsAsHighAsItsTextWhenTheFontIsTallerThanItsIcon)
{
    CMenuXP menu;
    LOGFONTW description{};
    menu.m_fontMenu.GetLogFont(&description);
    description.lfHeight = -40;
    menu.m_fontMenu.CreateFontIndirect(&description);
    CMenuXPText item(300, L"Exit");
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, 300, 0, 0, item.ItemData()};
    menu.MeasureItem(&measure);
    EXPECT_TRUE(measure.itemHeight >= 38 && measure.itemHeight <= 60) << measure.itemHeight;
}

// Objects that count their own destruction.
template <class Base>
struct Counted : Base {
    template <class... Arguments>
    explicit Counted(int& destroyed, Arguments... arguments) : Base(arguments...), destroyed(destroyed)
    {
    }
    ~Counted() override { ++destroyed; }
    int& destroyed;
};

TEST(MenuXP, DeletingAMenuFreesItsItemsAndItsMenuXpSubmenusOnly)
{
    // The item, the CMenuXP submenu and its item; a plain CMenu submenu, an item in a submenu that no
    // object holds, and an item that has no signature: these three are not the menu's.
    int destroyed[5] = {};
    const HICON icon = NewIcon();
    CMenu* menu = new CMenuXP;
    menu->Attach(CreatePopupMenu());
    auto& xp = *static_cast<CMenuXP*>(menu);
    xp.AppendItem(std::make_unique<Counted<CMenuXPText>>(destroyed[0], 300, L"Enable", icon));
    // An icon lent by a cache that every menu shows stays.
    const HICON lent = NewIcon();
    auto lender = std::make_unique<CMenuXPText>(301, L"Disable", lent);
    lender->m_bIconShared = true;
    xp.AppendItem(std::move(lender));
    xp.AppendSeparator();
    auto* submenu = new Counted<CMenuXP>(destroyed[1]);
    submenu->Attach(CreatePopupMenu());
    submenu->AppendItem(std::make_unique<Counted<CMenuXPText>>(destroyed[2], 320, L"In the submenu"));
    const HMENU submenuHandle = submenu->m_hMenu;
    AppendMenuW(menu->m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenuHandle), L"xp");
    auto* plain = new Counted<CMenu>(destroyed[3]);
    plain->Attach(CreatePopupMenu());
    AppendMenuW(menu->m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(plain->m_hMenu), L"plain");
    const HMENU unheld = CreatePopupMenu();
    auto* unheldItem = new Counted<CMenuXPText>(destroyed[4], 330, L"In a submenu held by no object");
    AppendMenuW(unheld, MF_OWNERDRAW, 330, reinterpret_cast<LPCWSTR>(unheldItem->ItemData()));
    AppendMenuW(menu->m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(unheld), L"unheld");
    const struct {
        void* header = nullptr;
        DWORD notSignature = 0;
    } foreign;
    AppendMenuW(menu->m_hMenu, MF_OWNERDRAW, 310, reinterpret_cast<LPCWSTR>(&foreign));

    delete menu;
    EXPECT_EQ(std::vector<int>(destroyed, destroyed + 5), (std::vector<int>{1, 1, 1, 0, 0}));
    EXPECT_FALSE(IsMenu(submenuHandle));
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(icon, &info)) << "the item's icon goes with it";
    ASSERT_TRUE(GetIconInfo(lent, &info)) << "a lent icon stays";
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(lent);
    plain->Detach();  // its handle went with the menu's
    delete plain;
    delete unheldItem;

    // Without a handle nothing is appended, and the item is freed at once.
    CMenuXP noHandle;
    EXPECT_FALSE(noHandle.AppendItem(std::make_unique<Counted<CMenuXPText>>(destroyed[0], 300, L"Enable")));
    EXPECT_EQ(destroyed[0], 2);
}

TEST(MenuXPLeaks, AThousandRoundsOfTheTrayMenuDeleteWhatTheyMake)
{
    const TrayMenuState samples[] = {{true, true, CMenuXP::kStyleFlat},
                                     {true, false, CMenuXP::kStyleFlat},
                                     {false, true, CMenuXP::kStyle3D},
                                     {false, false, CMenuXP::kStyle3D}};
    DibCanvas canvas(200, 200);
    const std::uint64_t created = GdiTally::CreatedCount();
    const std::uint64_t deleted = GdiTally::DeletedCount();
    constexpr int kRounds = 1000;
    for (int round = 0; round < kRounds; ++round) {
        // Each state, with each entry selected in turn, and none; painted twice, as a repaint does, with
        // what the menu keeps from its first paint.
        const std::unique_ptr<CMenuXP> menu = BuildTrayMenu(samples[round % std::size(samples)]);
        for (int paint = 0; paint < 2; ++paint) {
            PaintMenu(*menu, LayOutMenu(*menu), canvas.Dc(),
                      round % (GetMenuItemCount(menu->m_hMenu) + 1) - 1);
        }
    }
    const std::uint64_t made = GdiTally::CreatedCount() - created;
    // At least the menu's font in every round, all of it deleted with its menu.
    EXPECT_GT(made, 1u * kRounds);
    EXPECT_EQ(GdiTally::DeletedCount() - deleted, made);
}

}  // namespace
