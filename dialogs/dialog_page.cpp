#include "dialogs/dialog_page.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "dialogs/dialog_resources.h"

CDialogPage::CDialogPage(int japaneseTemplate, int englishTemplate, const wchar_t* englishCaption,
                         const wchar_t* japaneseCaption)
    : templateId_(quorin::DialogTemplate(japaneseTemplate, englishTemplate)),
      caption_(quorin::DialogText(englishCaption, japaneseCaption)) {}

CDialogPage::~CDialogPage() {
    // The window normally goes with the frame; a page object ended first must not stay reachable.
    if (window_) {
        SetWindowLongPtrA(window_, DWLP_USER, 0);
        DestroyWindow(window_);
    }
}

HWND CDialogPage::Create(HWND parent) {
    return CreateDialogParamA(quorin::DialogModule(), MAKEINTRESOURCEA(templateId_), parent, &CDialogPage::PageProc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogPage::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Each page window carries its own object, so pages of several open dialogs never mix.
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        CDialogPage* page = reinterpret_cast<CDialogPage*>(lParam);
        page->window_ = window;
        return page->HandleMessage(message, wParam, lParam);
    }
    CDialogPage* page = reinterpret_cast<CDialogPage*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!page) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        page->window_ = nullptr;
        return FALSE;
    }
    return page->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialogPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            // The page shows the tab's body through it, as the frame does around it.
            EnableThemeDialogTexture(window_, ETDT_ENABLETAB);
            initialised_ = false;
            shown_.assign(triples_.size(), 0);
            for (size_t i = 0; i < triples_.size(); ++i) {
                SetUpTriple(triples_[i]);
                shown_[i] = *triples_[i].value;
            }
            OnInitPage();
            initialised_ = true;
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return quorin::LabelBackground(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_HSCROLL:
            if (lParam) OnScroll(reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (code == EN_CHANGE) OnEditChanged(id);
            return OnCommand(id, code, reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
        }
        default:
            return FALSE;
    }
}

void CDialogPage::SetUpTriple(const SliderTriple& triple) {
    const int32_t value = *triple.value;
    HWND slider = GetDlgItem(window_, triple.slider);
    HWND upDown = GetDlgItem(window_, triple.upDown);
    HWND edit = GetDlgItem(window_, triple.edit);
    SendMessageA(slider, TBM_SETRANGEMAX, FALSE, triple.maximum);
    SendMessageA(slider, TBM_SETRANGEMIN, TRUE, triple.minimum);
    // The range first, then the position. Some trackbars recompute the thumb only when the position
    // changes, so one left at 0 while the range moved around it would keep the thumb of the old
    // range: a quiet step through another position makes the last one move it.
    SendMessageA(slider, TBM_SETPOS, FALSE, value != triple.minimum ? triple.minimum : triple.maximum);
    SendMessageA(slider, TBM_SETPOS, TRUE, value);
    SendMessageA(slider, TBM_SETPAGESIZE, 0, triple.pageSize);
    SendMessageA(upDown, UDM_SETRANGE32, static_cast<WPARAM>(triple.minimum), triple.maximum);
    SendMessageA(upDown, UDM_SETPOS, 0, MAKELPARAM(LOWORD(value), 0));
    SendMessageA(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    SetEditValue(triple, value);
    EnableWindow(slider, triple.enabled);
    EnableWindow(edit, triple.enabled);
    EnableWindow(upDown, triple.enabled);
}

void CDialogPage::SetEditValue(const SliderTriple& triple, int32_t value) {
    SetDlgItemInt(window_, triple.edit, static_cast<UINT>(value), TRUE);
}

bool CDialogPage::ReadEditValue(int edit, int32_t* value) const {
    char text[32] = {};
    GetDlgItemTextA(window_, edit, text, sizeof(text));
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    // An empty box or a lone "-" while the user types is no value yet.
    if (end == text || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    while (*end == ' ') ++end;
    if (*end != '\0') return false;
    *value = static_cast<int32_t>(parsed);
    return true;
}

void CDialogPage::OnScroll(HWND slider) {
    for (size_t i = 0; i < triples_.size(); ++i) {
        const SliderTriple& triple = triples_[i];
        if (GetDlgItem(window_, triple.slider) != slider) continue;
        const int32_t position = static_cast<int32_t>(SendMessageA(slider, TBM_GETPOS, 0, 0));
        if (storeOnScroll_) *triple.value = position;
        shown_[i] = position;
        SetEditValue(triple, position);  // its change notice stores and passes the value on
        return;
    }
}

void CDialogPage::OnEditChanged(int edit) {
    if (!initialised_) return;
    for (size_t i = 0; i < triples_.size(); ++i) {
        const SliderTriple& triple = triples_[i];
        if (triple.edit != edit) continue;
        int32_t value = 0;
        if (!ReadEditValue(edit, &value)) return;
        // Not range-checked: a typed value outside the slider's range is stored as typed, and the
        // slider stops at its end.
        *triple.value = value;
        shown_[i] = value;
        SendMessageA(GetDlgItem(window_, triple.slider), TBM_SETPOS, TRUE, value);
        OnValueEdited(i, value);
        return;
    }
}

void CDialogPage::ShowRecordValue(size_t i) {
    const SliderTriple& triple = triples_[i];
    const int32_t value = *triple.value;
    SendMessageA(GetDlgItem(window_, triple.slider), TBM_SETPOS, TRUE, value);
    // A box that already shows the value is left alone, so text being typed survives the
    // pipeline's reload after every frame.
    int32_t shown = 0;
    if (!ReadEditValue(triple.edit, &shown) || shown != value) SetEditValue(triple, value);
    shown_[i] = value;
}

void CDialogPage::Reload() {
    if (!window_) return;
    const bool was = initialised_;
    initialised_ = false;
    for (size_t i = 0; i < triples_.size(); ++i) ShowRecordValue(i);
    OnReloadPage();
    initialised_ = was;
}

void CDialogPage::ReloadValue(int edit) {
    if (!window_) return;
    const bool was = initialised_;
    initialised_ = false;
    for (size_t i = 0; i < triples_.size(); ++i)
        if (triples_[i].edit == edit) ShowRecordValue(i);
    initialised_ = was;
}

void CDialogPage::Apply() {
    if (!window_) return;
    for (size_t i = 0; i < triples_.size(); ++i) {
        int32_t value = 0;
        if (ReadEditValue(triples_[i].edit, &value) && value != shown_[i]) *triples_[i].value = value;
    }
    OnApplyPage();
}
