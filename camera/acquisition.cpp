// The camera object's acquisition control: preparation of the buffer set and the sensor, the
// mode transitions (live, capture, trigger, stop), snapshots, the copy of processed frames to the
// caller, the capture window and still files. The worker loops are in acquisition_worker.cpp.
#include <cstring>

#include <windows.h>
#include <mmsystem.h>

#include "camera/acquisition_modes.h"
#include "camera/quorin_camera.h"
#include "camera/wide_path.h"
#include "dialogs/analog_dialog.h"
#include "dialogs/property_dialog.h"
#include "device/quorin_m52dx_ltx_sdk.h"
#include "files/still_image_writer.h"
#include "imaging/colour_modes.h"
#include "imaging/dib_image.h"
#include "settings/camera_format_store.h"
#include "settings/exposure_model.h"
#include "settings/size_entry.h"

using quorin::AcquisitionCall;
using quorin::ModeVerdict;

namespace {

const DWORD kClockSettleMs = 100;

// Makes image w x h at bits unless it already is exactly that (its pixels are then kept, so a
// repeated preparation does not reallocate). 1 or 0.
int EnsureImage(CDibImage& image, int w, int h, uint16_t bits) {
    if (image.bits && image.width == w && image.height == h && image.bitCount == bits) return 1;
    return image.Create(w, h, bits);
}

}  // namespace

// ---- Buffer set ------------------------------------------------------------------------------------

CDibImage* CQuorin::RawImageOf(int colourType) const {
    return ColourTypeUsesRaw16(colourType) ? image16_ : image8_;
}

CDibImage* CQuorin::OutputImageOf(int colourType) const {
    switch (colourType) {
        case 0: return image8_;
        case 1: return image16_;
        case 2: return image24_;
        case 3: return image32_;
        case 4: return image48_;
        case 5: return image64_;
        default: return nullptr;
    }
}

CDibImage* CQuorin::OutputImage() const { return OutputImageOf(frameType_ >= 0 ? frameType_ : colourType_.load()); }

FrameBuffers CQuorin::PreparedBuffers() const {
    FrameBuffers b;
    b.image8 = image8_;
    b.image16 = image16_;
    b.image24 = image24_;
    b.image32 = image32_;
    b.image48 = image48_;
    b.image64 = image64_;
    b.workImage = workImage_;
    return b;
}

// ---- Preparation -----------------------------------------------------------------------------------

int CQuorin::Prepare() {
    const int index = device_->GetSelectedIndex();
    // A camera missing at the last probe may have been plugged in since.
    if (!device_->IsDevicePresent(index)) device_->ProbeDevices();
    if (!device_->IsDevicePresent(index) || IsDeviceInUse(index)) return ReportError(QUORIN_ERR_DEVICE_BUSY), 0;
    if (!IsCaptureWindowValid()) return ReportError(QUORIN_ERR_CAPTURE_WINDOW), 0;

    // Geometry and colour type are read once here: they hold for the buffer set until the next
    // preparation, whatever the setters store meanwhile.
    const int type = colourType_;
    const int divisor = quorin::CaptureSizeDivisor(subSample_);
    const int w = width_ / divisor, h = height_ / divisor;
    {
        CriticalSectionLock hold(frameLock_);
        frameType_ = type;
        imageReady_ = 0;
        bool made = true;
        if (made && type >= 0 && type <= 3) {
            made = EnsureImage(*image8_, w, h, 8) != 0;
            if (made) image8_->SetPalette(kDibPaletteGray, nullptr, 0, 256);
        }
        if (made && (type == 1 || type == 4 || type == 5)) made = EnsureImage(*image16_, w, h, 16) != 0;
        if (made && (type == 0 || (type >= 2 && type <= 5))) made = EnsureImage(*image24_, w, h, 24) != 0;
        if (made && type == 3) made = EnsureImage(*image32_, w, h, 32) != 0;
        if (made && type == 4) made = EnsureImage(*image48_, w, h, 48) != 0;
        if (made && type == 5) made = EnsureImage(*image64_, w, h, 64) != 0;
        CDibImage* output = OutputImageOf(type);
        if (made) made = output != nullptr && output->bits != nullptr;
        if (made) made = workImage_->CreateLike(output) != 0;
        if (!made) return ReportError(QUORIN_ERR_MEMORY), 0;
        FitDisplayImageToWindow(type);
    }

    device_->SetWordMode(ColourTypeUsesRaw16(type));

    // Only the three clock modes the sensor knows reach its clock port; any other stored value
    // leaves the clock as it is.
    const int wantedClock = halfClock_;
    if (wantedClock >= 0 && wantedClock <= 2) {
        int currentClock = -1;
        if (!device_->GetHalfClock(&currentClock)) currentClock = -1;
        if (currentClock != wantedClock) {
            device_->SetHalfClock(wantedClock);
            Sleep(kClockSettleMs);
            device_->SensorStartUp();
        }
    }

    // A window the sensor refuses would leave the frames at another geometry than the buffers,
    // and a window without frame buffers would deliver no frames.
    if (!ProgramSensorWindow()) return 0;
    device_->SetMirrorV(values_.analog.mirrorV);
    device_->SetMirrorH(values_.analog.mirrorH);
    device_->SetTriggerMode(0);
    device_->SetGain(static_cast<uint16_t>(values_.analog.globalGain.load()));
    device_->SetShutter(static_cast<uint16_t>(values_.analog.exposure.load()));
    quorin::ReadRealExposureTime(values_.exposureModel, values_.analog, halfClock_);
    return 1;
}

