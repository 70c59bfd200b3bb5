#include "dialogs/filter_dialog.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/fit_tabs.h"

CFilterDialog::CFilterDialog(quorin::FilterSettings& record, const FilterEnableFlags& flags,
                             DialogWindowSlot& openWindows)
    : CPropertyDialog(IDD_FILTER_FRAME_JA, IDD_FILTER_FRAME_EN),
      record_(record), hasGrayPage_(flags.on[kEnableGrayPage]),
      imagePage_(record, flags), grayPage_(record) {
    AddPage(&imagePage_);
    if (hasGrayPage_) {
        AddPage(&grayPage_);
        imagePage_.SetPartner(&grayPage_);
        grayPage_.SetPartner(&imagePage_);
    }
    ListIn(openWindows);
}

void CFilterDialog::OnInitDialog() { FitTabsToCaptions(GetDlgItem(Window(), IDC_FRAME_TAB)); }

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
