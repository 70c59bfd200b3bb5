// The camera's recorder: Record starts live acquisition and a recorder thread that takes the newest
// processed frame at each poll, converts it to a bottom-up 24-bit frame (8-bit gray for a gray
// Motion-JPEG recording) and appends it to the recording file, which encodes it outside frameLock.
// When the duration has passed, or the recording is stopped, or live acquisition ends, the recorder
// writes the measured rate and finishes the file: a recording never leaves a file without its index
// and sizes.
#include <windows.h>
#include <mmsystem.h>

#include "camera/acquisition_modes.h"
#include "camera/camera_thread.h"
#include "camera/quorin_camera.h"
#include "camera/wide_path.h"
#include "imaging/colour_modes.h"
#include "imaging/convert_kernels.h"
#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

namespace {

// The recorder's poll interval: the file receives at most one frame per poll.
const DWORD kRecordPollMs = 10;

}  // namespace

// ---- Start -------------------------------------------------------------------------------------------

int CQuorin::Record(const char* path, int durationMs, int showWindow) {
    if (!path || !*path || durationMs < 0) return ReportError(QUORIN_ERR_PARAMETER), 0;
    if (!device_) {
        // The start reports 1 (and the close's stop another), the recording 12 on top.
        StartPreview();
        Close();
        return ReportError(QUORIN_ERR_FILE), 0;
    }
    if (!RequireImages()) return 0;
    // One recording at a time: a second Record leaves the running one alone.
    if (RecorderRunning()) return ReportError(QUORIN_ERR_FILE), 0;
    EndRecorder();  // a recorder whose recording has ended by itself: its handles are closed
    if (!EndLostRun()) return 0;

    // The file comes first: a recording that cannot be written leaves whatever runs, its window
    // and its frame destination exactly as they were. Its frames are those of the running buffer
    // set, or of the one the start below prepares.
    const quorin::ModeDecision rule =
        quorin::DecideAcquisitionCall(quorin::AcquisitionCall::StartLive, acquisitionMode_);
    if (rule.verdict == quorin::ModeVerdict::Conflict) {
        ReportError(rule.code);
        return ReportError(QUORIN_ERR_FILE), 0;
    }
    const bool wasLive = acquisitionMode_ == quorin::kModeLive;
    int width = 0, height = 0, bitCount = 0;
    {
        CriticalSectionLock hold(frameLock_);
        const CDibImage* output = OutputImage();
        if (wasLive && output && output->bits) {
            width = output->width;
            height = output->height;
            bitCount = output->bitCount;
        } else if (!wasLive) {
            const int divisor = quorin::CaptureSizeDivisor(subSample_);
            width = width_ / divisor;
            height = height_ / divisor;
            bitCount = BitCountOfColourType(colourType_);
        }
    }
    RecordFormat format;
    {
        CriticalSectionLock hold(configLock_);
        format.format = recordFormat_.format;
        format.quality = recordFormat_.quality;
    }
    recordFile_.SetSizeLimit(recordFileLimit_);
    if (width <= 0 || height <= 0 || !recordFile_.Open(path, width, height, bitCount, format))
        return ReportError(QUORIN_ERR_FILE), 0;

    // A recording delivers no frame messages or copies.
    HWND oldWindow;
    BYTE* oldBuffer;
    int oldSize, oldTopDown;
    {
        CriticalSectionLock hold(frameLock_);
        oldWindow = callbackWindow_;
        oldBuffer = callerBuffer_;
        oldSize = callerBufferSize_;
        oldTopDown = callerTopDown_;
    }
    SetFrameDestination(nullptr, nullptr, 0, 0);
    // Undoes the start: a run begun here is closed, one that ran before gets its destination back.
    auto fail = [&](int code) {
        recordFile_.Discard();
        if (wasLive)
            SetFrameDestination(oldWindow, oldBuffer, oldSize, oldTopDown);
        else
            Close();
        ReportError(code);
        return 0;
    };
    // The preview window only when asked for (and only from idle, where no worker paints); the
    // recording itself needs none. A window that cannot be made has reported 4.
    if (showWindow && !wasLive && !OpenPreviewWindow()) {
        recordFile_.Discard();
        SetFrameDestination(oldWindow, oldBuffer, oldSize, oldTopDown);
        return 0;
    }
    if (!StartPreview()) return fail(QUORIN_ERR_FILE);
    {
        // The prepared buffer set must have the file's geometry.
        CriticalSectionLock hold(frameLock_);
        const CDibImage* output = OutputImage();
        if (!output || !output->bits || output->width != width || output->height != height)
            return fail(QUORIN_ERR_FILE);
    }

    // Everything the recorder reads is in place before its thread exists.
    recordStart_ = 0;
    recordStarted_ = false;
    recordDurationMs_ = static_cast<uint32_t>(durationMs);
    recordNewFrame_ = 0;
    recording_ = 1;
    if (!StartCameraThread(&CQuorin::RecorderMain, this, recordThread_, recordThreadId_, recordDone_, recordStop_)) {
        recording_ = 0;
        return fail(QUORIN_ERR_THREAD);
    }
    return 1;
}

int CQuorin::RecordW(const wchar_t* path, int durationMs, int showWindow) {
    char ansi[kAnsiPathBytes];
    if (!WideToAnsi(path, ansi, sizeof ansi)) return ReportError(QUORIN_ERR_FILE), 0;
    return Record(ansi, durationMs, showWindow);
}

