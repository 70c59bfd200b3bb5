// Quorin_SetAnalogDlg: the analog dialog over the camera's sensor values, with the device's state put
// back unless the user ends it with OK.
#include <atomic>
#include <cstddef>

#include "camera/quorin_camera.h"
#include "dialogs/analog_dialog.h"
#include "settings/analog_settings.h"
#include "settings/device_analog_adapter.h"

namespace {

using AnalogField = std::atomic<int32_t> quorin::AnalogSettings::*;
// The nine analog values, kept when the dialog opens and put back unless it ends with OK.
const AnalogField kAnalogFields[] = {
    &quorin::AnalogSettings::globalGain, &quorin::AnalogSettings::colorGainG1, &quorin::AnalogSettings::colorGainR,
    &quorin::AnalogSettings::colorGainB, &quorin::AnalogSettings::colorGainG2, &quorin::AnalogSettings::exposure,
    &quorin::AnalogSettings::mirrorV,    &quorin::AnalogSettings::mirrorH,     &quorin::AnalogSettings::autoIris,
};
const size_t kAnalogFieldCount = sizeof kAnalogFields / sizeof kAnalogFields[0];

}  // namespace

int CQuorin::RunAnalogDialog(HWND parent) {
    quorin::AnalogSettings& analog = values_.analog;
    quorin::AnalogDevice& device = *analogDevice_;
    // The dialog shows what the device holds now, whatever the record held.
    analog.globalGain = device.GetGain();
    analog.colorGainG1 = 0;
    analog.colorGainR = 0;
    analog.colorGainB = 0;
    analog.colorGainG2 = 0;
    analog.exposure = device.GetShutter();
    analog.mirrorV = device.GetMirrorV();
    analog.mirrorH = device.GetMirrorH();
    int32_t saved[kAnalogFieldCount];
    for (size_t i = 0; i < kAnalogFieldCount; ++i) saved[i] = (analog.*kAnalogFields[i]).load();
    const int32_t savedBayerMode = values_.filter.bayerMode;

    INT_PTR result;
    {
        CAnalogDialog dialog(analog, device, halfClock_, analogDialogWindow_);
        result = dialog.Run(parent);
    }
    if (result != IDOK) {
        // Between two frames, so an auto-iris step in flight cannot land after the restore.
        CriticalSectionLock hold(frameLock_);
        for (size_t i = 0; i < kAnalogFieldCount; ++i) analog.*kAnalogFields[i] = saved[i];
        values_.filter.bayerMode = savedBayerMode;
        // Gain, exposure, then the two mirrors, as the device had them.
        quorin::ApplyAnalogSettings(analog, device);
    }
    // A dialog that could not be made (no template, a bad parent window) was not shown.
    if (result != IDOK && result != IDCANCEL) return ReportError(QUORIN_ERR_WINDOW), 0;
    return 1;
}
