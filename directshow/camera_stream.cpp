#include "directshow/camera_stream.h"

#include "VazadoZir_O52RO_VIZ.h"

namespace quorin_dshow {

namespace {

constexpr DWORD kFirstFrameLimitMs = 5000;  // the sensor start-up comes before the first frame
constexpr DWORD kFrameGapLimitMs = 3000;    // far above the longest frame period (about 160 ms)
constexpr int kErrDeviceLost = 13;

HWND CreateNoticeWindow() {
    static const wchar_t* kClass = L"QuorinCaptureNotices";
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = g_captureModule;
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);  // fails harmlessly when already registered
    return CreateWindowW(kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_captureModule, nullptr);
}

}  // namespace

CameraStream::CameraStream(std::shared_ptr<CameraDevice> camera, const VideoFormat& format, FrameSink* sink)
    : camera_(std::move(camera)), format_(format), sink_(sink),
      stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), started_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      sinkDone_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), threadDone_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CameraStream::~CameraStream() {
    for (HANDLE h : {stopEvent_, started_, sinkDone_, threadDone_})
        if (h) CloseHandle(h);
}

struct ThreadStart {
    std::shared_ptr<CameraStream> stream;
};

HRESULT CameraStream::Start(const std::shared_ptr<CameraDevice>& camera, const VideoFormat& format, FrameSink* sink,
                            std::shared_ptr<CameraStream>* stream) {
    std::shared_ptr<CameraStream> created(new CameraStream(camera, format, sink));
    if (!created->stopEvent_ || !created->started_ || !created->sinkDone_ || !created->threadDone_)
        return E_OUTOFMEMORY;
    // The thread keeps the module loaded: it may finish a stalled camera's stop after the filter is gone.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(g_captureModule), &self);
    auto* start = new ThreadStart{created};
    HANDLE thread = CreateThread(nullptr, 0, &CameraStream::ThreadMain, start, 0, nullptr);
    if (!thread) {
        delete start;
        if (self) FreeLibrary(self);
        return HRESULT_FROM_WIN32(GetLastError());
    }
    CloseHandle(thread);
    WaitForSingleObject(created->started_, INFINITE);
    if (FAILED(created->startResult_)) {
        created->WaitFinished(INFINITE);
        return created->startResult_;
    }
    *stream = created;
    return S_OK;
}

DWORD WINAPI CameraStream::ThreadMain(void* parameter) {
    auto* start = static_cast<ThreadStart*>(parameter);
    std::shared_ptr<CameraStream> stream = std::move(start->stream);
    delete start;
    stream->Run();
    stream.reset();  // may release the camera handle (the last owner)
    // Drops the reference Start took on the module, after the last line of its code has run.
    FreeLibraryAndExitThread(g_captureModule, 0);
    return 0;
}

void CameraStream::Run() {
    const SdkLibrary& sdk = camera_->Sdk();
    const int handle = camera_->Handle();
    HWND window = CreateNoticeWindow();
    if (!window) {
        startResult_ = HRESULT_FROM_WIN32(GetLastError());
    } else {
        while (sdk.GetLastError(handle) != 0) {}
        // Frame notices only: each frame is copied straight into a sample with Quorin_GetImage.
        if (sdk.CallBackPreview(handle, window, nullptr, 0, format_.TopDown() ? 1 : 0)) {
            startResult_ = S_OK;
        } else {
            startResult_ = camera_->LastErrorResult();
            if (SUCCEEDED(startResult_)) startResult_ = E_FAIL;
        }
    }
    const bool running = SUCCEEDED(startResult_);
    SetEvent(started_);

    if (running) {
        DWORD lastFrameAt = GetTickCount();
        bool anyFrame = false, lost = false;
        for (;;) {
            const DWORD wait = MsgWaitForMultipleObjects(1, &stopEvent_, FALSE, 100, QS_POSTMESSAGE);
            if (wait == WAIT_OBJECT_0) break;
            // Take every queued notice; only the newest frame is worth copying.
            const QuorinFrameInfo* newest = nullptr;
            DWORD postedAt = 0;
            LPARAM failure = 0;
            MSG msg;
            while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
                if (msg.message != QUORIN_WM_FRAME) continue;
                if (msg.lParam == 0 && msg.wParam != 0) {
                    newest = reinterpret_cast<const QuorinFrameInfo*>(msg.wParam);
                    postedAt = static_cast<DWORD>(msg.time);
                } else if (msg.lParam == kErrDeviceLost) {
                    failure = msg.lParam;
                }
            }
            const DWORD now = GetTickCount();
            if (newest) {
                lastFrameAt = now;
                anyFrame = true;
            }
            if (lost) continue;
            const DWORD limit = anyFrame ? kFrameGapLimitMs : kFirstFrameLimitMs;
            if (failure || now - lastFrameAt > limit) {
                lost = true;
                sink_->CameraLost(failure ? HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)
                                          : HRESULT_FROM_WIN32(ERROR_TIMEOUT));
                continue;
            }
            if (newest && !deliveryFailed_) DeliverNewest(newest, postedAt);
        }
    }
    SetEvent(sinkDone_);
    if (running) sdk.StopPreview(handle);
    if (window) DestroyWindow(window);
    SetEvent(threadDone_);
}