// ---- Stop --------------------------------------------------------------------------------------------

bool CQuorin::RecorderRunning() const {
    // A recorder whose recording has ended is only finishing its file: that is no recording
    // running (the caller that goes on waits for the file in EndRecorder).
    return recordThread_ && recording_ != 0 && WaitForSingleObject(recordDone_, 0) != WAIT_OBJECT_0;
}

void CQuorin::EndRecorder() {
    recording_ = 0;
    // The recorder finishes its file before it sets its end event.
    EndCameraThread(recordThread_, recordThreadId_, recordDone_, recordStop_);
}

// ---- The recorder thread -----------------------------------------------------------------------------

DWORD WINAPI CQuorin::RecorderMain(LPVOID param) {
    CQuorin* self = static_cast<CQuorin*>(param);
    self->RecorderLoop();
    SetEvent(self->recordDone_);
    return 0;
}

bool CQuorin::RecordFrame(CDibImage* work[3], uint32_t now) {
    CDibImage& first = *work[0];
    CDibImage& second = *work[1];
    CDibImage& third = *work[2];
    const CDibImage* frame = nullptr;
    {
        CriticalSectionLock hold(frameLock_);
        const CDibImage* output = OutputImage();
        // The buffer set keeps its geometry while live acquisition runs; a frame of any other
        // geometry is not this recording's.
        if (!output || !output->bits || output->width != first.width || output->height != first.height)
            return true;
        // Into a bottom-up 24-bit frame: the "Rev" kernels turn the rows over, Draw keeps them.
        // Gray output goes into a Motion-JPEG file as a gray image: the 8-bit third image.
        const bool grayJpeg = recordFile_.Compressed() && (output->bitCount == 8 || output->bitCount == 16);
        switch (grayJpeg ? 0 : output->bitCount) {
            case 0:
                RunPixelKernel(third, output->bitCount == 8 ? RowCopyRev : Gray16To8Rev, *output, nullptr, 0, 0,
                               nullptr, nullptr);
                frame = &third;
                break;
            case 8:
                second.Draw(output, nullptr, 0, 0);
                RunPixelKernel(first, Rgb24Rev, second, nullptr, 0, 0, nullptr, nullptr);
                frame = &first;
                break;
            case 16:
                RunPixelKernel(third, Gray16To8Rev, *output, nullptr, 0, 0, nullptr, nullptr);
                first.Draw(&third, nullptr, 0, 0);
                frame = &first;
                break;
            case 48:
            case 64:
                RunPixelKernel(second, Rgb48To24Rev, *output, nullptr, 0, 0, nullptr, nullptr);
                frame = &second;
                break;
            default:
                RunPixelKernel(first, Rgb24Rev, *output, nullptr, 0, 0, nullptr, nullptr);
                frame = &first;
                break;
        }
    }
    // The work image is the recorder's own: the frame is encoded and written outside frameLock, so
    // the live loop is not held up by the encoder or the disk.
    const uint64_t frames = recordFile_.TotalFrames() + 1;
    return recordFile_.Append(frame->bits, frame->stride, frame->bitCount,
                              CRecordingFile::MeasuredRate(frames, now - recordStart_));
}

void CQuorin::RecorderLoop() {
    int width = 0, height = 0;
    {
        CriticalSectionLock hold(frameLock_);
        const CDibImage* output = OutputImage();
        if (output) {
            width = output->width;
            height = output->height;
        }
    }
    // Two 24-bit work images and an 8-bit one for the conversions of the bit counts.
    CDibImage* work[3] = {MakeImage(), MakeImage(), MakeImage()};
    bool made = work[0] && work[1] && work[2];
    made = made && work[0]->Create(width, height, 24) && work[1]->Create(width, height, 24) &&
           work[2]->Create(width, height, 8);
    if (made) work[2]->SetPalette(kDibPaletteGray, nullptr, 0, 256);
    if (!made) ReportError(QUORIN_ERR_MEMORY);

    bool failed = false;
    uint32_t last = 0;
    while (made && recording_ != 0) {
        if (!recordStop_.Pause(kRecordPollMs)) break;
        // Live acquisition has ended (a lost device ends the live loop): so has the recording.
        if (runFlag_ == 0) break;
        if (recordNewFrame_.exchange(0) == 0) continue;
        const uint32_t now = timeGetTime();
        if (!recordStarted_) {
            recordStart_ = now;
            recordStarted_ = true;
        }
        last = now;
        if (!RecordFrame(work, now)) {
            failed = true;
            break;
        }
        // Elapsed time as an unsigned difference: correct across the wrap of timeGetTime.
        if (CRecordingFile::DurationPassed(recordStart_, now, recordDurationMs_)) break;
    }

    // The recording has ended before its file is finished: an application that sees the finished
    // file and starts the next recording at once is not refused.
    recording_ = 0;
    // Every way out finishes the file with the rate measured so far.
    const uint64_t frames = recordFile_.TotalFrames();
    const uint32_t rate = frames > 0 ? CRecordingFile::MeasuredRate(frames, last - recordStart_) : 0;
    if (recordFile_.IsOpen() && !recordFile_.Finish(rate)) failed = true;
    if (failed) ReportError(QUORIN_ERR_FILE);
    recordStart_ = 0;
    recordStarted_ = false;
    for (CDibImage*& image : work) DeleteImage(image);
}
