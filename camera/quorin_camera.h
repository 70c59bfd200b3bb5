// The per-handle camera object: ties the device, image processing, preview, recording and settings
// together behind the exports. Every failure is reported through ReportError or NotifyError before
// the failure value is returned.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include <memory>

#include "VazadoZir_O52RO_VIZ.h"
#include "camera/camera_thread.h"
#include "camera/critical_section.h"
#include "camera/error_history.h"
#include "camera/frame_latency.h"
#include "camera/preview_window.h"
#include "camera/recording_file.h"
#include "camera/shared_section.h"
#include "dialogs/dialog_window_slot.h"
#include "imaging/frame_pipeline.h"
#include "imaging/grow_buffer.h"
#include "settings/adjustable_values.h"
#include "settings/record_format_store.h"

class CDibImage;
class CQuorinM52DXLTXSdk;
namespace quorin {
class DeviceAnalogAdapter;
}  // namespace quorin

// The camera is its frame pipeline's listener: the pipeline's dialog requests arrive here.
class CQuorin : private FramePipelineListener {
public:
    CQuorin();
    virtual ~CQuorin();
    CQuorin(const CQuorin&) = delete;
    CQuorin& operator=(const CQuorin&) = delete;

    // Second stage of Quorin_Initialize.
    int Initialize(HWND notify);

    // Error history and notification.
    void ReportError(int32_t code);
    void NotifyError(int32_t code);
    int32_t PopError() { return errorHistory_.Pop(); }

    // Device selection and information.
    int EnumDevice(char* names);
    int EnumDeviceW(wchar_t* names);
    int GetDeviceName(int index, char* name, int size);
    int GetDeviceNameW(int index, wchar_t* name, int size);
    int SetDeviceNumber(int index);
    int GetCameraInfo(QuorinCameraInfo* info);
    int LoadConfigFile(const char* path);
    int LoadConfigFileW(const wchar_t* path);
    std::vector<std::pair<int32_t, int32_t>> ConfigList();

    // Acquisition.
    int Preview();
    int CallBackPreview(HWND window, BYTE* buffer, int size, int topDown);
    int StartPreview();
    int StopPreview();
    int Capture();
    int SnapShot(BYTE* buffer, int size, int topDown);
    int Trigger(HWND window, BYTE* buffer, int size, int topDown);
    int GetImage(BYTE* buffer, int size, int topDown);
    int Close();
    int SetPreviewWindow(HWND parent, int left, int top, int right, int bottom);

    // Capture geometry, format and timing.
    int SetCaptureWindow(int w, int h);
    int SetCaptureWindowEx(int hTotal, int hStart, int hEffective, int vTotal, int vStart, int vEffective);
    int GetCaptureWindowEx(int* hTotal, int* hStart, int* hEffective, int* vTotal, int* vStart, int* vEffective);
    int Width() const { return width_; }
    int Height() const { return height_; }
    int SetColorMode(int bits);
    int GetColorMode() const;
    int SetSubSample(int mode);
    int GetSubSample() const { return subSample_; }
    int SetWaitTime(int ms);
    int GetWaitTime() const { return waitTime_; }
    int SetHalfClock(int mode);
    int GetHalfClock(int* ok);
    int GetRealExposureTime(int* ok);
    int SetRealExposureTime(int microseconds);

    // Recording and still files.
    int Record(const char* path, int durationMs, int showWindow);
    int RecordW(const wchar_t* path, int durationMs, int showWindow);
    // How the next recording stores its frames (record_format.cpp): format 0 uncompressed, 1
    // Motion-JPEG; quality 1..100. A bad value reports 9 and changes nothing.
    int SetRecordFormat(int format, int quality);
    int GetRecordFormat(int* format, int* quality);
    int SaveImage(const char* path, int fileType);
    int SaveImageW(const wchar_t* path, int fileType);

    // Adjustable values.
    int GetFilterValue(int id, int* ok);
    int SetFilterValue(int id, int value);

    // Sensor and device access.
    int ReadRegister(int address, int* ok);
    int WriteRegister(int address, int value);
    int ReadSromID(int address, int* ok);
    int WriteSromID(int address, int value);
    int GetIOPort(BYTE* value);
    int SetIOPort(int value);
    int SetMirrorH(int on);
    int SetMirrorV(int on);
    int GetMirrorH();
    int GetMirrorV();
    int SetAutoIris(int mode);
    int GetAutoIris(int* ok);

