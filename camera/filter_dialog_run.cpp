// Quorin_SetImageDlg: the filter dialog over the camera's filter record, with the whole record put
// back unless the user ends it with OK.
#include <atomic>
#include <cstddef>

#include "camera/quorin_camera.h"
#include "dialogs/filter_dialog.h"

namespace {

using FilterField = std::atomic<int32_t> quorin::FilterSettings::*;

// Every word of the record but the white-balance pair, which is copied beside them.
const FilterField kFilterFields[] = {
    &quorin::FilterSettings::brightness,   &quorin::FilterSettings::contrast,
    &quorin::FilterSettings::hue,          &quorin::FilterSettings::saturation,
    &quorin::FilterSettings::sharpness,    &quorin::FilterSettings::bayerGainRed,
    &quorin::FilterSettings::bayerGainGreen, &quorin::FilterSettings::bayerGainBlue,
    &quorin::FilterSettings::gamma,        &quorin::FilterSettings::bayerMode,
    &quorin::FilterSettings::grayMode,     &quorin::FilterSettings::grayGainR,
    &quorin::FilterSettings::grayGainG1,   &quorin::FilterSettings::grayGainG2,
    &quorin::FilterSettings::grayGainB,    &quorin::FilterSettings::grayOffsetR,
    &quorin::FilterSettings::grayOffsetG1, &quorin::FilterSettings::grayOffsetG2,
    &quorin::FilterSettings::grayOffsetB,  &quorin::FilterSettings::bayerGainAuto,
    &quorin::FilterSettings::GrayGainAutoCount,
};
const size_t kFilterFieldCount = sizeof kFilterFields / sizeof kFilterFields[0];

struct FilterCopy {
    int32_t fields[kFilterFieldCount];
    int32_t whiteBalanceOnce[2];
};

FilterCopy CopyOf(const quorin::FilterSettings& record) {
    FilterCopy copy;
    for (size_t i = 0; i < kFilterFieldCount; ++i) copy.fields[i] = (record.*kFilterFields[i]).load();
    copy.whiteBalanceOnce[0] = record.WhiteBalanceOnce[0];
    copy.whiteBalanceOnce[1] = record.WhiteBalanceOnce[1];
    return copy;
}

void Restore(quorin::FilterSettings& record, const FilterCopy& copy) {
    for (size_t i = 0; i < kFilterFieldCount; ++i) record.*kFilterFields[i] = copy.fields[i];
    record.WhiteBalanceOnce[0] = copy.whiteBalanceOnce[0];
    record.WhiteBalanceOnce[1] = copy.whiteBalanceOnce[1];
}

}  // namespace

int CQuorin::RunFilterDialog(HWND parent) {
    quorin::FilterSettings& filter = values_.filter;
    const FilterCopy saved = CopyOf(filter);
    INT_PTR result;
    {
        CFilterDialog dialog(filter, FilterEnableFlagsFor(colourType_), filterDialogWindow_);
        result = dialog.Run(parent);
    }
    if (result != IDOK) {
        // Between two frames, so an automatic measurement in flight cannot land after the restore.
        CriticalSectionLock hold(frameLock_);
        Restore(filter, saved);
    }
    // A dialog that could not be made (no template, a bad parent window) was not shown.
    if (result != IDOK && result != IDCANCEL) return ReportError(QUORIN_ERR_WINDOW), 0;
    return 1;
}