int CQuorin::ProgramSensorWindow() {
    const int result = device_->SetCaptureWindow(hStart_, vStart_, width_, height_, subSample_);
    if (result == quorin::DEV_OK) return 1;
    // Out of memory for the frame buffers is 5; a window the sensor refuses is 7.
    ReportError(result == quorin::DEV_NO_MEMORY ? QUORIN_ERR_MEMORY : QUORIN_ERR_CAPTURE_WINDOW);
    return 0;
}

// ---- Mode transitions ------------------------------------------------------------------------------

void CQuorin::SetFrameDestination(HWND window, BYTE* buffer, int size, int topDown) {
    // Under frameLock: the worker reads the destination inside it, so it never copies into a
    // buffer the caller has just replaced.
    CriticalSectionLock hold(frameLock_);
    callbackWindow_ = window;
    callerBuffer_ = buffer;
    callerBufferSize_ = size;
    callerTopDown_ = topDown;
}

bool CQuorin::EndLostRun() {
    const int mode = acquisitionMode_;
    if (!device_ || (mode != quorin::kModeLive && mode != quorin::kModeTrigger)) return true;
    // A worker that found the device lost has cleared the run flag and is about to end: wait for
    // it, so a call made as soon as the lost notice arrives sees the run as ended.
    if (!workerDone_ || WaitForSingleObject(workerDone_, runFlag_ == 0 ? INFINITE : 0) != WAIT_OBJECT_0)
        return true;
    StopPreview();
    // A fresh probe: the camera may have been plugged in again since the run was lost.
    device_->ProbeDevices();
    if (device_->IsDevicePresent(device_->GetSelectedIndex())) return true;
    ReportError(QUORIN_ERR_DEVICE_LOST);
    CriticalSectionLock hold(frameLock_);
    PostFrameNotice(0, QUORIN_ERR_DEVICE_LOST);
    return false;
}

bool CQuorin::RequireImages() {
    if (image8_ && image16_ && image24_ && image32_ && image48_ && image64_ && workImage_ && displayImage_)
        return true;
    ReportError(QUORIN_ERR_MEMORY);
    return false;
}

int CQuorin::Preview() { return CallBackPreview(nullptr, nullptr, 0, 0); }

