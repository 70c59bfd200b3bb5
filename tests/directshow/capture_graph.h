// The one graph helper of the DirectShow tests: the video input devices as a program finds them,
// a capture graph (the camera's filter, the Sample Grabber, a Null Renderer or the AVI Mux and
// File Writer) built with ICaptureGraphBuilder2, what arrives at the grabber, and the graph's
// events.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace dshow_test {

struct DeviceEntry {
    std::wstring friendlyName;
    int deviceIndex;  // -1: the first free camera
};

// Every entry of the video input device category.
std::vector<DeviceEntry> ListVideoInputDevices();
// Binds the category entry of deviceIndex (-1 for the default entry) to its filter.
HRESULT BindCaptureFilter(int deviceIndex, IBaseFilter** filter);
// Runs DllRegisterServer of QuorinCapture.ax, as regsvr32 does, to refresh the entries.
HRESULT RegisterCaptureFilter();

// What the grabber saw.
struct Grabbed {
    long frames = 0;
    long discontinuities = 0;
    DWORD firstTick = 0, lastTick = 0;
    double latencySumMs = 0, latencyMaxMs = 0;
    bool timesIncrease = true;
    std::vector<BYTE> lastSample;
    std::vector<LONGLONG> mediaTimes;  // of each sample (the filter's frame numbers)
};

class CaptureGraph {
public:
    CaptureGraph() = default;
    ~CaptureGraph();
    CaptureGraph(const CaptureGraph&) = delete;
    CaptureGraph& operator=(const CaptureGraph&) = delete;

    // Source of deviceIndex; format (optional) set through IAMStreamConfig before connecting.
    HRESULT Build(int deviceIndex, const AM_MEDIA_TYPE* format = nullptr, const wchar_t* aviPath = nullptr);
    HRESULT Run();              // at a start time it knows, for the latency figures
    DWORD StopMs();             // stops the graph; returns the milliseconds Stop took
    // Waits up to timeoutMs for event code; returns the milliseconds it took, or -1.
    long WaitForEvent(long code, DWORD timeoutMs);
    Grabbed Snapshot();
    void Clear();
    bool WaitForFrames(long count, DWORD ms);  // at least count samples since the last Clear
    long Dropped();             // IAMDroppedFrames of the capture pin
    // IAMDroppedFrames::GetDroppedInfo with room for size numbers; *result its HRESULT.
    std::vector<long> DroppedNumbers(long size, HRESULT* result);
    AM_MEDIA_TYPE ConnectedType();  // of the capture pin (free with FreeType)

    IBaseFilter* source = nullptr;
    IAMStreamConfig* config = nullptr;
    DWORD sampleDelayMs = 0;    // the grabber's callback takes this long: a slow consumer

private:
    friend class GrabberCallback;
    void OnSample(IMediaSample* sample);

    IGraphBuilder* graph_ = nullptr;
    ICaptureGraphBuilder2* builder_ = nullptr;
    IMediaControl* control_ = nullptr;
    IMediaEventEx* events_ = nullptr;
    IBaseFilter* grabber_ = nullptr;
    IBaseFilter* sink_ = nullptr;
    IBaseFilter* mux_ = nullptr;
    IReferenceClock* clock_ = nullptr;
    ISampleGrabberCB* callback_ = nullptr;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME lastSampleStart_ = -1;
    std::mutex lock_;
    Grabbed grabbed_;
};

void FreeType(AM_MEDIA_TYPE* type);
const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE& type);

}  // namespace dshow_test
