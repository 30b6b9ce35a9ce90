#include "menu_gallery/menu_renderer.h"

#include <algorithm>

#include "menu_gallery/dib_canvas.h"
#include "platform/brush.h"
#include "platform/dpi.h"

MenuLayout LayOutMenu(CMenu& menu, UINT dpi)
{
    MenuLayout layout{};
    const int checkWidth = SystemMetricForDpi(SM_CXMENUCHECK, dpi);
    int x = 0;
    int y = 0;
    int bottom = 0;
    int columnWidth = 0;
    std::size_t columnStart = 0;
    const auto closeColumn = [&] {
        for (std::size_t i = columnStart; i < layout.entries.size(); ++i) {
            layout.entries[i].rect.right = x + columnWidth;
        }
    };
    const int count = GetMenuItemCount(menu.m_hMenu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA;
        GetMenuItemInfoW(menu.m_hMenu, static_cast<UINT>(position), TRUE, &info);
        MEASUREITEMSTRUCT measure{ODT_MENU, 0, info.wID, 0, 0, info.dwItemData};
        menu.MeasureItem(&measure);
        const int width = static_cast<int>(measure.itemWidth + static_cast<UINT>(checkWidth) - 1u);
        const int height = static_cast<int>(measure.itemHeight);
        if (position > 0 && (info.fType & (MFT_MENUBREAK | MFT_MENUBARBREAK)) != 0) {
            closeColumn();
            x += columnWidth + kMenuColumnGap;
            y = 0;
            columnWidth = 0;
            columnStart = layout.entries.size();
        }
        layout.entries.push_back(
            {info.wID, info.fType, info.fState, info.dwItemData, RECT{x, y, x, y + height}});
        y += height;
        bottom = std::max(bottom, y);
        columnWidth = std::max(columnWidth, width);
    }
    closeColumn();
    layout.client = SIZE{x + columnWidth, bottom};
    layout.size = SIZE{layout.client.cx + 2 * kMenuFrame, layout.client.cy + 2 * kMenuFrame};
    return layout;
}

void PaintMenu(CMenu& menu, const MenuLayout& layout, HDC dc, int selectedPosition, const RECT* repaint,
               const MenuColors* theme)
{
    const RECT all{0, 0, layout.size.cx, layout.size.cy};
    CBrush background(theme != nullptr ? theme->menu : GetSysColor(COLOR_MENU));
    CBrush frame(theme != nullptr ? theme->menuText : GetSysColor(COLOR_BTNSHADOW));
    FillRect(dc, &all, static_cast<HBRUSH>(background.m_hObject));
    FrameRect(dc, &all, static_cast<HBRUSH>(frame.m_hObject));

    DibCanvas client(layout.client.cx, layout.client.cy);
    const RECT area{0, 0, layout.client.cx, layout.client.cy};
    FillRect(client.Dc(), &area, static_cast<HBRUSH>(background.m_hObject));
    if (repaint != nullptr) {
        IntersectClipRect(client.Dc(), repaint->left, repaint->top, repaint->right, repaint->bottom);
    }
    for (std::size_t position = 0; position < layout.entries.size(); ++position) {
        const MenuEntryLayout& entry = layout.entries[position];
        UINT state = 0;
        if (static_cast<int>(position) == selectedPosition) {
            state |= ODS_SELECTED;
        }
        if ((entry.state & MFS_GRAYED) != 0) {
            state |= ODS_GRAYED | ODS_DISABLED;
        }
        if ((entry.state & MFS_CHECKED) != 0) {
            state |= ODS_CHECKED;
        }
        if ((entry.state & MFS_DEFAULT) != 0) {
            state |= ODS_DEFAULT;
        }
        DRAWITEMSTRUCT draw{ODT_MENU,       0,          entry.id,
                            ODA_DRAWENTIRE, state,      reinterpret_cast<HWND>(menu.m_hMenu),
                            client.Dc(),    entry.rect, entry.data};
        menu.DrawItem(&draw);
        // The platform divides a column that a bar break starts from the one before with a groove.
        if ((entry.type & MFT_MENUBARBREAK) != 0) {
            RECT groove{entry.rect.left - kMenuColumnGap / 2, 0, entry.rect.left, layout.client.cy};
            DrawEdge(client.Dc(), &groove, EDGE_ETCHED, BF_LEFT);
        }
    }
    BitBlt(dc, kMenuFrame, kMenuFrame, layout.client.cx, layout.client.cy, client.Dc(), 0, 0, SRCCOPY);
}
