#include "directshow/capture_pin.h"
#include "directshow/filter_lock.h"

#include <cstring>

#include "directshow/capture_filter.h"
#include "directshow/enumerators.h"

namespace quorin_dshow {

namespace {

constexpr wchar_t kPinName[] = L"Capture";
constexpr long kBufferCount = 4;
// Stop returns within this time whatever the camera does; a stalled camera finishes later.
constexpr DWORD kStopWaitMs = 2000;
// A new start waits this long for a previous stream that is still finishing.
constexpr DWORD kRestartWaitMs = 3000;

}  // namespace

CapturePin::CapturePin(CaptureFilter* filter) : filter_(filter) {}

CapturePin::~CapturePin() {
    ReleaseConnection();
    FreeMediaTypeContents(&mediaType_);
}

STDMETHODIMP CapturePin::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPin) *object = static_cast<IPin*>(this);
    else if (iid == IID_IAMStreamConfig) *object = static_cast<IAMStreamConfig*>(this);
    else if (iid == IID_IKsPropertySet) *object = static_cast<IKsPropertySet*>(this);
    else if (iid == IID_IAMDroppedFrames) *object = static_cast<IAMDroppedFrames*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CapturePin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) CapturePin::Release() { return filter_->Release(); }

std::vector<VideoFormat> CapturePin::Formats() const {
    HRESULT result = S_OK;
    std::shared_ptr<CameraDevice> camera = filter_->Camera(&result);
    if (camera) return camera->Formats();
    // A camera another program streams from still shows its formats; connecting it says it is busy.
    if (result == HRESULT_FROM_WIN32(ERROR_BUSY)) return CameraDevice::UnopenedFormats(filter_->DeviceIndex());
    return std::vector<VideoFormat>();
}

void CapturePin::ReleaseConnection() {
    if (allocator_) allocator_->Release();
    if (input_) input_->Release();
    if (connectedTo_) connectedTo_->Release();
    allocator_ = nullptr;
    input_ = nullptr;
    connectedTo_ = nullptr;
    FreeMediaTypeContents(&mediaType_);
}

STDMETHODIMP CapturePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (!receivePin) return E_POINTER;
    FilterLock lock(filter_->Lock());
    if (connectedTo_) return VFW_E_ALREADY_CONNECTED;
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    HRESULT result = S_OK;
    std::shared_ptr<CameraDevice> camera = filter_->Camera(&result);
    if (!camera) return result;
    // A camera another program streams from cannot be connected: say so rather than fail later.
    result = camera->Reserve();
    if (FAILED(result)) return result;

    std::vector<VideoFormat> candidates;
    const std::vector<VideoFormat> formats = camera->Formats();
    if (hasPreferred_) {
        for (const VideoFormat& f : formats)
            if (f.SameShape(preferred_)) candidates.push_back(f);
    }
    candidates.insert(candidates.end(), formats.begin(), formats.end());
    bool anyAcceptable = false;
    for (const VideoFormat& format : candidates) {
        // A partial type (major type or subtype only) narrows the list; a full one must match.
        if (type) {
            if (type->majortype != GUID_NULL && type->majortype != MEDIATYPE_Video) continue;
            if (type->subtype != GUID_NULL && type->subtype != format.Subtype()) continue;
            if (type->formattype == FORMAT_VideoInfo && type->pbFormat) {
                VideoFormat matched;
                if (!MatchFormat({format}, type, &matched)) continue;
            }
        }
        anyAcceptable = true;
        if (TryConnect(receivePin, format) == S_OK) return S_OK;
    }
    return anyAcceptable ? VFW_E_NO_ACCEPTABLE_TYPES : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CapturePin::TryConnect(IPin* receivePin, const VideoFormat& format) {
    AM_MEDIA_TYPE type;
    if (FAILED(FillMediaType(format, &type))) return E_OUTOFMEMORY;
    HRESULT hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), &type);
    if (hr != S_OK) {
        FreeMediaTypeContents(&type);
        return FAILED(hr) ? hr : E_FAIL;
    }
    IMemInputPin* input = nullptr;
    hr = receivePin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (SUCCEEDED(hr)) hr = DecideAllocator(input);
    if (FAILED(hr)) {
        if (input) input->Release();
        receivePin->Disconnect();
        FreeMediaTypeContents(&type);
        return hr;
    }
    connectedTo_ = receivePin;
    connectedTo_->AddRef();
    input_ = input;
    mediaType_ = type;
    format_ = format;
    return S_OK;
}

