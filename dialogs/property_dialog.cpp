#include "dialogs/property_dialog.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <string>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_page.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/dialog_window_slot.h"

namespace {

// Where each page sits inside the tab control, below the tabs.
const int kPageLeft = 30;
const int kPageTop = 25;

}  // namespace

CPropertyDialog::CPropertyDialog(int japaneseTemplate, int englishTemplate)
    : templateId_(quorin::DialogTemplate(japaneseTemplate, englishTemplate)),
      faceBrush_(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {}

CPropertyDialog::~CPropertyDialog() {
    Unlist();
    if (faceBrush_) DeleteObject(faceBrush_);
}

void CPropertyDialog::AddPage(CDialogPage* page) {
    tabs_.push_back(Tab{page->Caption(), page});
    pages_.push_back(page);
}

void CPropertyDialog::AddTab(const wchar_t* englishCaption, const wchar_t* japaneseCaption) {
    tabs_.push_back(Tab{quorin::DialogText(englishCaption, japaneseCaption), nullptr});
}

INT_PTR CPropertyDialog::Run(HWND parent) {
    quorin::InitDialogControls();
    made_ = false;
    const INT_PTR result = DialogBoxParamA(quorin::DialogModule(), MAKEINTRESOURCEA(templateId_), parent,
                                           &CPropertyDialog::FrameProc, reinterpret_cast<LPARAM>(this));
    // A dialog destroyed with its owner ends without a button: it was shown, and is taken as
    // cancelled so that the caller restores what it changed.
    if (made_ && result != IDOK && result != IDCANCEL) return IDCANCEL;
    return result;
}

bool CPropertyDialog::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
    HWND window = window_;
    return window && PostMessageA(window, message, wParam, lParam);
}

INT_PTR CALLBACK CPropertyDialog::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The object travels with its window: no process-wide pointer, one object per dialog.
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        CPropertyDialog* dialog = reinterpret_cast<CPropertyDialog*>(lParam);
        dialog->window_ = window;
        dialog->made_ = true;
        return dialog->HandleMessage(message, wParam, lParam);
    }
    CPropertyDialog* dialog = reinterpret_cast<CPropertyDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog) return FALSE;
    if (message == WM_DESTROY) {
        // From here on posted requests find no window; the pages go with their parent.
        dialog->Unlist();
        dialog->window_ = nullptr;
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        return FALSE;
    }
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CPropertyDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitFrame();
            OnInitDialog();
            if (openWindows_) {
                listed_ = window_;
                openWindows_->Add(listed_);
            }
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            switch (id) {
                case IDOK: OnOk(); return TRUE;
                case IDCANCEL: OnCancel(); return TRUE;
                case IDC_FRAME_DEFAULT: OnDefault(); return TRUE;
                case IDC_FRAME_APPLY: OnApply(); return TRUE;
                default: return OnCommand(id, code, reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
            }
        }
        case WM_CLOSE:
            OnCancel();
            return TRUE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && header->idFrom == IDC_FRAME_TAB && header->code == TCN_SELCHANGE) {
                ShowPage(static_cast<int>(SendMessageA(tab_, TCM_GETCURSEL, 0, 0)));
                return TRUE;
            }
            return FALSE;
        }
        case WM_DRAWITEM: {
            const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (!item || item->CtlID != IDC_FRAME_TAB) return FALSE;
            DrawTab(*item);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
            return quorin::LabelBackground(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case kReloadPagesMessage:
            ReloadPages();
            return TRUE;
        default:
            if (message >= WM_APP) return OnAppMessage(message, wParam, lParam) ? TRUE : FALSE;
            return FALSE;
    }
}

void CPropertyDialog::InitFrame() {
    tab_ = GetDlgItem(window_, IDC_FRAME_TAB);
    // The pages are children of the tab control: as a control parent it lets Tab and the pages'
    // mnemonics reach their controls.
    SetWindowLongPtrA(tab_, GWL_EXSTYLE, GetWindowLongPtrA(tab_, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    // Under a visual style the tab's body has the style's texture; the frame takes it too, so the
    // labels over the tab sit on the same texture as the body around them.
    EnableThemeDialogTexture(window_, ETDT_ENABLETAB);
    for (size_t i = 0; i < tabs_.size(); ++i) {
        std::string caption = quorin::ToAnsi(tabs_[i].caption);
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = &caption[0];
        SendMessageA(tab_, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        CDialogPage* page = tabs_[i].page;
        if (!page) continue;
        HWND pageWindow = page->Create(tab_);
        if (!pageWindow) continue;
        SetWindowPos(pageWindow, nullptr, kPageLeft, kPageTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(pageWindow, i == 0 ? SW_SHOW : SW_HIDE);
    }
}

void CPropertyDialog::ShowPage(int index) {
    for (size_t i = 0; i < tabs_.size(); ++i) {
        CDialogPage* page = tabs_[i].page;
        if (page && page->Window()) ShowWindow(page->Window(), static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
    }
}

void CPropertyDialog::DrawTab(const DRAWITEMSTRUCT& item) {
    char text[256] = {};
    TCITEMA tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = 255;
    SendMessageA(tab_, TCM_GETITEMA, item.itemID, reinterpret_cast<LPARAM>(&tab));
    const RECT& box = item.rcItem;
    FillRect(item.hDC, &box, faceBrush_);
    SetBkColor(item.hDC, GetSysColor(COLOR_BTNFACE));
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    const int length = lstrlenA(tab.pszText);
    SIZE extent = {};
    GetTextExtentPoint32A(item.hDC, tab.pszText, length, &extent);
    const int x = box.left + (box.right - box.left) / 2 - extent.cx / 2;
    const int y = box.top + (box.bottom - box.top) / 2 - extent.cy / 2;
    TextOutA(item.hDC, x, y, tab.pszText, length);
    // The owner draws the focus too: a dotted frame inside the selected tab while the control has it
    // (the control redraws its focused item when the focus comes or goes).
    if (GetFocus() == tab_ && static_cast<LRESULT>(item.itemID) == SendMessageA(tab_, TCM_GETCURSEL, 0, 0)) {
        RECT focus = box;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(item.hDC, &focus);
    }
}

void CPropertyDialog::ReloadPages() {
    for (CDialogPage* page : pages_) page->Reload();
}

void CPropertyDialog::OnOk() {
    for (CDialogPage* page : pages_) page->Apply();
    End(IDOK);
}

void CPropertyDialog::OnCancel() { End(IDCANCEL); }

void CPropertyDialog::Unlist() {
    if (openWindows_ && listed_) openWindows_->Remove(listed_);
    listed_ = nullptr;
}

// The window is destroyed once the modal loop ends: it leaves the list first.
void CPropertyDialog::End(INT_PTR result) {
    Unlist();
    HWND window = window_;
    if (window) EndDialog(window, result);
}
