// Quorin_SetAnalogDlg: the analog dialog over the camera's sensor values, with the device's state put
// back unless the user ends it with OK.
#include "camera/quorin_camera.h"
#include "dialogs/analog_dialog.h"
#include "settings/device_analog_adapter.h"

namespace {

// The nine analog values and the Bayer mode as they were when the dialog opened.
struct AnalogCopy {
    int32_t globalGain, colorGainG1, colorGainR, colorGainB, colorGainG2, exposure;
    int32_t mirrorV, mirrorH, autoIris, bayerMode;
};

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
    const AnalogCopy saved = {analog.globalGain, analog.colorGainG1, analog.colorGainR, analog.colorGainB,
                              analog.colorGainG2, analog.exposure,   analog.mirrorV,    analog.mirrorH,
                              analog.autoIris,   values_.filter.bayerMode};

    INT_PTR result;
    {
        CAnalogDialog dialog(analog, device, halfClock_, analogDialogWindow_);
        result = dialog.Run(parent);
    }
    if (result != IDOK) {
        // Between two frames, so an auto-iris step in flight cannot land after the restore.
        CriticalSectionLock hold(frameLock_);
        device.SetGain(static_cast<uint16_t>(saved.globalGain));
        device.SetShutter(static_cast<uint16_t>(saved.exposure));
        device.SetMirrorV(saved.mirrorV);
        device.SetMirrorH(saved.mirrorH);
        analog.globalGain = saved.globalGain;
        analog.colorGainG1 = saved.colorGainG1;
        analog.colorGainR = saved.colorGainR;
        analog.colorGainB = saved.colorGainB;
        analog.colorGainG2 = saved.colorGainG2;
        analog.exposure = saved.exposure;
        analog.mirrorV = saved.mirrorV;
        analog.mirrorH = saved.mirrorH;
        analog.autoIris = saved.autoIris;
        values_.filter.bayerMode = saved.bayerMode;
    }
    // A dialog that could not be made (no template, a bad parent window) was not shown.
    if (result != IDOK && result != IDCANCEL) return ReportError(QUORIN_ERR_WINDOW), 0;
    return 1;
}
