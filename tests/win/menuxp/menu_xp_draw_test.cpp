// Drawing: every kind of entry in every state, in style 2 and style 0, painted into a DIB section with
// real GDI. The pixels that define each look are asserted; text only by colour within its area, since
// fonts differ between systems.
#include <gtest/gtest.h>

#include <vector>

#include "square_icon.h"
#include "menu_test_support.h"
#include "menuxp/menu_xp_separator.h"

namespace {

using namespace menutest;

// The entry is 140 x 20 at (10, 10): its icon square is (10, 10)-(30, 30), the icon is drawn in
// (12, 12)-(28, 28), and the test icon's opaque square covers (16, 16)-(24, 24) of that.
constexpr RECT kEntry{10, 10, 150, 30};
constexpr RECT kTextArea{32, 10, 134, 30};
const COLORREF kShadow = GetSysColor(COLOR_BTNSHADOW);
const COLORREF kLight = GetSysColor(COLOR_BTNHIGHLIGHT);

struct Pixel {
    int x, y;
    COLORREF colour;
};

void Paint(DibCanvas& canvas, int style, UINT state, bool icon, const wchar_t* text = L"Enable")
{
    CMenuXP menu;
    UseTestColours(menu);
    menu.m_nStyle = style;
    CMenuXPText item(300, text, icon ? MakeSquareIcon(kIconGreen, 8) : nullptr);
    canvas.Fill(kUntouched);
    DrawEntry(menu, canvas, item, kEntry, state);
}

TEST(MenuXPDraw, TextEntryLooks)
{
    const UINT sel = ODS_SELECTED, gray = ODS_GRAYED | ODS_DISABLED, chk = ODS_CHECKED;
    struct Look {
        const char* name;
        int style;
        UINT state;
        bool icon;
        // (140, 12) is fill, (10, 20) and (80, 10) lie on a frame around the entry, (11, 11) in the icon
        // band, (15, 15) in a raised icon only, (24, 24) in a copy one pixel down and right only.
        std::vector<Pixel> pixels;
        std::vector<COLORREF> textShown, textNotShown;
    };
    // clang-format off
    const Look looks[] = {
        {"flat normal", 2, 0, true, {{140, 12, kBackground}, {10, 20, kIconBand}, {11, 11, kIconBand},
            {20, 20, kIconGreen}, {15, 15, kIconBand}, {24, 24, kIconBand}}, {kText}, {kSelectedText, kDisabledText}},
        {"flat selected: framed, icon raised over its shadow", 2, sel, true, {{140, 12, kSelection}, {10, 20, kBlack},
            {80, 10, kBlack}, {149, 20, kBlack}, {80, 29, kBlack}, {11, 11, kSelection}, {20, 20, kIconGreen},
            {15, 15, kIconGreen}, {23, 23, kShadow}, {24, 24, kShadow}}, {kSelectedText}, {kText, kDisabledText}},
        {"flat disabled: silhouette, text on a light copy", 2, gray, true, {{140, 12, kBackground},
            {11, 11, kIconBand}, {20, 20, kShadow}, {16, 16, kShadow}, {24, 24, kLight}},
            {kDisabledText, kSelectedText}, {kText}},
        {"flat checked: only the icon square framed", 2, chk, true, {{140, 12, kBackground}, {10, 20, kBlack},
            {29, 20, kBlack}, {80, 10, kBackground}, {11, 11, kSelection}, {20, 20, kIconGreen},
            {15, 15, kSelection}, {24, 24, kSelection}}, {kText}, {kSelectedText}},
        {"flat checked and selected: icon not raised", 2, chk | sel, true, {{140, 12, kSelection}, {80, 10, kBlack},
            {11, 11, kSelection}, {20, 20, kIconGreen}, {15, 15, kSelection}, {24, 24, kSelection}},
            {kSelectedText}, {kText}},
        {"flat checked without icon: the check mark from (16, 16)", 2, chk, false, {{10, 20, kBlack},
            {16, 19, kBlack}, {16, 21, kBlack}, {18, 21, kBlack}, {22, 17, kBlack}, {15, 19, kSelection},
            {23, 16, kSelection}}, {kText}, {}},
        {"flat without icon", 2, 0, false, {{11, 11, kIconBand}, {20, 20, kIconBand}}, {kText}, {}},
        {"3D normal: no band", 0, 0, true, {{140, 12, kBackground}, {11, 11, kBackground}, {20, 20, kIconGreen},
            {15, 15, kBackground}}, {kText}, {}},
        {"3D selected: raised square, icon in place", 0, sel, true, {{140, 12, kSelection}, {80, 10, kSelection},
            {10, 10, kLight}, {29, 29, kShadow}, {11, 11, kBackground}, {20, 20, kIconGreen},
            {15, 15, kBackground}, {24, 24, kBackground}}, {kSelectedText}, {kText}},
        {"3D disabled and selected: highlighted, no light copy", 0, gray | sel, true, {{140, 12, kSelection},
            {11, 11, kBackground}, {29, 29, kBackground}, {20, 20, kShadow}}, {kDisabledText}, {kSelectedText, kText}},
        {"3D checked: sunken highlighted square", 0, chk, true, {{140, 12, kBackground}, {10, 10, kShadow},
            {29, 29, kLight}, {11, 11, kLight}, {20, 20, kIconGreen}}, {kText}, {}},
        {"3D without icon", 0, 0, false, {{11, 11, kBackground}, {20, 20, kBackground}}, {kText}, {}},
    };
    // clang-format on
    DibCanvas canvas(160, 40);
    for (const Look& look : looks) {
        Paint(canvas, look.style, look.state, look.icon);
        for (const Pixel& p : look.pixels) {
            EXPECT_EQ(canvas.Pixel(p.x, p.y), p.colour) << look.name << " at " << p.x << "," << p.y;
        }
        for (COLORREF colour : look.textShown) {
            EXPECT_GT(CountPixels(canvas, kTextArea, colour), 0) << look.name << std::hex << ", " << colour;
        }
        for (COLORREF colour : look.textNotShown) {
            EXPECT_EQ(CountPixels(canvas, kTextArea, colour), 0) << look.name << std::hex << ", " << colour;
        }
        EXPECT_EQ(CountPixels(canvas, {0, 0, 160, 10}, kUntouched) +
                      CountPixels(canvas, {0, 30, 160, 40}, kUntouched),
                  160 * 20)
            << look.name << ": nothing outside the entry";
    }
    // In style 2 a disabled entry looks the same whether or not it is selected.
    DibCanvas selected(160, 40);
    Paint(canvas, 2, gray, true);
    Paint(selected, 2, gray | sel, true);
    for (int i = 0; i < 160 * 40; ++i) {
        ASSERT_EQ(canvas.Pixel(i % 160, i / 160), selected.Pixel(i % 160, i / 160))
            << i % 160 << "," << i / 160;
    }
}

// The leftmost and rightmost columns that hold text of `colour`; {-1, -1} for none.
std::pair<int, int> TextColumns(const DibCanvas& canvas, COLORREF colour)
{
    std::pair<int, int> columns{-1, -1};
    for (int x = 0; x < canvas.Width(); ++x) {
        if (CountPixels(canvas, {x, kEntry.top, x + 1, kEntry.bottom}, colour) > 0) {
            columns = {columns.first < 0 ? x : columns.first, x};
        }
    }
    return columns;
}

TEST(MenuXPDraw, LabelsShortcutsAndBoldDefault)
{
    DibCanvas canvas(160, 40);
    Paint(canvas, 2, 0, true, L"Enable");
    const auto withIcon = TextColumns(canvas, kText);
    const int regular = CountPixels(canvas, kTextArea, kText);
    EXPECT_GE(withIcon.first, kTextArea.left);
    EXPECT_LT(withIcon.second, 90);
    Paint(canvas, 2, 0, false, L"Enable");
    EXPECT_EQ(TextColumns(canvas, kText), withIcon) << "the text starts at the same place without an icon";
    Paint(canvas, 2, ODS_DEFAULT, true, L"Enable");
    EXPECT_GT(CountPixels(canvas, kTextArea, kText), regular) << "the default entry is bold";

    // The shortcut ends at the text area's right end; nothing between it and the label.
    Paint(canvas, 2, 0, true, L"On\tCtrl+E");
    const auto both = TextColumns(canvas, kText);
    EXPECT_GE(both.first, kTextArea.left);
    EXPECT_LT(both.second, kTextArea.right);
    EXPECT_GE(both.second, kTextArea.right - 3);
    EXPECT_EQ(CountPixels(canvas, {70, kEntry.top, 95, kEntry.bottom}, kText), 0);

    Paint(canvas, 2, 0, true, L"\tCtrl+E");
    EXPECT_EQ(CountPixels(canvas, kEntry, kText), 0) << "a text that begins with a TAB shows nothing";
}

TEST(MenuXPDraw, Separators)
{
    for (const int style : {2, 0}) {
        CMenuXP menu;
        UseTestColours(menu);
        menu.m_nStyle = style;
        CMenuXPSeparator separator;
        DibCanvas canvas(160, 40);
        canvas.Fill(kUntouched);
        DrawEntry(menu, canvas, separator, {10, 10, 150, 16}, ODS_GRAYED | ODS_DISABLED);
        // A two-pixel groove half-way down; in style 2 the band's 20 x 20 square covers its left end and
        // reaches below the separator.
        // clang-format off
        const std::vector<Pixel> pixels = style == 2
            ? std::vector<Pixel>{{11, 13, kIconBand}, {29, 29, kIconBand}, {30, 29, kUntouched}, {29, 30, kUntouched},
                                 {30, 13, kShadow}}
            : std::vector<Pixel>{{11, 13, kShadow}, {11, 20, kUntouched}};
        // clang-format on
        for (const Pixel& p :
             std::vector<Pixel>{{100, 11, kBackground}, {100, 13, kShadow}, {100, 14, kLight}}) {
            EXPECT_EQ(canvas.Pixel(p.x, p.y), p.colour) << style << " at " << p.x << "," << p.y;
        }
        for (const Pixel& p : pixels) {
            EXPECT_EQ(canvas.Pixel(p.x, p.y), p.colour) << style << " at " << p.x << "," << p.y;
        }
    }
}

TEST(MenuXPDraw, RequestsThatAreNotOursDrawNothing)
{
    CMenuXP menu;
    CMenuXPText item(300, L"Enable");
    struct {
        void* header = nullptr;
        DWORD notSignature = 0;
    } foreign;
    DibCanvas canvas(160, 40);
    canvas.Fill(kUntouched);
    for (const auto& [data, type] : {std::pair{reinterpret_cast<ULONG_PTR>(&item), UINT{ODT_BUTTON}},
                                     std::pair{ULONG_PTR{0}, UINT{ODT_MENU}},
                                     std::pair{reinterpret_cast<ULONG_PTR>(&foreign), UINT{ODT_MENU}}}) {
        DRAWITEMSTRUCT draw{type, 0, 300, ODA_DRAWENTIRE, ODS_SELECTED, nullptr, canvas.Dc(), kEntry, data};
        menu.DrawItem(&draw);
    }
    EXPECT_EQ(CountPixels(canvas, {0, 0, 160, 40}, kUntouched), 160 * 40);
}

TEST(MenuXPDraw, SilhouetteIgnoresTheTextColourLeftInTheTarget)
{
    // A previous entry's text leaves its colour in the platform's device context; the shape must still
    // come out in the brush colours, and both colours be restored.
    const HICON icon = MakeSquareIcon(kIconGreen, 8);
    for (const COLORREF left : {RGB(255, 255, 255), kDisabledText}) {
        DibCanvas canvas(40, 40);
        canvas.Fill(kUntouched);
        SetTextColor(canvas.Dc(), left);
        SetBkColor(canvas.Dc(), RGB(9, 9, 9));
        CDC dc;
        dc.Attach(canvas.Dc());
        CMenuXP::DrawIconSilhouette(&dc, icon, false, {12, 12, 28, 28});
        dc.Detach();
        for (const Pixel& p : {Pixel{16, 16, kShadow}, Pixel{23, 23, kShadow}, Pixel{24, 24, kLight},
                               Pixel{15, 15, kUntouched}, Pixel{25, 25, kUntouched}}) {
            EXPECT_EQ(canvas.Pixel(p.x, p.y), p.colour) << p.x << "," << p.y;
        }
        EXPECT_EQ(GetTextColor(canvas.Dc()), left);
        EXPECT_EQ(GetBkColor(canvas.Dc()), RGB(9, 9, 9));
    }
    DestroyIcon(icon);
}

}  // namespace
