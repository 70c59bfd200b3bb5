#include "dialogs/filter_page.h"

#include "dialogs/dialog_ids.h"

CFilterPage::CFilterPage(int japaneseTemplate, int englishTemplate, const wchar_t* englishCaption,
                         const wchar_t* japaneseCaption, quorin::FilterSettings& record)
    : CDialogPage(japaneseTemplate, englishTemplate, englishCaption, japaneseCaption), record_(record) {
    StoreOnScroll(true);
}

void CFilterPage::AddValue(int slider, int edit, int upDown, int32_t minimum, int32_t maximum, int32_t pageSize,
                           std::atomic<int32_t>& value, bool enabled) {
    AddTriple({slider, edit, upDown, minimum, maximum, pageSize, &value, enabled});
}

void CFilterPage::ShowBayerMode() {
    if (!window_) return;
    const int32_t mode = record_.bayerMode;
    for (int i = 0; i < 4; ++i)
        CheckDlgButton(window_, IDC_FILTER_BAYER_MODE_0 + i, i == mode ? BST_CHECKED : BST_UNCHECKED);
}

bool CFilterPage::OnBayerModeClicked(int id) {
    if (id < IDC_FILTER_BAYER_MODE_0 || id > IDC_FILTER_BAYER_MODE_3) return false;
    record_.bayerMode = id - IDC_FILTER_BAYER_MODE_0;
    // Both pages apply their buttons on OK: the other one must not put back an older mode.
    if (partner_) partner_->ShowBayerMode();
    return true;
}

int CFilterPage::CheckedBayerMode() const {
    for (int i = 0; i < 4; ++i)
        if (IsDlgButtonChecked(window_, IDC_FILTER_BAYER_MODE_0 + i) == BST_CHECKED) return i;
    return -1;
}
