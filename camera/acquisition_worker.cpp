// The camera's acquisition worker: the live loop over the streamed frames, the trigger loop over
// externally triggered reads, the frame-rate measurement and the per-frame delivery (unpack,
// pipeline, copy to the caller, frame notice).
#include <windows.h>
#include <mmsystem.h>

#include "camera/acquisition_modes.h"
#include "camera/camera_thread.h"
#include "camera/frame_info_pool.h"
#include "camera/quorin_camera.h"
#include "device/quorin_m52dx_ltx_sdk.h"
#include "imaging/colour_modes.h"
#include "imaging/convert_kernels.h"
#include "imaging/pixel_runner.h"

namespace {

// Pause after a trigger read that failed at once (camera unplugged), so the loop does not spin.
const DWORD kFailedReadPauseMs = 100;
// Poll interval of a paused worker.
const DWORD kPausedPollMs = 10;

}  // namespace

bool CQuorin::CreateWorker() {
    if (StartCameraThread(&CQuorin::WorkerMain, this, workerThread_, workerThreadId_, workerDone_, workerStop_))
        return true;
    runFlag_ = 0;
    return false;
}

void CQuorin::EndWorker() { EndCameraThread(workerThread_, workerThreadId_, workerDone_, workerStop_); }

DWORD WINAPI CQuorin::WorkerMain(LPVOID param) {
    CQuorin* self = static_cast<CQuorin*>(param);
    if (self->acquisitionMode_ == quorin::kModeTrigger)
        self->TriggerLoop();
    else
        self->LiveLoop();
    SetEvent(self->workerDone_);
    return 0;
}

bool CQuorin::PauseWorker(DWORD ms) { return workerStop_.Pause(ms) && runFlag_ != 0; }

int CQuorin::MeasureFrameRate() {
    ++frameCount_;
    const DWORD elapsed = timeGetTime() - fpsWindowStart_;
    if (elapsed > 1000) {
        fps10_ = static_cast<int32_t>(frameCount_ * 10000.0 / elapsed);
        frameCount_ = 0;
        fpsWindowStart_ = timeGetTime();
    }
    return fps10_;
}

void CQuorin::ProcessRawFrame(CDibImage& raw, int colourType) {
    // Frames arrive packed; rows wider than the packed width are spread to the stride in place.
    const int sampleBytes = raw.bitCount / 8;
    if (raw.stride > raw.width * sampleBytes)
        RunPixelKernel(raw, sampleBytes == 2 ? RepackRows16 : RepackRows8, raw, nullptr, 0, 0, nullptr, nullptr);
    pipeline_->Run(PreparedBuffers(), colourType);
    imageReady_ = 1;
}

QuorinFrameInfo* CQuorin::FillFrameInfo(const CDibImage& raw, int colourType, int fps10, uint32_t frameNumber) {
    // Each notice gets its own block: the one posted kFrameInfoRotation notices ago is reused.
    QuorinFrameInfo* info = frameInfo_ + frameInfoNext_;
    frameInfoNext_ = (frameInfoNext_ + 1) % kFrameInfoRotation;
    info->size = sizeof(QuorinFrameInfo);
    info->width = raw.width;
    info->height = raw.height;
    info->bitsPerPixel = BitCountOfColourType(colourType);
    info->fps10 = fps10;
    info->frameNumber = frameNumber;
    info->data = callerBuffer_;
    return info;
}

int CQuorin::CopyToCallerLocked(int colourType) {
    if (!callerBuffer_ || callerBufferSize_ == 0) return 1;
    CDibImage* output = OutputImageOf(colourType);
    return output && CopyFrame(*output, callerTopDown_, callerBuffer_, callerBufferSize_);
}

void CQuorin::ReportDeviceLost() {
    runFlag_ = 0;
    // In the history before the notice goes out: a frame window that reads the history when the
    // notice arrives finds the code.
    ReportError(QUORIN_ERR_DEVICE_LOST);
    CriticalSectionLock hold(frameLock_);
    PostFrameNotice(0, QUORIN_ERR_DEVICE_LOST);
}

