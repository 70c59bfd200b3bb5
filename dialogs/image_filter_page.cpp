#include "dialogs/image_filter_page.h"

#include "dialogs/dialog_ids.h"

CImageFilterPage::CImageFilterPage(quorin::FilterSettings& record, const FilterEnableFlags& flags)
    : CFilterPage(IDD_IMAGE_PAGE_JA, IDD_IMAGE_PAGE_EN, L"Image Filter",
                  L"\x753B\x50CF\x30D5\x30A3\x30EB\x30BF" /* 画像フィルタ */, record),
      flags_(flags) {
    const bool* on = flags.on;
    AddValue(IDC_IMAGE_BRIGHTNESS_SLIDER, IDC_IMAGE_BRIGHTNESS_EDIT, IDC_IMAGE_BRIGHTNESS_SPIN, -255, 255, 64,
             record.brightness, on[kEnableBrightness]);
    AddValue(IDC_IMAGE_CONTRAST_SLIDER, IDC_IMAGE_CONTRAST_EDIT, IDC_IMAGE_CONTRAST_SPIN, -127, 127, 32,
             record.contrast, on[kEnableContrast]);
    AddValue(IDC_IMAGE_HUE_SLIDER, IDC_IMAGE_HUE_EDIT, IDC_IMAGE_HUE_SPIN, -360, 360, 90, record.hue,
             on[kEnableHue]);
    AddValue(IDC_IMAGE_SATURATION_SLIDER, IDC_IMAGE_SATURATION_EDIT, IDC_IMAGE_SATURATION_SPIN, -255, 255, 64,
             record.saturation, on[kEnableSaturation]);
    AddValue(IDC_IMAGE_SHARPNESS_SLIDER, IDC_IMAGE_SHARPNESS_EDIT, IDC_IMAGE_SHARPNESS_SPIN, 0, 30, 4,
             record.sharpness, on[kEnableSharpness]);
    AddValue(IDC_IMAGE_R_GAIN_SLIDER, IDC_IMAGE_R_GAIN_EDIT, IDC_IMAGE_R_GAIN_SPIN, 0, 400, 32, record.bayerGainRed,
             on[kEnableRedGain]);
    AddValue(IDC_IMAGE_G_GAIN_SLIDER, IDC_IMAGE_G_GAIN_EDIT, IDC_IMAGE_G_GAIN_SPIN, 0, 400, 32,
             record.bayerGainGreen, on[kEnableGreenGain]);
    AddValue(IDC_IMAGE_B_GAIN_SLIDER, IDC_IMAGE_B_GAIN_EDIT, IDC_IMAGE_B_GAIN_SPIN, 0, 400, 32,
             record.bayerGainBlue, on[kEnableBlueGain]);
    AddValue(IDC_IMAGE_GAMMA_SLIDER, IDC_IMAGE_GAMMA_EDIT, IDC_IMAGE_GAMMA_SPIN, 0, 200, 32, record.gamma,
             on[kEnableGamma]);
}

void CImageFilterPage::OnInitPage() {
    const BOOL colour = flags_.on[kEnableWhiteBalance] ? TRUE : FALSE;
    EnableWindow(GetDlgItem(window_, IDC_FILTER_ONCE), colour);
    EnableWindow(GetDlgItem(window_, IDC_FILTER_ALL_FRAMES), colour);
    for (int id = IDC_FILTER_BAYER_MODE_0; id <= IDC_FILTER_BAYER_MODE_3; ++id)
        EnableWindow(GetDlgItem(window_, id), colour);
    ShowBayerMode();
    ShowAllFrames();
}

void CImageFilterPage::OnReloadPage() {
    ShowBayerMode();
    ShowAllFrames();
}

void CImageFilterPage::ShowAllFrames() {
    // Checked exactly while a white balance runs on every frame; a pending "Once" is not that.
    const bool everyFrame = record_.bayerGainAuto != 0 && record_.WhiteBalanceOnce[0] == 0 &&
                            record_.WhiteBalanceOnce[1] == 0;
    CheckDlgButton(window_, IDC_FILTER_ALL_FRAMES, everyFrame ? BST_CHECKED : BST_UNCHECKED);
}

void CImageFilterPage::OnApplyPage() {
    const int mode = CheckedBayerMode();
    if (mode >= 0) record_.bayerMode = mode;
}

bool CImageFilterPage::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED) return false;
    if (OnBayerModeClicked(id)) return true;
    switch (id) {
        case IDC_FILTER_ALL_FRAMES:
            // A white balance on every frame while checked.
            record_.WhiteBalanceOnce[0] = 0;
            record_.WhiteBalanceOnce[1] = 0;
            record_.bayerGainAuto = IsDlgButtonChecked(window_, IDC_FILTER_ALL_FRAMES) == BST_CHECKED ? 1 : 0;
            return true;
        case IDC_FILTER_ONCE:
            // One white balance, after which the pipeline clears all three. The pair is set before
            // the request, so the pipeline never sees the request without it.
            record_.WhiteBalanceOnce[0] = 1;
            record_.WhiteBalanceOnce[1] = 1;
            record_.bayerGainAuto = 1;
            CheckDlgButton(window_, IDC_FILTER_ALL_FRAMES, BST_UNCHECKED);
            return true;
        default:
            return false;
    }
}
