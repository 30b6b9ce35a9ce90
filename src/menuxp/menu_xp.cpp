#include "menuxp/menu_xp.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include "menuxp/menu_xp_metrics.h"
#include "menuxp/menu_xp_separator.h"
#include "platform/borrowed_dc.h"
#include "platform/brush.h"
#include "platform/dpi.h"
#include "platform/pen.h"
#include "platform/scoped_bk_mode.h"
#include "platform/scoped_colors.h"
#include "platform/scoped_select.h"
#include "platform/window_dc.h"

// The records as the system expects them: the metrics that end with the padded-border width.
static_assert(sizeof(NONCLIENTMETRICSW) == 504);
static_assert(sizeof(MENUITEMINFOW) == (sizeof(void*) == 8 ? 80 : 48));

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
// Keeps the target where the mask is white and paints the brush where it is black.
constexpr DWORD kBrushWhereMaskBlack = 0x00B8074A;
// The bar is painted this much wider than its entry.
constexpr int kSideBarOverhang = 3;
constexpr int kTitleHeight = 12;
constexpr int kTitleLeft = 2;
constexpr int kTitleBottom = 4;

RECT Shrunk(RECT rect, int by)
{
    InflateRect(&rect, -by, -by);
    return rect;
}

RECT Moved(RECT rect, int dx, int dy)
{
    OffsetRect(&rect, dx, dy);
    return rect;
}

// The height of what the device context paints on: the client area of its window (the menu's), or the
// bitmap of a memory device context; the clip box when neither is known.
int SurfaceHeight(HDC dc)
{
    RECT area{};
    if (const HWND window = WindowFromDC(dc); window != nullptr && GetClientRect(window, &area)) {
        return area.bottom;
    }
    BITMAP bitmap{};
    if (const HGDIOBJ surface = GetCurrentObject(dc, OBJ_BITMAP);
        surface != nullptr && GetObjectW(surface, sizeof bitmap, &bitmap) == sizeof bitmap &&
        bitmap.bmHeight > 1) {
        return bitmap.bmHeight < 0 ? -bitmap.bmHeight : bitmap.bmHeight;
    }
    GetClipBox(dc, &area);
    return area.bottom;
}

}  // namespace

MenuColors SystemMenuColors()
{
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    const bool high = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                      (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    return {high,
            GetSysColor(COLOR_MENU),
            GetSysColor(COLOR_MENUTEXT),
            GetSysColor(COLOR_HIGHLIGHT),
            GetSysColor(COLOR_HIGHLIGHTTEXT),
            GetSysColor(COLOR_GRAYTEXT)};
}

CMenuXP::CMenuXP(UINT dpi, const MenuColors& colors) : m_nDpi(dpi)
{
    NONCLIENTMETRICSW metrics{};
    const bool read = NonClientMetricsForDpi(metrics, dpi);
    CreateMenuFont(m_fontMenu, read ? &metrics : nullptr);

    m_clrBackground = colors.menu;
    m_clrSelection = colors.highlight;
    m_clrText = colors.menuText;
    m_clrSelectedText = colors.highlightText;
    m_clrDisabledText = colors.grayText;
    m_clrIconBand = m_clrBackground;
    m_bHighContrast = colors.highContrast;
}

CMenuXP::~CMenuXP()
{
    DeleteItems();
}

void CMenuXP::CreateMenuFont(CFont& font, const NONCLIENTMETRICSW* metrics)
{
    if (metrics != nullptr && font.CreateFontIndirect(&metrics->lfMenuFont)) {
        return;
    }
    // A copy, so that the menu owns its font either way (stock objects are never deleted).
    LOGFONTW fallback{};
    if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof fallback, &fallback) != 0) {
        font.CreateFontIndirect(&fallback);
    }
}

