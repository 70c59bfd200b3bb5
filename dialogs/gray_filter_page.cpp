#include "dialogs/gray_filter_page.h"

#include "dialogs/dialog_ids.h"

CGrayFilterPage::CGrayFilterPage(quorin::FilterSettings& record)
    : CFilterPage(IDD_GRAY_PAGE_JA, IDD_GRAY_PAGE_EN, L"Gray Filter",
                  L"\x30B0\x30EC\x30FC\x30D5\x30A3\x30EB\x30BF" /* グレーフィルタ */, record) {
    // The sliders span 0 to 400, wider than the API's ranges; the pipeline accepts what they store.
    std::atomic<int32_t>* const values[8] = {&record.grayGainR,    &record.grayGainG1,   &record.grayGainG2,
                                             &record.grayGainB,    &record.grayOffsetR,  &record.grayOffsetG1,
                                             &record.grayOffsetG2, &record.grayOffsetB};
    for (int k = 0; k < 8; ++k) {
        const int slider = IDC_GRAY_FIRST_SLIDER + 3 * k;
        AddValue(slider, slider + 1, slider + 2, 0, 400, 32, *values[k], true);
    }
}

void CGrayFilterPage::OnInitPage() {
    const int32_t mode = record_.grayMode;
    CheckDlgButton(window_, IDC_GRAY_MODE_BAYER, mode == 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window_, IDC_GRAY_MODE_BAYER_CONVERT, mode == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window_, IDC_GRAY_MODE_GRAYSCALE, mode == 2 ? BST_CHECKED : BST_UNCHECKED);
    ShowBayerMode();
    ShowAllFrames();
}

// The Bayer Mode buttons follow the record too: Default sets the mode the image page shows.
void CGrayFilterPage::OnReloadPage() {
    ShowBayerMode();
    ShowAllFrames();
}

void CGrayFilterPage::ShowAllFrames() {
    // Checked exactly while the gray gains are measured on every frame (a negative count).
    CheckDlgButton(window_, IDC_FILTER_ALL_FRAMES, record_.GrayGainAutoCount < 0 ? BST_CHECKED : BST_UNCHECKED);
}

bool CGrayFilterPage::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED) return false;
    if (OnBayerModeClicked(id)) return true;
    switch (id) {
        case IDC_GRAY_MODE_BAYER:
        case IDC_GRAY_MODE_BAYER_CONVERT:
        case IDC_GRAY_MODE_GRAYSCALE:
            record_.grayMode = id - IDC_GRAY_MODE_BAYER;
            return true;
        case IDC_FILTER_ALL_FRAMES:
            // What the box now shows: -1 measures on every frame until cleared. The box always shows
            // the record, so this is the record's toggle.
            record_.GrayGainAutoCount = IsDlgButtonChecked(window_, IDC_FILTER_ALL_FRAMES) == BST_CHECKED ? -1 : 0;
            return true;
        case IDC_FILTER_ONCE:
            // One pass instead of every frame.
            record_.GrayGainAutoCount = 1;
            CheckDlgButton(window_, IDC_FILTER_ALL_FRAMES, BST_UNCHECKED);
            return true;
        default:
            return false;
    }
}