int CQuorin::CallBackPreview(HWND window, BYTE* buffer, int size, int topDown) {
    if (device_ && !RequireImages()) return 0;
    SetFrameDestination(window, buffer, size, topDown);
    if (!EndLostRun()) return 0;
    const int mode = acquisitionMode_;
    // Already live: the running worker delivers to the new destination and paints the window it has.
    if (mode == quorin::kModeLive) return 1;
    // The window is made only from idle, where no worker paints; from capture or trigger mode the
    // start below refuses.
    if (device_ && mode == quorin::kModeIdle && !OpenPreviewWindow()) return 0;
    if (StartPreview()) return 1;
    Close();
    ReportError(QUORIN_ERR_FRAME_READ);
    return 0;
}

int CQuorin::StartPreview() {
    if (!RequireDevice() || !RequireImages() || !EndLostRun()) return 0;
    const quorin::ModeDecision rule = quorin::DecideAcquisitionCall(AcquisitionCall::StartLive, acquisitionMode_);
    if (rule.verdict == ModeVerdict::AlreadyOn) return 1;
    if (rule.verdict == ModeVerdict::Conflict) return ReportError(rule.code), 0;

    if (!Prepare()) return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    const int index = device_->GetSelectedIndex();
    if (!ClaimDevice(index)) return ReportError(QUORIN_ERR_NO_DEVICE), 0;  // another client was quicker
    // The transfer runs before the worker's first wait: a wait on a transfer that has not started
    // would read as a lost device.
    device_->SetTriggerMode(0);
    if (device_->StartTransfer() != 0) {
        ReleaseDevice(index);
        return ReportError(QUORIN_ERR_DEVICE_REFUSED), 0;
    }
    acquisitionMode_ = quorin::kModeLive;
    frameCount_ = 0;
    fps10_ = 0;
    fpsWindowStart_ = timeGetTime();
    runFlag_ = 1;
    if (!CreateWorker()) {
        StopPreview();
        return ReportError(QUORIN_ERR_THREAD), 0;
    }
    return 1;
}

int CQuorin::Capture() {
    if (!RequireDevice() || !RequireImages()) return 0;
    const quorin::ModeDecision rule = quorin::DecideAcquisitionCall(AcquisitionCall::Capture, acquisitionMode_);
    if (rule.verdict == ModeVerdict::AlreadyOn) return 1;
    if (rule.verdict == ModeVerdict::Conflict) return ReportError(rule.code), 0;
    if (!Prepare()) return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    // Capture keeps the device's snapshot channel open, so it holds the device like the others.
    if (!ClaimDevice(device_->GetSelectedIndex())) return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    acquisitionMode_ = quorin::kModeCapture;
    return 1;
}

int CQuorin::Trigger(HWND window, BYTE* buffer, int size, int topDown) {
    if (!RequireDevice() || !RequireImages()) return 0;
    if (acquisitionMode_ == quorin::kModeTrigger) SetFrameDestination(window, buffer, size, topDown);
    if (!EndLostRun()) return 0;
    const quorin::ModeDecision rule = quorin::DecideAcquisitionCall(AcquisitionCall::Trigger, acquisitionMode_);
    if (rule.verdict == ModeVerdict::Conflict) return ReportError(rule.code), 0;
    SetFrameDestination(window, buffer, size, topDown);
    // Already triggering: the running worker delivers to the new destination from its next frame.
    if (rule.verdict == ModeVerdict::AlreadyOn) return 1;

    if (!OpenPreviewWindow()) return 0;
    if (!Prepare()) {
        Close();
        return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    }
    const int index = device_->GetSelectedIndex();
    if (!ClaimDevice(index)) {
        Close();
        return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    }
    acquisitionMode_ = quorin::kModeTrigger;
    triggerTimeout_ = 3000;
    device_->SetDriverParameter(triggerTimeout_);
    device_->SetTriggerMode(1);
    triggerFrames_ = 0;
    runFlag_ = 1;
    if (!CreateWorker()) {
        Close();
        return ReportError(QUORIN_ERR_THREAD), 0;
    }
    return 1;
}