void CMenuXP::DeleteItems()
{
    if (m_hMenu == nullptr) {
        return;
    }
    const int count = GetMenuItemCount(m_hMenu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_TYPE | MIIM_DATA;
        if (GetMenuItemInfoW(m_hMenu, static_cast<UINT>(position), TRUE, &info) &&
            (info.fType & MFT_OWNERDRAW) != 0) {
            delete CMenuXPItem::FromItemData(info.dwItemData);
        }
        const HMENU submenu = GetSubMenu(m_hMenu, position);
        CMenu* const holder = submenu != nullptr ? CMenu::FromHandle(submenu) : nullptr;
        if (auto* const child = dynamic_cast<CMenuXP*>(holder)) {
            child->DeleteItems();
            // The submenu handle is destroyed once, together with this menu's.
            child->Detach();
            delete child;
        }
    }
}

BOOL CMenuXP::AppendItem(std::unique_ptr<CMenuXPText> item)
{
    if (item == nullptr) {
        return FALSE;
    }
    UINT flags = m_bBreak ? MF_OWNERDRAW | MF_MENUBREAK : MF_OWNERDRAW;
    if (m_bBarBreak) {
        flags |= MF_MENUBARBREAK;
    }
    m_bBarBreak = FALSE;
    m_bBreak = FALSE;
    if (!AppendMenuW(m_hMenu, flags, item->m_nID, reinterpret_cast<LPCWSTR>(item->ItemData()))) {
        return FALSE;
    }
    item.release();
    return TRUE;
}

BOOL CMenuXP::AppendSeparator()
{
    m_bBarBreak = FALSE;
    m_bBreak = FALSE;
    auto separator = std::make_unique<CMenuXPSeparator>();
    if (!AppendMenuW(m_hMenu, MF_SEPARATOR | MF_OWNERDRAW, 0,
                     reinterpret_cast<LPCWSTR>(separator->ItemData()))) {
        return FALSE;
    }
    separator.release();
    return TRUE;
}

std::vector<menuxp::KeyEntry> CMenuXP::KeyEntries() const
{
    std::vector<menuxp::KeyEntry> entries;
    const int count = GetMenuItemCount(m_hMenu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_DATA;
        if (!GetMenuItemInfoW(m_hMenu, static_cast<UINT>(position), TRUE, &info)) {
            entries.push_back({0, true, false, false});  // keeps the positions
            continue;
        }
        const CMenuXPItem* const item =
            (info.fType & MFT_OWNERDRAW) != 0 ? CMenuXPItem::FromItemData(info.dwItemData) : nullptr;
        wchar_t letter =
            item != nullptr && !item->m_bSideBar && !item->m_strText.empty() ? item->m_strText[0] : 0;
        CharUpperBuffW(&letter, 1);
        entries.push_back({letter, (info.fType & MFT_SEPARATOR) != 0, (info.fState & MFS_GRAYED) == 0,
                           (info.fState & MFS_HILITE) != 0});
    }
    return entries;
}

std::optional<LRESULT> CMenuXP::OnMenuChar(wchar_t letter)
{
    CharUpperBuffW(&letter, 1);
    const menuxp::LetterAnswer answer = menuxp::AnswerLetter(KeyEntries(), letter);
    constexpr WORD kActions[] = {MNC_IGNORE, MNC_EXECUTE, MNC_SELECT};
    return MAKELRESULT(answer.position, kActions[answer.action]);
}

int CMenuXP::DownPressesToFirstEnabled() const
{
    return menuxp::DownPressesToFirstEnabled(KeyEntries());
}

int CMenuXP::Scaled(int value) const
{
    return menuxp::Scaled(value, static_cast<int>(m_nDpi));
}

bool CMenuXP::CreateBoldFont(CFont& bold) const
{
    LOGFONTW description{};
    if (m_fontMenu.GetLogFont(&description) == 0) {
        return false;
    }
    description.lfWeight = FW_BOLD;
    return bold.CreateFontIndirect(&description) != FALSE;
}

