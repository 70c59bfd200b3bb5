// The property dialog exports on the camera: which dialog to run, and around the camera dialog the
// acquisition it stops or pauses and the stored format it takes over when the user chose OK.
#include <windows.h>

#include "camera/acquisition_modes.h"
#include "camera/quorin_camera.h"
#include "dialogs/camera_dialog.h"

int CQuorin::ShowDialog(int which, HWND parent) {
    if (!RequireDevice()) return 0;
    // An owner that is no window makes no dialog; checked before anything is stopped for it.
    if (parent && !IsWindow(parent)) return ReportError(QUORIN_ERR_WINDOW), 0;
    switch (which) {
        case kCameraDialog: return RunCameraDialog(parent);
        case kAnalogDialog: return RunAnalogDialog(parent);
        case kImageDialog: return RunFilterDialog(parent);
        default: return 0;
    }
}

CQuorin::HeldAcquisition CQuorin::HoldAcquisition() {
    switch (acquisitionMode_) {
        case quorin::kModeLive:
            StopPreview();
            return HeldAcquisition::Live;
        case quorin::kModeCapture:
            StopPreview();
            return HeldAcquisition::Capture;
        case quorin::kModeTrigger: {
            // The trigger worker keeps running but reads no frames while the flag is 2.
            int32_t running = 1;
            return runFlag_.compare_exchange_strong(running, 2) ? HeldAcquisition::Trigger : HeldAcquisition::None;
        }
        default:
            return HeldAcquisition::None;
    }
}

void CQuorin::ResumeAcquisition(HeldAcquisition held) {
    switch (held) {
        case HeldAcquisition::Live:
            StartPreview();
            break;
        case HeldAcquisition::Capture:
            Capture();
            break;
        case HeldAcquisition::Trigger: {
            // Unless the run was stopped meanwhile.
            int32_t paused = 2;
            runFlag_.compare_exchange_strong(paused, 1);
            break;
        }
        case HeldAcquisition::None:
            break;
    }
}

int CQuorin::RunCameraDialog(HWND parent) {
    // The format cannot change under a recording: stopping the live run for the dialog would end
    // the recording without a word.
    if (RecorderRunning()) return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    const HeldAcquisition held = HoldAcquisition();
    const int index = deviceIndex_;
    CCameraDialog dialog(index);
    const INT_PTR result = dialog.Run(parent);
    if (result == IDOK) {
        // The dialog has saved the format; the camera takes it from the registry.
        LoadStoredGeometry(index);
        LoadStoredFormatValues(index);
    }
    ResumeAcquisition(held);
    // A dialog that could not be made (no template, a bad parent window) was not shown.
    if (result != IDOK && result != IDCANCEL) return ReportError(QUORIN_ERR_WINDOW), 0;
    return 1;
}