void CameraStream::DeliverNewest(const QuorinFrameInfo* info, DWORD postedAt) {
    REFERENCE_TIME now = 0;
    if (!sink_->StreamTime(&now)) {  // paused: nothing goes downstream
        discontinuity_ = true;
        lastNumber_ = info->frameNumber;
        return;
    }
    // The frame copied below is the newest one, which the block describes.
    const unsigned number = info->frameNumber;
    if (lastNumber_ != 0 && number <= lastNumber_) return;  // a notice for a frame already handled
    if (lastNumber_ != 0 && number > lastNumber_ + 1) Dropped(lastNumber_ + 1, number - lastNumber_ - 1);
    lastNumber_ = number;
    IMediaSample* sample = nullptr;
    if (FAILED(sink_->GetBuffer(&sample)) || !sample) return;  // stopping: the allocator is decommitted
    BYTE* data = nullptr;
    const long capacity = sample->GetSize();
    const SdkLibrary& sdk = camera_->Sdk();
    if (FAILED(sample->GetPointer(&data)) || capacity < format_.ImageBytes() ||
        !sdk.GetImage(camera_->Handle(), data, format_.ImageBytes(), format_.TopDown() ? 1 : 0)) {
        sample->Release();
        Dropped(number, 1);
        return;
    }

    // The frame was complete when its notice was posted: date the sample back to then.
    const DWORD age = GetTickCount() - postedAt;
    REFERENCE_TIME start = now - static_cast<REFERENCE_TIME>(age < 1000 ? age : 0) * 10000;
    if (start < 0) start = 0;
    if (start <= lastStart_) start = lastStart_ + 1;
    lastStart_ = start;
    REFERENCE_TIME stop = start + format_.frameTime;
    sample->SetTime(&start, &stop);
    LONGLONG mediaStart = number - 1, mediaStop = number;
    sample->SetMediaTime(&mediaStart, &mediaStop);
    sample->SetSyncPoint(TRUE);
    sample->SetPreroll(FALSE);
    sample->SetDiscontinuity(discontinuity_ ? TRUE : FALSE);
    sample->SetActualDataLength(format_.ImageBytes());
    const HRESULT hr = sink_->Deliver(sample);
    sample->Release();
    if (hr == S_OK) {
        ++counters_.delivered;
        discontinuity_ = false;
    } else {
        Dropped(number, 1);
        if (FAILED(hr)) deliveryFailed_ = true;  // downstream refused: nothing more goes out
    }
}

void CameraStream::Dropped(unsigned first, unsigned count) {
    counters_.dropped += static_cast<long>(count);
    counters_.droppedFrames.Add(static_cast<long>(first) - 1, static_cast<long>(count));
    discontinuity_ = true;
}

void CameraStream::RequestStop() { SetEvent(stopEvent_); }

void CameraStream::WaitDetached() const { WaitForSingleObject(sinkDone_, INFINITE); }

}  // namespace quorin_dshow