void CQuorin::LiveLoop() {
    while (runFlag_ != 0) {
        if (!PauseWorker(static_cast<DWORD>(waitTime_.load()))) break;
        if (runFlag_ != 1) {
            if (!PauseWorker(kPausedPollMs)) break;
            continue;
        }
        const int wait = device_->WaitFrame();
        if (runFlag_ == 0) break;
        if (wait == quorin::WAIT_FRAME_FAILED || wait == quorin::WAIT_FRAME_NOT_STREAMING) {
            // No frame within the time-out, or the transfer ended on its own: the device is lost.
            ReportDeviceLost();
            break;
        }
        if (wait != quorin::WAIT_FRAME_READY) continue;

        LARGE_INTEGER taken;
        QueryPerformanceCounter(&taken);
        CriticalSectionLock hold(frameLock_);
        const int type = frameType_;
        CDibImage* raw = RawImageOf(type);
        const uint32_t frameNumber = device_->ReadFrameNumber();
        const int64_t arrival = device_->ReadFrameArrival();
        const size_t bytes = raw && raw->bits ? static_cast<size_t>(raw->stride) * raw->height : 0;
        if (bytes == 0 || device_->WindowBytes() > bytes || device_->FetchFrame(raw->bits, bytes) != 0) {
            PostFrameNotice(0, QUORIN_ERR_FRAME_READ);
            ReportError(QUORIN_ERR_FRAME_READ);
            continue;
        }
        const int fps10 = MeasureFrameRate();
        ProcessRawFrame(*raw, type);
        recordNewFrame_ = 1;
        PaintPreview(type);
        if (!CopyToCallerLocked(type)) continue;
        PostFrameNotice(reinterpret_cast<WPARAM>(FillFrameInfo(*raw, type, fps10, frameNumber)), 0);
        latency_.Add(arrival, taken.QuadPart);
    }
}

void CQuorin::TriggerLoop() {
    while (runFlag_ != 0) {
        if (runFlag_ != 1) {
            if (!PauseWorker(kPausedPollMs)) break;
            continue;
        }
        // Returns with the triggered frame, or failed at the device's trigger time-out.
        const int read = device_->SnapFrame();
        if (runFlag_ == 0) break;
        if (read == quorin::DEV_NO_HANDLE || read == quorin::DEV_NO_ANSWER) {
            // The camera is gone (its path no longer opens) or stopped answering: the device is
            // lost, as in the live loop.
            ReportDeviceLost();
            break;
        }
        // The time-out without a pulse is the normal wait: the next read waits again.
        if (read == quorin::DEV_FRAME_TIMEOUT) continue;
        if (read != 0) {
            // A pulse whose frame failed or came back short: the frame is lost and said so, as a
            // failed capture frame is; the worker then waits for the next pulse.
            if (read == quorin::DEV_FRAME_FAILED) {
                ReportError(QUORIN_ERR_FRAME_READ);
                CriticalSectionLock hold(frameLock_);
                PostFrameNotice(0, QUORIN_ERR_FRAME_READ);
            }
            if (!PauseWorker(kFailedReadPauseMs)) break;
            continue;
        }

        CriticalSectionLock hold(frameLock_);
        const int type = frameType_;
        CDibImage* raw = RawImageOf(type);
        const size_t bytes = raw && raw->bits ? static_cast<size_t>(raw->stride) * raw->height : 0;
        if (bytes == 0 || device_->WindowBytes() > bytes || device_->FetchSnapFrame(raw->bits, bytes) != 0) {
            PostFrameNotice(0, QUORIN_ERR_FRAME_READ);
            ReportError(QUORIN_ERR_FRAME_READ);
            continue;
        }
        ProcessRawFrame(*raw, type);
        ++triggerFrames_;
        if (!CopyToCallerLocked(type)) continue;
        PostFrameNotice(reinterpret_cast<WPARAM>(FillFrameInfo(*raw, type, 0, triggerFrames_)), 0);
        PaintPreview(type);
    }
}