HRESULT CapturePin::DecideAllocator(IMemInputPin* input) {
    ALLOCATOR_PROPERTIES wanted = {};
    input->GetAllocatorRequirements(&wanted);  // optional: E_NOTIMPL leaves the zeros
    ALLOCATOR_PROPERTIES request = {};
    request.cBuffers = wanted.cBuffers > kBufferCount ? wanted.cBuffers : kBufferCount;
    request.cbBuffer = 0;  // set per format below
    request.cbAlign = wanted.cbAlign > 0 ? wanted.cbAlign : 1;
    request.cbPrefix = wanted.cbPrefix;

    // The downstream pin's allocator first, else a plain memory allocator of our own.
    for (int attempt = 0; attempt < 2; ++attempt) {
        IMemAllocator* allocator = nullptr;
        HRESULT hr = attempt == 0 ? input->GetAllocator(&allocator)
                                  : CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                                     IID_IMemAllocator, reinterpret_cast<void**>(&allocator));
        if (FAILED(hr) || !allocator) continue;
        return [&]() -> HRESULT {
            // The largest format of the list: SetFormat can later change the size without a new agreement.
            long largest = 0;
            for (const VideoFormat& f : Formats())
                if (f.ImageBytes() > largest) largest = f.ImageBytes();
            request.cbBuffer = largest;
            ALLOCATOR_PROPERTIES actual = {};
            HRESULT result = allocator->SetProperties(&request, &actual);
            if (SUCCEEDED(result) && actual.cbBuffer < largest) result = VFW_E_SIZENOTSET;
            if (SUCCEEDED(result)) result = input->NotifyAllocator(allocator, FALSE);
            if (FAILED(result)) {
                allocator->Release();
                return result;
            }
            if (allocator_) allocator_->Release();
            allocator_ = allocator;
            return S_OK;
        }();
    }
    return VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP CapturePin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

STDMETHODIMP CapturePin::Disconnect() {
    FilterLock lock(filter_->Lock());
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!connectedTo_) return S_FALSE;
    if (allocator_) allocator_->Decommit();
    ReleaseConnection();
    return S_OK;
}

STDMETHODIMP CapturePin::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    FilterLock lock(filter_->Lock());
    *pin = connectedTo_;
    if (!connectedTo_) return VFW_E_NOT_CONNECTED;
    connectedTo_->AddRef();
    return S_OK;
}

STDMETHODIMP CapturePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    FilterLock lock(filter_->Lock());
    if (!connectedTo_) {
        std::memset(type, 0, sizeof *type);
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &mediaType_);
}

STDMETHODIMP CapturePin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = PINDIR_OUTPUT;
    std::wcscpy(info->achName, kPinName);
    return S_OK;
}

STDMETHODIMP CapturePin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction) return E_POINTER;
    *direction = PINDIR_OUTPUT;
    return S_OK;
}

STDMETHODIMP CapturePin::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof kPinName));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, kPinName, sizeof kPinName);
    return S_OK;
}

STDMETHODIMP CapturePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    return MatchFormat(Formats(), type, nullptr) ? S_OK : S_FALSE;
}

STDMETHODIMP CapturePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    std::vector<VideoFormat> formats = Formats();
    if (hasPreferred_) {  // after SetFormat, the set format alone
        for (const VideoFormat& f : formats)
            if (f.SameShape(preferred_)) formats = {f};
    }
    *types = new MediaTypeEnumerator(static_cast<IPin*>(this), std::move(formats));
    return S_OK;
}

STDMETHODIMP CapturePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP CapturePin::EndOfStream() { return E_UNEXPECTED; }
STDMETHODIMP CapturePin::BeginFlush() { return E_UNEXPECTED; }
STDMETHODIMP CapturePin::EndFlush() { return E_UNEXPECTED; }
STDMETHODIMP CapturePin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

// ---- IAMStreamConfig ----------------------------------------------------------------------------

STDMETHODIMP CapturePin::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    FilterLock lock(filter_->Lock());
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    VideoFormat format;
    if (!MatchFormat(Formats(), type, &format)) return VFW_E_INVALIDMEDIATYPE;
    if (connectedTo_ && !format.SameShape(format_)) {
        // Connected: the downstream pin must take the new type, then the graph reconnects us.
        AM_MEDIA_TYPE offered;
        if (FAILED(FillMediaType(format, &offered))) return E_OUTOFMEMORY;
        const HRESULT accept = connectedTo_->QueryAccept(&offered);
        FreeMediaTypeContents(&offered);
        if (accept != S_OK) return VFW_E_INVALIDMEDIATYPE;
        hasPreferred_ = true;
        preferred_ = format;
        IFilterGraph* graph = filter_->Graph();
        return graph ? graph->Reconnect(static_cast<IPin*>(this)) : VFW_E_NOT_IN_GRAPH;
    }
    hasPreferred_ = true;
    preferred_ = format;
    return S_OK;
}