    // Property dialogs: which = one of DialogKind. Returns 1 once the dialog has been shown.
    enum DialogKind { kCameraDialog = 0, kAnalogDialog = 1, kImageDialog = 2 };
    int ShowDialog(int which, HWND parent);

    // The shared table of cameras in use (for this camera's device index).
    int ClaimDevice(int index);
    void ReleaseDevice(int index);
    bool IsDeviceInUse(int index) const;
    // The capture window rule: inside the sensor, and no sub-sampling mode.
    bool IsCaptureWindowValid() const;

protected:
    // Makes one of the image objects of the second stage (null when out of memory).
    virtual CDibImage* MakeImage();
    // Frees an image object made by MakeImage (its pixels first) and clears the pointer.
    static void DeleteImage(CDibImage*& image);
    // Largest AVI file a recording writes before it continues in the next; a test hook, so that
    // long recordings can be imitated with short ones.
    void SetRecordFileLimit(uint64_t bytes) { recordFileLimit_ = bytes; }

private:
    // ---- Acquisition (acquisition.cpp) ----
    // Checks the device and the capture window, makes the buffer set of the colour type and
    // programs the sensor; reports its own failures. Latches the colour type of the buffer set.
    int Prepare();
    // Copies image into buffer, stored row 0 first when topDown, else last row first; reports 5
    // (posted to the frame window too) when size is short.
    int CopyFrame(const CDibImage& image, int topDown, BYTE* buffer, int size);
    // Ends the worker if one was created and closes its handles; returns once it has ended.
    void EndWorker();
    // Leaves capture, live or trigger mode for idle: worker, trigger, transfer, device claim.
    void LeaveAcquisitionMode();
    // A live or trigger run whose worker ended by itself (camera lost) is over: it is stopped, so
    // the call that asks for a run starts a new one. Returns false after posting (0, 13) and
    // reporting 13 when the camera is still gone; true otherwise (also when nothing had ended).
    bool EndLostRun();
    // Programs the sensor window and its frame buffers; reports 5 (buffers) or 7 (window) and
    // returns 0 on failure.
    int ProgramSensorWindow();
    // Reports 5 and returns false when the image objects of the second stage were not all made.
    bool RequireImages();
    // The images of the prepared buffer set (colour type latched at preparation).
    FrameBuffers PreparedBuffers() const;
    CDibImage* RawImageOf(int colourType) const;
    CDibImage* OutputImageOf(int colourType) const;
    // Spreads a packed frame in raw to the image's stride and runs the pipeline; frameLock held.
    void ProcessRawFrame(CDibImage& raw, int colourType);
    // Fills the next block of the rotation for a frame of raw and returns it, for the notice of
    // that frame; frameLock held.
    QuorinFrameInfo* FillFrameInfo(const CDibImage& raw, int colourType, int fps10, uint32_t frameNumber);
    // Copies the processed frame to the caller's buffer if one is set; frameLock held. 0 when the
    // copy failed (no notice then).
    int CopyToCallerLocked(int colourType);
    void PostFrameNotice(WPARAM info, LPARAM code);
    // The frame-rate measurement of the live loop: tenths of frames per second over windows of
    // at least one second.
    int MeasureFrameRate();

    // ---- Property dialogs (property_dialogs.cpp) ----
    // An acquisition the camera dialog stops or pauses while it is open.
    enum class HeldAcquisition { None, Live, Capture, Trigger };
    // Stops a running live acquisition or capture mode, or pauses the trigger worker; says which.
    HeldAcquisition HoldAcquisition();
    // Starts again what HoldAcquisition stopped (with the format then stored), or resumes the
    // paused trigger worker.
    void ResumeAcquisition(HeldAcquisition held);
    int RunCameraDialog(HWND parent);

