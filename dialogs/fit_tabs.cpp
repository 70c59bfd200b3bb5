#include "dialogs/fit_tabs.h"

#include <commctrl.h>

void FitTabsToCaptions(HWND tab) {
    HDC dc = GetDC(tab);
    if (!dc) return;
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(tab, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    const int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SIZE size = {};
        if (SendMessageA(tab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item)) &&
            GetTextExtentPoint32A(dc, text, lstrlenA(text), &size) && size.cx > widest)
            widest = size.cx;
    }
    SelectObject(dc, oldFont);
    ReleaseDC(tab, dc);
    RECT first = {};
    if (!SendMessageA(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first))) return;
    const LONG wanted = widest + 2 * GetSystemMetrics(SM_CXEDGE) + 16;
    if (wanted > first.right - first.left)
        SendMessageA(tab, TCM_SETITEMSIZE, 0, MAKELPARAM(wanted, first.bottom - first.top));
}