void CMenuXP::MeasureItem(LPMEASUREITEMSTRUCT measureItem)
{
    if (measureItem == nullptr || measureItem->CtlType != ODT_MENU) {
        return;
    }
    const CMenuXPItem* const item = CMenuXPItem::FromItemData(measureItem->itemData);
    if (item == nullptr) {
        return;
    }
    menuxp::EntrySize size;
    if (item->m_bSideBar) {
        size = menuxp::SideBarSize(item->m_nSize, static_cast<int>(m_nDpi));
    } else if (item->m_bSeparator) {
        size = menuxp::SeparatorSize(SystemMetricForDpi(SM_CYMENUCHECK, m_nDpi));
    } else {
        // Measured in bold whether or not the entry is the default one, label, TAB and shortcut alike.
        // Without DT_VCENTER: with it the computed rectangle is only half the line high, and text taller
        // than the icon would be cut.
        if (m_measureDC.m_hDC == nullptr) {
            CreateBoldFont(m_fontMeasure);
            m_measureDC.CreateCompatibleDC(nullptr);
        }
        RECT text{0, 0, 0, 0};
        {
            ScopedSelect font(m_measureDC.m_hDC, m_fontMeasure.m_hObject);
            DrawTextW(m_measureDC.m_hDC, item->m_strText.c_str(), static_cast<int>(item->m_strText.size()),
                      &text, DT_SINGLELINE | DT_CALCRECT);
        }
        size = menuxp::TextEntrySize(item->m_nSize, text.right - text.left, text.bottom - text.top,
                                     static_cast<int>(m_nDpi));
    }
    measureItem->itemWidth = menuxp::CorrectedWidth(size.width, SystemMetricForDpi(SM_CXMENUCHECK, m_nDpi));
    measureItem->itemHeight = size.height;
}

void CMenuXP::DrawItem(LPDRAWITEMSTRUCT drawItem)
{
    if (drawItem == nullptr || drawItem->CtlType != ODT_MENU) {
        return;
    }
    // Item data without the signature is not ours to read, for drawing as for measuring.
    const CMenuXPItem* const item = CMenuXPItem::FromItemData(drawItem->itemData);
    if (item == nullptr) {
        return;
    }
    CBorrowedDC dc(drawItem->hDC);
    const RECT r = drawItem->rcItem;
    const int h = r.bottom - r.top;
    if (item->m_bSideBar) {
        // The bar spans the whole height of the menu, not its own entry's; the clip cuts it to what is
        // being painted, so that a partial repaint draws the same pixels as a full one.
        DrawSideBar(&dc, RECT{r.left, 0, r.right, SurfaceHeight(dc.m_hDC)}, item->m_hIcon, item->m_strText);
    } else if (item->m_bSeparator) {
        DrawBackground(&dc, r, false, false);
        RECT groove{r.left, r.top + (h >> 1), r.right, r.bottom};
        if (m_bHighContrast) {
            // The groove's two shades are no colours of the theme's.
            PaintSolidRect(&dc, RECT{r.left, groove.top, r.right, groove.top + Scaled(1)}, m_clrText);
        } else {
            DrawEdge(dc.m_hDC, &groove, EDGE_ETCHED, BF_TOP);
        }
        if (m_nStyle == kStyleFlat) {
            // The band's square is as large as a text entry's, whatever the separator's own height.
            const int side = Scaled(item->m_nSize + 4);
            DrawIconBand(&dc, RECT{r.left, r.top, r.left + side, r.top + side}, false, false, false);
        }
    } else {
        const bool selected = (drawItem->itemState & ODS_SELECTED) != 0;
        const bool disabled = (drawItem->itemState & ODS_GRAYED) != 0;
        const bool checked = m_bDrawChecked && (drawItem->itemState & ODS_CHECKED) != 0;
        const bool isDefault = (drawItem->itemState & ODS_DEFAULT) != 0;
        DrawBackground(&dc, r, selected, disabled);
        if (m_nStyle == kStyleFlat) {
            DrawIconBand(&dc, RECT{r.left, r.top, r.left + h, r.bottom}, selected, disabled, checked);
        }
        const RECT square{r.left, r.top, r.left + h, r.top + h};
        if (item->m_hIcon != nullptr || checked) {
            DrawButton(&dc, square, selected, disabled, checked);
        }
        if (item->m_hIcon != nullptr) {
            DrawItemIcon(&dc, Shrunk(square, Scaled(2)), item->m_hIcon, selected, disabled, checked);
        } else if (checked) {
            DrawCheckMark(&dc, Shrunk(square, Scaled(2)), selected);
        }
        DrawItemText(&dc, RECT{r.left + h + Scaled(2), r.top, r.right - Scaled(item->m_nSize), r.bottom},
                     item->m_strText, selected, disabled, isDefault);
    }
}