void CQuorin::LeaveAcquisitionMode() {
    const int mode = acquisitionMode_.exchange(quorin::kModeIdle);
    if (mode == quorin::kModeIdle) return;
    const bool snapshotChannel = mode == quorin::kModeCapture || mode == quorin::kModeTrigger;
    device_->SetTriggerMode(0);
    // Closing the snapshot channel cancels a trigger read that waits for a pulse, and stopping
    // the transfer wakes a live worker that waits for a frame: the worker ends at once.
    if (snapshotChannel) device_->CloseSnapHandle();
    device_->StopTransfer();
    EndWorker();
    if (mode == quorin::kModeLive) latency_.EndRun();
    if (snapshotChannel) device_->CloseSnapHandle();  // reopened by a read begun meanwhile
    if (claimedIndex_ >= 0) ReleaseDevice(claimedIndex_);
}

int CQuorin::StopPreview() {
    runFlag_ = 0;
    workerStop_.Cut();
    if (!RequireDevice()) return 0;
    LeaveAcquisitionMode();
    EndWorker();  // a worker left from a failed start
    EndRecorder();  // the recording file is finished before the recorder ends
    return 1;
}

int CQuorin::Close() {
    // The worker ends first, so no paint is running when the window and its DC go.
    StopPreview();
    ClosePreviewWindow();
    imageReady_ = 0;
    if (device_) device_->CloseSnapHandle();
    return 1;
}

// ---- Snapshot and frame delivery ---------------------------------------------------------------------

int CQuorin::SnapShot(BYTE* buffer, int size, int topDown) {
    if (!RequireDevice() || !RequireImages()) return 0;
    const int mode = acquisitionMode_;
    const quorin::ModeDecision rule = quorin::DecideAcquisitionCall(AcquisitionCall::SnapShot, mode);
    if (rule.verdict == ModeVerdict::Conflict) return ReportError(rule.code), 0;
    const bool capturing = mode == quorin::kModeCapture;
    if (!capturing && !Prepare()) return ReportError(QUORIN_ERR_NO_DEVICE), 0;

    CriticalSectionLock hold(frameLock_);
    const int type = frameType_;
    CDibImage* raw = RawImageOf(type);
    const bool read = device_->SnapFrame() == 0;
    bool unpacked = false;
    if (read && raw && raw->bits) {
        const size_t bytes = static_cast<size_t>(raw->stride) * raw->height;
        unpacked = device_->WindowBytes() <= bytes && device_->FetchSnapFrame(raw->bits, bytes) == 0;
    }
    if (!capturing) device_->CloseSnapHandle();
    if (!read || !unpacked) {
        if (read) PostFrameNotice(0, QUORIN_ERR_FRAME_READ);
        return ReportError(QUORIN_ERR_FRAME_READ), 0;
    }
    ProcessRawFrame(*raw, type);
    if (buffer && size) {
        CDibImage* output = OutputImageOf(type);
        // The copy reports its own 5; the snapshot adds its failure.
        if (!output || !CopyFrame(*output, topDown, buffer, size)) return ReportError(QUORIN_ERR_MEMORY), 0;
    }
    return 1;
}

int CQuorin::CopyFrame(const CDibImage& image, int topDown, BYTE* buffer, int size) {
    const int64_t bytes = static_cast<int64_t>(image.height) * image.stride;
    if (!buffer || !image.bits || size < bytes) {
        PostFrameNotice(0, QUORIN_ERR_MEMORY);
        ReportError(QUORIN_ERR_MEMORY);
        return 0;
    }
    for (int32_t row = 0; row < image.height; ++row) {
        const int32_t from = topDown ? row : image.height - 1 - row;
        std::memcpy(buffer + static_cast<size_t>(row) * image.stride,
                    image.bits + static_cast<size_t>(from) * image.stride, image.stride);
    }
    return 1;
}

void CQuorin::PostFrameNotice(WPARAM info, LPARAM code) {
    // A null frame window would queue the notice to whichever thread posts it.
    if (callbackWindow_) PostMessageA(callbackWindow_, QUORIN_WM_FRAME, info, code);
}