    // ---- The preview window (preview_display.cpp) ----
    // Makes the preview window previewParent / previewRect ask for, unless the one open already
    // has that placement (it is reused); a window of another placement is closed first. Only while
    // no worker paints. Reports 4 and returns 0 when the window cannot be made; 1 also when no
    // window is asked for.
    int OpenPreviewWindow();
    // Takes the window from the painter under frameLock, then destroys it.
    void ClosePreviewWindow();
    // Shows the processed frame of colourType in the preview window; frameLock held.
    void PaintPreview(int colourType);
    // Gives displayImage the preview's client size w x h and the depth shown for colourType
    // (8-bit gray for types 0 and 1, else 24-bit); false when it cannot be made. frameLock held.
    bool FitDisplayImage(int colourType, int w, int h);
    // Sizes displayImage to a visible preview window's client area; frameLock held.
    void FitDisplayImageToWindow(int colourType);

    // ---- The acquisition worker (acquisition_worker.cpp) ----
    static DWORD WINAPI WorkerMain(LPVOID self);
    // Ends the worker with the lost-device notice (0, 13) and code 13.
    void ReportDeviceLost();
    void LiveLoop();
    void TriggerLoop();
    // Waits ms unless a stop is requested; false when the worker is to end.
    bool PauseWorker(DWORD ms);
    // Creates the end event and the worker thread; false (nothing left open) on failure.
    bool CreateWorker();

    // ---- The recorder (recorder.cpp) ----
    static DWORD WINAPI RecorderMain(LPVOID self);
    void RecorderLoop();
    // Ends the recorder if one was started (its file is finished first) and closes its handles.
    void EndRecorder();
    // Whether a recorder is still recording (started and not yet ended by itself).
    bool RecorderRunning() const;
    // Writes one new processed frame to the recording file; false when the recording must end.
    bool RecordFrame(CDibImage* work[3], uint32_t now);

    // ---- The analog and filter dialogs (analog_dialog_run.cpp, filter_dialog_run.cpp) ----
    // Run the dialog modally on the caller's thread; the record (and the device's analog state) is
    // put back unless it ends with OK. 1 once the dialog was shown; 0 (error 4) when it could not be.
    int RunAnalogDialog(HWND parent);
    int RunFilterDialog(HWND parent);

    // FramePipelineListener: posts the request to the open dialog's window, if any.
    void FilterDialogRefresh() override;
    void AnalogDialogValue(int controlId, int value) override;

    // Reports 1 and returns false when no device object exists.
    bool RequireDevice();
    bool NotifyUnlessDevice();
    // Where each frame goes: the window told about it, and the caller's buffer it is copied into.
    void SetFrameDestination(HWND window, BYTE* buffer, int size, int topDown);
    // Reports 1, 9 or 2 and returns false unless a device name can be written for index.
    bool CheckDeviceNameRequest(int index, const void* name, int size);
    // The owner value this camera writes into the device table: its notify window, or when that is
    // null a non-zero value unique to this object (0 would read as free to every other client).
    uint64_t OwnerToken() const;
    // The stored camera format of device number index: the selected size entry's geometry, then
    // the colour mode, sub-sampling, wait time and clock (at open, and after the camera dialog's
    // OK). What is not stored stays as it is.
    void LoadStoredGeometry(int index);
    void LoadStoredFormatValues(int index);
    void LoadSettingsGroups(int index);
    void SaveSettingsGroups(int index);
    void ApplyAnalogToDevice();
    void ResetCaptureWindowToSensor();
    // The output image of the prepared buffer set, or of the stored colour type before any
    // preparation.
    CDibImage* OutputImage() const;
    int SaveLocked(const char* path, int fileType);

    CSharedSection sharedSection_;
    CQuorinM52DXLTXSdk* device_ = nullptr;
    std::unique_ptr<quorin::DeviceAnalogAdapter> analogDevice_;
    CDibImage* image8_ = nullptr;
    CDibImage* image16_ = nullptr;
    CDibImage* image24_ = nullptr;
    CDibImage* image32_ = nullptr;
    CDibImage* image48_ = nullptr;
    CDibImage* image64_ = nullptr;
    CDibImage* workImage_ = nullptr;
    CDibImage* displayImage_ = nullptr;
    std::unique_ptr<FramePipeline> pipeline_;
    quorin::AdjustableValues values_;
    std::atomic<int32_t> bufferCount_{4};
    std::atomic<int32_t> deviceIndex_{0};
    int claimedIndex_ = -1;  // the device-table entry this camera holds, or -1
    // Whether values_ holds the stored groups of the selected device (or what the caller set
    // since): only then may they be saved over the stored ones.
    bool settingsLoaded_ = false;
    HWND previewParent_ = nullptr;
    RECT previewRect_ = {0, 0, 1360, 1024};

