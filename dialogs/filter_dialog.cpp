#include "dialogs/filter_dialog.h"

#include <commctrl.h>

#include "dialogs/dialog_ids.h"

namespace {

// The tabs have one fixed width, by default narrower than "Gray Filter" in Japanese: widen them to
// the longest caption (the frame draws the captions centred, in the tab control's font).
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

}  // namespace

CFilterDialog::CFilterDialog(quorin::FilterSettings& record, const FilterEnableFlags& flags,
                             DialogWindowSlot& openWindow)
    : CPropertyDialog(IDD_FILTER_FRAME_JA, IDD_FILTER_FRAME_EN),
      record_(record), openWindow_(openWindow), hasGrayPage_(flags.on[kEnableGrayPage]),
      imagePage_(record, flags), grayPage_(record) {
    AddPage(&imagePage_);
    if (hasGrayPage_) {
        AddPage(&grayPage_);
        imagePage_.SetPartner(&grayPage_);
        grayPage_.SetPartner(&imagePage_);
    }
}

CFilterDialog::~CFilterDialog() { openWindow_.Clear(); }

void CFilterDialog::OnInitDialog() {
    FitTabsToCaptions(GetDlgItem(Window(), IDC_FRAME_TAB));
    openWindow_.Set(Window());
}

// The window is destroyed once the modal loop ends: nothing may be posted to it from here on.
void CFilterDialog::OnOk() {
    openWindow_.Clear();
    CPropertyDialog::OnOk();
}

void CFilterDialog::OnCancel() {
    openWindow_.Clear();
    CPropertyDialog::OnCancel();
}

void CFilterDialog::OnDefault() {
    record_.brightness = 0;
    record_.contrast = 0;
    record_.hue = 0;
    record_.saturation = 0;
    record_.sharpness = 0;
    record_.bayerGainRed = 100;
    record_.bayerGainGreen = 100;
    record_.bayerGainBlue = 100;
    record_.gamma = 100;
    record_.bayerMode = 1;
    if (hasGrayPage_) {
        record_.grayGainR = 128;
        record_.grayGainG1 = 128;
        record_.grayGainG2 = 128;
        record_.grayGainB = 128;
        record_.grayOffsetR = 0;
        record_.grayOffsetG1 = 0;
        record_.grayOffsetG2 = 0;
        record_.grayOffsetB = 0;
    }
    ReloadPages();
}