void CMenuXP::DrawBackground(CDC* dc, RECT rect, bool selected, bool disabled)
{
    const bool flat = m_nStyle == kStyleFlat;
    // The flat look never highlights a disabled entry.
    const bool highlighted = selected && !(flat && disabled);
    PaintSolidRect(dc, rect, highlighted ? m_clrSelection : m_clrBackground);
    if (flat && selected && !disabled) {
        // Inside the rectangle however wide the line is at the menu's DPI.
        CPen frame(PS_INSIDEFRAME, Scaled(1), m_bHighContrast ? m_clrSelectedText : kBlack);
        ScopedSelect brush(dc->m_hDC, GetStockObject(NULL_BRUSH));
        ScopedSelect pen(dc->m_hDC, frame.m_hObject);
        Rectangle(dc->m_hDC, rect.left, rect.top, rect.right, rect.bottom);
    }
}

void CMenuXP::DrawIconBand(CDC* dc, RECT rect, bool selected, bool disabled, bool)
{
    // A selected entry's fill and frame show through.
    if (m_nStyle == kStyleFlat && (!selected || disabled)) {
        PaintSolidRect(dc, rect, m_clrIconBand);
    }
}

void CMenuXP::DrawButton(CDC* dc, RECT rect, bool selected, bool disabled, bool checked)
{
    if (m_nStyle == kStyle3D) {
        PaintSolidRect(dc, rect, checked && !selected ? GetSysColor(COLOR_BTNHIGHLIGHT) : m_clrBackground);
        if (!disabled && (selected || checked)) {
            DrawEdge(dc->m_hDC, &rect, checked ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        }
    } else if (m_nStyle == kStyleFlat && !selected && checked && !disabled) {
        // The icon square alone gets the selection's fill and frame.
        DrawBackground(dc, rect, true, false);
    }
}

void CMenuXP::DrawItemIcon(CDC* dc, RECT rect, HICON icon, bool selected, bool disabled, bool checked)
{
    if (m_bHighContrast) {
        // In the colour of the entry's text; a checked flat entry's square has the selection's fill.
        const bool onSelection = selected || (checked && m_nStyle == kStyleFlat);
        PaintIconShape(dc, icon, rect,
                       disabled ? m_clrDisabledText : (onSelection ? m_clrSelectedText : m_clrText));
        return;
    }
    if (disabled) {
        DrawIconSilhouette(dc, icon, false, rect);
        return;
    }
    if (m_nStyle == kStyleFlat && selected && !checked) {
        // The icon rises one pixel up and left over its shadow.
        DrawIconSilhouette(dc, icon, true, rect);
        rect = Moved(rect, -Scaled(1), -Scaled(1));
    }
    DrawIconEx(dc->m_hDC, rect.left, rect.top, icon, rect.right - rect.left, rect.bottom - rect.top, 0,
               nullptr, DI_NORMAL);
}

void CMenuXP::DrawIconSilhouette(CDC* dc, HICON icon, bool shadowOnly, const RECT& rect) const
{
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    PaintIconShape(dc, icon, Moved(rect, Scaled(1), Scaled(1)),
                   shadowOnly ? shadow : GetSysColor(COLOR_BTNHIGHLIGHT));
    PaintIconShape(dc, icon, rect, shadow);
}

void CMenuXP::PaintIconShape(CDC* dc, HICON icon, const RECT& rect, COLORREF color)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    CDC mask;
    CBitmap maskBitmap;
    if (!mask.CreateCompatibleDC(dc) || !maskBitmap.CreateBitmap(width, height, 1, 1, nullptr)) {
        return;
    }
    ScopedSelect selectedMask(mask.m_hDC, maskBitmap.m_hObject);
    // Whatever the icon paints in a colour other than white becomes black in the mask.
    PatBlt(mask.m_hDC, 0, 0, width, height, WHITENESS);
    DrawIconEx(mask.m_hDC, 0, 0, icon, width, height, 1, nullptr, DI_NORMAL);

    // A monochrome source is mapped through the target's background colour (its white) and text colour
    // (its black). Both are set so that the mask's black paints exactly the brush, whatever colour the
    // previous entry's text left in the target.
    const ScopedColors colors(dc->m_hDC, kBlack, kWhite);
    CBrush brush(color);
    ScopedSelect selected(dc->m_hDC, brush.m_hObject);
    BitBlt(dc->m_hDC, rect.left, rect.top, width, height, mask.m_hDC, 0, 0, kBrushWhereMaskBlack);
}

