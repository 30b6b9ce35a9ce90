// An owner-drawn popup menu that paints every entry itself: text items with icons, separators and a
// side bar, in the flat look (style 2) or the three-dimensional look (style 0). It owns the item
// objects of its entries and the CMenuXP objects that hold its submenus. GUI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "menuxp/menu_xp_item.h"
#include "menuxp/menu_xp_metrics.h"
#include "menuxp/menu_xp_text.h"
#include "platform/bitmap.h"
#include "platform/dc.h"
#include "platform/font.h"
#include "platform/menu.h"

// The system colours a menu is drawn in, and whether a high-contrast theme is on: then every colour of
// the menu comes from these pairs, text over its own background.
struct MenuColors {
    bool highContrast;
    COLORREF menu;
    COLORREF menuText;
    COLORREF highlight;
    COLORREF highlightText;
    COLORREF grayText;
};

// The system's, as they are now: SPI_GETHIGHCONTRAST and GetSysColor.
MenuColors SystemMenuColors();

class CMenuXP : public CMenu {
public:
    static constexpr int kStyle3D = 0;
    static constexpr int kStyleFlat = 2;

    // Reads the menu font for `dpi` and takes the colours; no menu handle is attached yet. Every fixed
    // size of the look is given at 96 DPI and drawn scaled to `dpi`. The colours are read afresh for
    // each menu, so that a change of theme shows at the next opening.
    explicit CMenuXP(UINT dpi = 96, const MenuColors& colors = SystemMenuColors());
    // Frees every item object and CMenuXP submenu object; the font and the menu handle go with the
    // member and the base.
    ~CMenuXP() override;

    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;
    void MeasureItem(LPMEASUREITEMSTRUCT measureItem) override;
    // Chooses, or selects in turn, the enabled entries whose text begins with the letter, as mnemonics
    // do in a menu the system draws; the texts carry no mark and show no underline.
    std::optional<LRESULT> OnMenuChar(wchar_t letter) override;
    // The presses of the down arrow that select the first enabled entry once the menu is open.
    int DownPressesToFirstEnabled() const;

    // The drawing operations that DrawItem composes, called virtually so that a derived menu may
    // replace any of them. Each takes the target and the rectangle to paint.
    virtual void DrawBackground(CDC* dc, RECT rect, bool selected, bool disabled);
    virtual void DrawButton(CDC* dc, RECT rect, bool selected, bool disabled, bool checked);
    virtual void DrawItemIcon(CDC* dc, RECT rect, HICON icon, bool selected, bool disabled, bool checked);
    virtual void DrawSideBar(CDC* dc, RECT rect, HICON icon, const std::wstring& title);
    virtual void DrawItemText(CDC* dc, RECT rect, const std::wstring& text, bool selected, bool disabled,
                              bool isDefault);
    virtual void DrawCheckMark(CDC* dc, RECT rect, bool selected);
    virtual void DrawLabelText(CDC* dc, RECT rect, const std::wstring& text, COLORREF color);
    virtual void DrawIconBand(CDC* dc, RECT rect, bool selected, bool disabled, bool checked);

    // Appends an owner-drawn entry for the item, opening a new column if a break was requested; both
    // requests are cleared. The menu owns the item from here on; if the entry cannot be appended the
    // item is freed at once and the result is FALSE.
    BOOL AppendItem(std::unique_ptr<CMenuXPText> item);
    // Appends an owner-drawn separator entry; a pending break request is dropped, not applied.
    BOOL AppendSeparator();

    static void PaintSolidRect(CDC* dc, const RECT& rect, COLORREF color);
    // Paints the icon's shape in the shadow colour at (left, top), over a copy one pixel (at 96 DPI)
    // down and right in the shadow colour (shadowOnly) or the highlight colour.
    void DrawIconSilhouette(CDC* dc, HICON icon, bool shadowOnly, const RECT& rect) const;
    // Paints the shape of whatever the icon draws in a colour other than white, in one colour.
    static void PaintIconShape(CDC* dc, HICON icon, const RECT& rect, COLORREF color);
    // The side bar's shading, bottom colour at the bottom row; no bitmap when it cannot be made.
    static CBitmap CreateGradientBitmap(COLORREF top, COLORREF bottom, CDC* dc, int width, int height);

    // All public: the caller sets colours and the style after construction, before the menu is shown.
    CFont m_fontMenu;
    COLORREF m_clrBackground = 0;
    COLORREF m_clrSelection = 0;
    COLORREF m_clrText = 0;
    COLORREF m_clrSelectedText = 0;
    COLORREF m_clrDisabledText = 0;
    COLORREF m_clrSideBarBottom = RGB(225, 225, 225);
    COLORREF m_clrSideBarTop = RGB(0, 0, 0);
    COLORREF m_clrIconBand = 0;
    BOOL m_bBreak = FALSE;     // the next appended item opens a new column
    BOOL m_bBarBreak = FALSE;  // ... with a dividing line
    int m_nStyle = kStyleFlat;
    // False when the entries' icons show the checked state already: the state is then there for
    // screen readers, and the engine draws no check of its own.
    bool m_bDrawChecked = true;
    // A high-contrast theme is on: no colour of the look's own (gradient, white title, black lines and
    // frame, coloured icons, the light copy under grayed text), only the system's pairs.
    bool m_bHighContrast = false;
    const UINT m_nDpi;

protected:
    // Frees the item objects of the entries and the CMenuXP objects that hold submenus. The entries
    // stay until the menu handle is destroyed, so only the destructor may call this.
    void DeleteItems();
    // The system's menu font; without the metrics (null) or when that font cannot be made, a copy of
    // the default GUI font.
    static void CreateMenuFont(CFont& font, const NONCLIENTMETRICSW* metrics);
    // A size of the 96-DPI look at the menu's DPI.
    int Scaled(int value) const;

private:
    // m_fontMenu in bold; false when there is no menu font or the bold one cannot be made.
    bool CreateBoldFont(CFont& bold) const;

    // What measuring a text entry takes, made at the first such request and kept for the others of this
    // menu: every entry is measured once per opening, and making them anew each time costs more than
    // the measuring.
    CFont m_fontMeasure;
    CDC m_measureDC;  // a memory device context like the screen's: the same text extents, made quicker
    // Likewise the side bar's title font and its shading, made at its first paint; the shading again
    // when the painted height or the colours change.
    CFont m_fontSideBarTitle;
    CBitmap m_sideBarShading;
    SIZE m_sideBarShadingSize{};
    COLORREF m_sideBarShadingColors[2] = {};
    // The entries by position, as the keyboard meets them.
    std::vector<menuxp::KeyEntry> KeyEntries() const;
};