    // Capture geometry and format; written by callers, read by workers.
    std::atomic<int32_t> hTotal_{1360}, vTotal_{1024};
    std::atomic<int32_t> width_{1360}, height_{1024};
    std::atomic<int32_t> hStart_{0}, vStart_{0};
    std::atomic<int32_t> colourType_{0};
    std::atomic<int32_t> subSample_{0};
    std::atomic<int32_t> waitTime_{10};
    std::atomic<int32_t> halfClock_{0};
    std::atomic<int32_t> acquisitionMode_{0};
    std::atomic<int32_t> runFlag_{0};
    std::atomic<int32_t> imageReady_{0};
    // Colour type of the buffer set the last preparation made (-1: none yet). Worker, snapshot,
    // GetImage and SaveImage work on it, so a colour change while acquiring takes effect only at
    // the next preparation. Written under frameLock.
    int32_t frameType_ = -1;
    std::atomic<int32_t> triggerTimeout_{3000};

    // The acquisition worker's thread and events: made by CreateWorker, closed and cleared by
    // EndWorker once the worker has ended.
    HANDLE workerThread_ = nullptr;
    DWORD workerThreadId_ = 0;
    HANDLE workerDone_ = nullptr;  // manual reset, set by the worker as its last act
    CameraThreadStop workerStop_;  // cut to end the worker's pauses

    // The recorder. Everything but recordNewFrame_ and recording_ is set before its thread starts
    // and then belongs to the recorder until it has ended.
    std::atomic<int32_t> recording_{0};       // 1 while the recorder is to run
    std::atomic<int32_t> recordNewFrame_{0};  // set by the live loop per processed frame
    uint32_t recordStart_ = 0;                // timeGetTime of the first frame taken
    uint32_t recordDurationMs_ = 0;
    bool recordStarted_ = false;
    CRecordingFile recordFile_;
    uint64_t recordFileLimit_ = CAviWriter::kDefaultSizeLimit;
    HANDLE recordThread_ = nullptr;
    DWORD recordThreadId_ = 0;
    HANDLE recordDone_ = nullptr;  // manual reset, set by the recorder as its last act
    CameraThreadStop recordStop_;  // cut to end the recorder's polling pause
    // The format of the next recording; stored per device number with the settings groups.
    // Written and read under configLock_.
    quorin::StoredRecordFormat recordFormat_ = quorin::kDefaultRecordFormat;
    // The format of the recording that runs, taken at its start.
    RecordFormat activeRecordFormat_;

    // Frame-rate measurement (worker only) and the block posted with each frame notice.
    int32_t fps10_ = 0;
    int32_t frameCount_ = 0;
    DWORD fpsWindowStart_ = 0;
    uint32_t triggerFrames_ = 0;
    QuorinFrameInfo* frameInfo_ = nullptr;  // kFrameInfoRotation blocks, one per notice in turn
    int frameInfoNext_ = 0;                 // the block the next notice gets (worker only)
    FrameLatencyLog latency_;               // live frames, ring to notice

    HWND notifyWindow_ = nullptr;
    // Frame destination: written and read under frameLock.
    HWND callbackWindow_ = nullptr;
    BYTE* callerBuffer_ = nullptr;
    int32_t callerBufferSize_ = 0;
    int32_t callerTopDown_ = 0;

    // The preview window: replaced and taken under frameLock, so a paint never sees a window
    // being destroyed.
    std::unique_ptr<PreviewWindow> preview_;
    // The 24-bit frame widened to 32 bits for the window (1:1 paints), kept from frame to frame and
    // dropped with the window; touched only under frameLock.
    GrowBuffer paintRows32_;

    // The windows of the open analog and filter dialogs, which the pipeline's requests are posted to.
    DialogWindowSlot analogDialogWindow_;
    DialogWindowSlot filterDialogWindow_;

    CriticalSection frameLock_;
    CriticalSection configLock_;
    std::vector<std::pair<int32_t, int32_t>> configList_;

    ErrorHistory errorHistory_;
};