void CMenuXP::DrawCheckMark(CDC* dc, RECT rect, bool)
{
    const menuxp::Point origin =
        menuxp::CheckMarkOrigin(rect.left, rect.top, rect.right, rect.bottom, static_cast<int>(m_nDpi));
    // A flat checked entry's square has the selection's fill.
    CPen pen(PS_SOLID, 1, m_bHighContrast && m_nStyle == kStyleFlat ? m_clrSelectedText : kBlack);
    ScopedSelect selected(dc->m_hDC, pen.m_hObject);
    // Three one-pixel strokes at 96 DPI; at other DPIs the tick keeps its shape and its thickness.
    for (int k = 0; k < Scaled(3); ++k) {
        MoveToEx(dc->m_hDC, origin.x, origin.y + Scaled(3) + k, nullptr);
        LineTo(dc->m_hDC, origin.x + Scaled(2), origin.y + Scaled(5) + k);
        LineTo(dc->m_hDC, origin.x + Scaled(7), origin.y + k);
    }
}

void CMenuXP::DrawItemText(CDC* dc, RECT rect, const std::wstring& text, bool selected, bool disabled,
                           bool isDefault)
{
    CFont bold;
    if (isDefault) {
        CreateBoldFont(bold);
    }
    ScopedSelect font(dc->m_hDC, (bold.m_hObject != nullptr ? bold : m_fontMenu).m_hObject);
    SetBkMode(dc->m_hDC, TRANSPARENT);
    if (disabled) {
        // Grayed text sits on a light copy one pixel down and right, except in the theme's own pair.
        if (!m_bHighContrast && (!selected || m_nStyle == kStyleFlat)) {
            DrawLabelText(dc, Moved(rect, Scaled(1), Scaled(1)), text, m_clrSelectedText);
        }
        DrawLabelText(dc, rect, text, m_clrDisabledText);
    } else {
        DrawLabelText(dc, rect, text, selected ? m_clrSelectedText : m_clrText);
    }
}