STDMETHODIMP CapturePin::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    FilterLock lock(filter_->Lock());
    if (connectedTo_) {
        *type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!*type) return E_OUTOFMEMORY;
        return CopyMediaType(*type, &mediaType_);
    }
    const std::vector<VideoFormat> formats = Formats();
    if (formats.empty()) return VFW_E_NO_CAPTURE_HARDWARE;
    VideoFormat format = formats.front();
    for (const VideoFormat& f : formats)
        if (hasPreferred_ && f.SameShape(preferred_)) format = f;
    *type = CreateMediaType(format);
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CapturePin::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = static_cast<int>(Formats().size());
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP CapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    const std::vector<VideoFormat> formats = Formats();
    if (index < 0) return E_INVALIDARG;
    if (static_cast<size_t>(index) >= formats.size()) return S_FALSE;
    *type = CreateMediaType(formats[static_cast<size_t>(index)]);
    if (!*type) return E_OUTOFMEMORY;
    FillStreamCaps(formats[static_cast<size_t>(index)], reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps));
    return S_OK;
}

// ---- IKsPropertySet -------------------------------------------------------------------------------

STDMETHODIMP CapturePin::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_PROP_SET_UNSUPPORTED; }

STDMETHODIMP CapturePin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD bytes, DWORD* returned) {
    if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (returned) *returned = sizeof(GUID);
    if (!data) return returned ? S_OK : E_POINTER;
    if (bytes < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP CapturePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

// ---- IAMDroppedFrames ---------------------------------------------------------------------------

STDMETHODIMP CapturePin::GetNumDropped(LONG* count) {
    if (!count) return E_POINTER;
    FilterLock lock(filter_->Lock());
    *count = stream_ ? stream_->Counters().dropped.load() : 0;
    return S_OK;
}

STDMETHODIMP CapturePin::GetNumNotDropped(LONG* count) {
    if (!count) return E_POINTER;
    FilterLock lock(filter_->Lock());
    *count = stream_ ? stream_->Counters().delivered.load() : 0;
    return S_OK;
}

STDMETHODIMP CapturePin::GetDroppedInfo(LONG size, LONG* numbers, LONG* copied) {
    if (!numbers || !copied) return E_POINTER;
    if (size <= 0) return E_INVALIDARG;
    FilterLock lock(filter_->Lock());
    *copied = stream_ ? stream_->Counters().droppedFrames.Copy(numbers, size) : 0;
    return S_OK;
}

STDMETHODIMP CapturePin::GetAverageFrameSize(LONG* size) {
    if (!size) return E_POINTER;
    FilterLock lock(filter_->Lock());
    if (!connectedTo_) return VFW_E_NOT_CONNECTED;
    *size = format_.ImageBytes();
    return S_OK;
}

// ---- Streaming ----------------------------------------------------------------------------------

HRESULT CapturePin::Active() {
    if (!connectedTo_ || !allocator_) return S_OK;  // nothing to feed
    HRESULT result = S_OK;
    std::shared_ptr<CameraDevice> camera = filter_->Camera(&result);
    if (!camera) return result;
    // A stalled camera's previous stream may still be finishing on this handle.
    if (stream_ && !stream_->WaitFinished(kRestartWaitMs)) return HRESULT_FROM_WIN32(ERROR_BUSY);
    // The frame time follows the camera's exposure and clock as they are now.
    for (const VideoFormat& f : camera->Formats())
        if (f.SameShape(format_)) format_.frameTime = f.frameTime;
    result = allocator_->Commit();
    if (FAILED(result)) return result;
    result = camera->Apply(format_);
    if (SUCCEEDED(result)) result = CameraStream::Start(camera, format_, this, &stream_);
    if (result == HRESULT_FROM_WIN32(ERROR_BUSY) && camera->IsAnyCamera() && SUCCEEDED(camera->Reserve())) {
        // The "first camera not in use" entry moves on to a camera that is free now.
        result = camera->Apply(format_);
        if (SUCCEEDED(result)) result = CameraStream::Start(camera, format_, this, &stream_);
    }
    if (FAILED(result)) allocator_->Decommit();
    return result;
}

void CapturePin::Inactive() {
    if (!stream_) {
        if (allocator_) allocator_->Decommit();
        return;
    }
    stream_->RequestStop();
    if (allocator_) allocator_->Decommit();  // frees a thread waiting for a buffer
    stream_->WaitDetached();
    stream_->WaitFinished(kStopWaitMs);
}

HRESULT CapturePin::GetBuffer(IMediaSample** sample) {
    return allocator_ ? allocator_->GetBuffer(sample, nullptr, nullptr, 0) : VFW_E_NO_ALLOCATOR;
}

HRESULT CapturePin::Deliver(IMediaSample* sample) { return input_ ? input_->Receive(sample) : VFW_E_NOT_CONNECTED; }

bool CapturePin::StreamTime(REFERENCE_TIME* now) { return filter_->StreamTime(now); }

void CapturePin::CameraLost(HRESULT reason) {
    // Programs that watch for removals get EC_DEVICE_LOST; the rest see the stream abort.
    IBaseFilter* filter = filter_;
    filter_->NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IUnknown*>(filter)), 0);
    filter_->NotifyEvent(EC_ERRORABORT, reason, 0);
}

}  // namespace quorin_dshow
