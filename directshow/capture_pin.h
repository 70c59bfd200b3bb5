// The capture filter's one output pin ("Capture", PIN_CATEGORY_CAPTURE): media type negotiation
// over the camera's format list, the allocator agreement with the downstream input pin,
// IAMStreamConfig, IAMDroppedFrames, and the frame sink its CameraStream delivers through.
// Its reference count is the filter's.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <memory>
#include <vector>

#include "directshow/camera_stream.h"
#include "directshow/video_format.h"

namespace quorin_dshow {

class CaptureFilter;

class CapturePin : public IPin, public IAMStreamConfig, public IKsPropertySet, public IAMDroppedFrames,
                   private FrameSink {
public:
    explicit CapturePin(CaptureFilter* filter);
    ~CapturePin();

    // IUnknown (the filter's count)
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // IKsPropertySet (the pin category)
    STDMETHODIMP Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceBytes, LPVOID data, DWORD bytes) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceBytes, LPVOID data, DWORD bytes,
                     DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // IAMDroppedFrames
    STDMETHODIMP GetNumDropped(LONG* count) override;
    STDMETHODIMP GetNumNotDropped(LONG* count) override;
    STDMETHODIMP GetDroppedInfo(LONG size, LONG* numbers, LONG* copied) override;
    STDMETHODIMP GetAverageFrameSize(LONG* size) override;

    // Called by the filter under its lock on state changes.
    HRESULT Active();    // stopped -> paused: commit the allocator, start the camera
    void Inactive();     // -> stopped: end delivery; returns within about 2.5 s whatever the camera does
    bool IsConnected() const { return connectedTo_ != nullptr; }

private:
    // FrameSink (streaming thread)
    HRESULT GetBuffer(IMediaSample** sample) override;
    HRESULT Deliver(IMediaSample* sample) override;
    bool StreamTime(REFERENCE_TIME* now) override;
    void CameraLost(HRESULT reason) override;

    HRESULT TryConnect(IPin* receivePin, const VideoFormat& format);
    HRESULT DecideAllocator(IMemInputPin* input);
    std::vector<VideoFormat> Formats() const;
    void ReleaseConnection();

    CaptureFilter* filter_;
    IPin* connectedTo_ = nullptr;
    IMemInputPin* input_ = nullptr;
    IMemAllocator* allocator_ = nullptr;
    AM_MEDIA_TYPE mediaType_ = {};
    VideoFormat format_ = {};
    bool hasPreferred_ = false;
    VideoFormat preferred_ = {};
    std::shared_ptr<CameraStream> stream_;  // the running stream, or the last one (its counts)
};

}  // namespace quorin_dshow