void CMenuXP::DrawLabelText(CDC* dc, RECT rect, const std::wstring& text, COLORREF color)
{
    const std::size_t tab = text.find(L'\t');
    const std::size_t labelLength = tab == std::wstring::npos ? text.size() : tab;
    const ScopedColors colors(dc->m_hDC, color);
    RECT label = rect;
    DrawTextW(dc->m_hDC, text.c_str(), static_cast<int>(labelLength), &label, DT_SINGLELINE | DT_VCENTER);
    // A text that begins with a TAB has no label, and its shortcut is not shown either.
    if (tab != std::wstring::npos && tab > 0) {
        RECT shortcut = rect;
        DrawTextW(dc->m_hDC, text.c_str() + tab + 1, static_cast<int>(text.size() - tab - 1), &shortcut,
                  DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
}

// With the device context's own brush, set to the colour: the same fill as a solid brush of it, and no
// brush made and deleted for each of the many fills of every paint.
void CMenuXP::PaintSolidRect(CDC* dc, const RECT& rect, COLORREF color)
{
    ScopedSelect selected(dc->m_hDC, GetStockObject(DC_BRUSH));
    const COLORREF previous = SetDCBrushColor(dc->m_hDC, color);
    PatBlt(dc->m_hDC, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, PATCOPY);
    SetDCBrushColor(dc->m_hDC, previous);
}

void CMenuXP::DrawSideBar(CDC* dc, RECT rect, HICON, const std::wstring& title)
{
    rect.right += Scaled(kSideBarOverhang);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        return;  // nothing of the menu is being painted
    }
    if (m_bHighContrast) {
        PaintSolidRect(dc, rect, m_clrBackground);
    } else {
        if (m_sideBarShading.m_hObject == nullptr || m_sideBarShadingSize.cx != width ||
            m_sideBarShadingSize.cy != height || m_sideBarShadingColors[0] != m_clrSideBarTop ||
            m_sideBarShadingColors[1] != m_clrSideBarBottom) {
            m_sideBarShading = CreateGradientBitmap(m_clrSideBarTop, m_clrSideBarBottom, dc, width, height);
            m_sideBarShadingSize = {width, height};
            m_sideBarShadingColors[0] = m_clrSideBarTop;
            m_sideBarShadingColors[1] = m_clrSideBarBottom;
        }
        CDC memory;
        if (m_sideBarShading.m_hObject != nullptr && memory.CreateCompatibleDC(dc)) {
            ScopedSelect selected(memory.m_hDC, m_sideBarShading.m_hObject);
            BitBlt(dc->m_hDC, rect.left, rect.top, width, height, memory.m_hDC, 0, 0, SRCCOPY);
        }
    }
    // Turned a quarter turn anticlockwise, so that the title runs upward from near the bottom.
    if (m_fontSideBarTitle.m_hObject == nullptr) {
        m_fontSideBarTitle.CreateFont(Scaled(kTitleHeight), 0, 900, 900, FW_BOLD, FALSE, FALSE, FALSE,
                                      DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    }
    ScopedSelect selected(dc->m_hDC, m_fontSideBarTitle.m_hObject);
    const ScopedColors colors(dc->m_hDC, m_bHighContrast ? m_clrText : kWhite);
    const ScopedBkMode transparent(dc->m_hDC, TRANSPARENT);
    TextOutW(dc->m_hDC, rect.left + Scaled(kTitleLeft), rect.bottom - Scaled(kTitleBottom), title.c_str(),
             static_cast<int>(title.size()));
}

CBitmap CMenuXP::CreateGradientBitmap(COLORREF top, COLORREF bottom, CDC* dc, int width, int height)
{
    CBitmap bitmap;
    if (dc == nullptr || width <= 0 || height <= 0 ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) >
            std::numeric_limits<std::size_t>::max() / sizeof(std::uint32_t)) {
        return bitmap;
    }
    const auto table = menuxp::GradientTable(top, bottom);
    const std::size_t rowLength = static_cast<std::size_t>(width);
    std::unique_ptr<std::uint32_t[]> pixels(new (std::nothrow) std::uint32_t[rowLength * height]);
    if (pixels == nullptr) {
        return bitmap;
    }
    // Row 0 is the bottom row of the picture.
    for (int row = 0; row < height; ++row) {
        std::fill_n(pixels.get() + rowLength * row, rowLength,
                    table[static_cast<std::size_t>(menuxp::GradientRowIndex(row, height))]);
    }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    bitmap.CreateDIBitmap(dc->m_hDC, &header, CBM_INIT, pixels.get(),
                          reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS);
    return bitmap;
}