int CQuorin::GetImage(BYTE* buffer, int size, int topDown) {
    if (!RequireDevice() || !RequireImages()) return 0;
    CriticalSectionLock hold(frameLock_);
    CDibImage* image = OutputImage();
    if (!image) return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    if (!image->bits || !buffer) return ReportError(QUORIN_ERR_MEMORY), 0;
    if (!CopyFrame(*image, topDown, buffer, size)) return ReportError(QUORIN_ERR_MEMORY), 0;
    return 1;
}

// ---- Capture window ----------------------------------------------------------------------------------

int CQuorin::SetCaptureWindow(int w, int h) {
    if (!RequireDevice()) return 0;
    // The size list is read from this camera's own key "Camera_NN\Size_MM", where the library
    // stores and loads it; only when that key holds no entries are "Size_MM" keys directly under
    // the product key read, as older installations kept them there.
    std::vector<quorin::SizeEntry> table;
    if (!quorin::ReadSizeTable(deviceIndex_, &table)) return ReportError(QUORIN_ERR_WINDOW), 0;
    const quorin::SizeEntry* row = quorin::FindSizeEntry(table, w, h);
    if (!row) return ReportError(QUORIN_ERR_WINDOW), 0;
    hTotal_ = row->hTotal;
    vTotal_ = row->vTotal;
    width_ = row->width;
    height_ = row->height;
    hStart_ = row->hStart;
    vStart_ = row->vStart;
    bufferCount_ = row->bufferCount;
    if (!IsCaptureWindowValid()) {
        ReportError(QUORIN_ERR_CAPTURE_WINDOW);
        ResetCaptureWindowToSensor();
    }
    // While acquiring the new window waits for the next preparation.
    if (acquisitionMode_ != quorin::kModeIdle) return 1;
    if (!ProgramSensorWindow()) return 0;
    return 1;
}

int CQuorin::SetCaptureWindowEx(int hTotal, int hStart, int hEffective, int vTotal, int vStart, int vEffective) {
    if (!RequireDevice()) return 0;
    hTotal_ = hTotal;
    hStart_ = hStart;
    width_ = hEffective;
    vTotal_ = vTotal;
    vStart_ = vStart;
    height_ = vEffective;
    if (!IsCaptureWindowValid()) return ReportError(QUORIN_ERR_CAPTURE_WINDOW), 0;
    if (acquisitionMode_ != quorin::kModeIdle) return 1;
    if (!ProgramSensorWindow()) return 0;
    return 1;
}

// ---- Still files -------------------------------------------------------------------------------------

// Called with frameLock held.
int CQuorin::SaveLocked(const char* path, int fileType) {
    CDibImage* image = OutputImage();
    if (!image || !image->bits) return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    if (!path || !*path) return ReportError(QUORIN_ERR_PARAMETER), 0;
    // 16-bit samples carry the sensor's 10 significant bits.
    return SaveStillImage(path, *image, fileType, 10);
}

int CQuorin::SaveImage(const char* path, int fileType) {
    if (!RequireDevice() || !RequireImages()) return 0;
    if (!imageReady_) return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    CriticalSectionLock hold(frameLock_);
    return SaveLocked(path, fileType);
}

int CQuorin::SaveImageW(const wchar_t* path, int fileType) {
    if (!RequireDevice() || !RequireImages()) return 0;
    char ansi[kAnsiPathBytes];
    CriticalSectionLock hold(frameLock_);
    if (!path) return ReportError(QUORIN_ERR_PARAMETER), 0;
    if (!WideToAnsi(path, ansi, sizeof ansi)) return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    return SaveLocked(ansi, fileType);
}

// ---- Pipeline listener -------------------------------------------------------------------------------

// Called by the pipeline with frameLock held: the open dialog is only posted to, never sent to, so
// the acquisition thread never waits on the dialog's thread (which may be waiting for frameLock).
void CQuorin::FilterDialogRefresh() { filterDialogWindow_.Post(CPropertyDialog::kReloadPagesMessage, 0, 0); }

void CQuorin::AnalogDialogValue(int controlId, int value) {
    analogDialogWindow_.Post(CAnalogDialog::kAutoIrisValueMessage, static_cast<WPARAM>(controlId),
                             static_cast<LPARAM>(value));
}
