#include "directshow/capture_filter.h"
#include "directshow/filter_lock.h"

#include <cstring>

#include "directshow/camera_properties.h"
#include "directshow/enumerators.h"
#include "directshow/module_lock.h"

namespace quorin_dshow {

const CLSID CLSID_QuorinCapture = {0x5b7c3a10, 0x4e2d, 0x4f6a, {0x9c, 0x1b, 0x2d, 0x8e, 0x4a, 0x6f, 0x5c, 0x31}};

HRESULT CaptureFilter::Create(REFIID iid, void** object) {
    auto* filter = new (std::nothrow) CaptureFilter();
    if (!filter) return E_OUTOFMEMORY;
    const HRESULT hr = filter->QueryInterface(iid, object);
    filter->Release();
    return hr;
}

CaptureFilter::CaptureFilter() : pin_(this), cameraControl_(this) {
    InitializeCriticalSection(&lock_);
    InitializeCriticalSection(&streamLock_);
    ModuleLock::Add();
}

CaptureFilter::~CaptureFilter() {
    if (state_ != State_Stopped) pin_.Inactive();
    if (clock_) clock_->Release();
    DeleteCriticalSection(&streamLock_);
    DeleteCriticalSection(&lock_);
    ModuleLock::Remove();
}

STDMETHODIMP CaptureFilter::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist)
        *object = static_cast<IBaseFilter*>(this);
    else if (iid == IID_IPersistPropertyBag) *object = static_cast<IPersistPropertyBag*>(this);
    else if (iid == IID_IAMVideoProcAmp) *object = static_cast<IAMVideoProcAmp*>(this);
    else if (iid == IID_IAMCameraControl) *object = static_cast<IAMCameraControl*>(&cameraControl_);
    else if (iid == IID_IAMFilterMiscFlags) *object = static_cast<IAMFilterMiscFlags*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CaptureFilter::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) CaptureFilter::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP CaptureFilter::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_QuorinCapture;
    return S_OK;
}

std::shared_ptr<CameraDevice> CaptureFilter::Camera(HRESULT* result) {
    FilterLock lock(&lock_);
    *result = S_OK;
    if (!camera_) camera_ = CameraDevice::Open(deviceIndex_, result);
    if (camera_) *result = camera_->Select();
    return SUCCEEDED(*result) ? camera_ : nullptr;
}

void CaptureFilter::SetState(FILTER_STATE state) {
    FilterLock lock(&streamLock_);
    state_ = state;
}

STDMETHODIMP CaptureFilter::Stop() {
    FilterLock lock(&lock_);
    const FILTER_STATE was = state_;
    SetState(State_Stopped);
    // The streaming thread takes only streamLock_, so waiting for it here cannot deadlock.
    if (was != State_Stopped) pin_.Inactive();
    return S_OK;
}

STDMETHODIMP CaptureFilter::Pause() {
    FilterLock lock(&lock_);
    if (state_ == State_Stopped) {
        const HRESULT hr = pin_.Active();
        if (FAILED(hr)) return hr;
    }
    SetState(State_Paused);
    return S_OK;
}

STDMETHODIMP CaptureFilter::Run(REFERENCE_TIME start) {
    FilterLock lock(&lock_);
    if (state_ == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    FilterLock streamLock(&streamLock_);
    start_ = start;
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP CaptureFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    FilterLock lock(&lock_);
    *state = state_;
    // A live source delivers nothing while paused.
    return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP CaptureFilter::SetSyncSource(IReferenceClock* clock) {
    FilterLock lock(&streamLock_);
    if (clock) clock->AddRef();
    if (clock_) clock_->Release();
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP CaptureFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    FilterLock lock(&streamLock_);
    *clock = clock_;
    if (clock_) clock_->AddRef();
    return S_OK;
}

bool CaptureFilter::StreamTime(REFERENCE_TIME* now) {
    FilterLock lock(&streamLock_);
    if (state_ != State_Running) return false;
    REFERENCE_TIME time = 0;
    if (clock_ && SUCCEEDED(clock_->GetTime(&time))) {
        *now = time - start_;
    } else {
        *now = 0;  // no clock: samples still flow, stamped from 0
    }
    return true;
}

void CaptureFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
    IMediaEventSink* sink = nullptr;
    {
        FilterLock lock(&streamLock_);
        if (!graph_ || FAILED(graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) return;
    }
    sink->Notify(code, param1, param2);
    sink->Release();
}

STDMETHODIMP CaptureFilter::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    *pins = new PinEnumerator(static_cast<IBaseFilter*>(this), static_cast<IPin*>(&pin_));
    return S_OK;
}

STDMETHODIMP CaptureFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (!id || !pin) return E_POINTER;
    if (std::wcscmp(id, L"Capture") != 0) {
        *pin = nullptr;
        return VFW_E_NOT_FOUND;
    }
    *pin = static_cast<IPin*>(&pin_);
    AddRef();
    return S_OK;
}

STDMETHODIMP CaptureFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    FilterLock lock(&lock_);
    std::wcscpy(info->achName, name_);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP CaptureFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    FilterLock lock(&lock_);
    FilterLock streamLock(&streamLock_);
    graph_ = graph;
    name_[0] = 0;
    if (name) {
        std::wcsncpy(name_, name, MAX_FILTER_NAME - 1);
        name_[MAX_FILTER_NAME - 1] = 0;
    }
    return S_OK;
}

STDMETHODIMP CaptureFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

STDMETHODIMP CaptureFilter::InitNew() { return S_OK; }

STDMETHODIMP CaptureFilter::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    HRESULT hr = bag->Read(L"DeviceIndex", &value, log);
    if (FAILED(hr)) return hr;
    if (V_VT(&value) != VT_I4) {
        VariantClear(&value);
        return E_INVALIDARG;
    }
    FilterLock lock(&lock_);
    if (camera_ && deviceIndex_ != V_I4(&value)) {
        if (pin_.IsConnected()) return VFW_E_ALREADY_CONNECTED;
        camera_.reset();
    }
    deviceIndex_ = V_I4(&value);
    return S_OK;
}

STDMETHODIMP CaptureFilter::Save(IPropertyBag* bag, BOOL, BOOL) {
    if (!bag) return E_POINTER;
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = deviceIndex_;
    return bag->Write(L"DeviceIndex", &value);
}

STDMETHODIMP CaptureFilter::GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* def, LONG* caps) {
    HRESULT result = S_OK;
    std::shared_ptr<CameraDevice> camera = Camera(&result);
    if (!camera) return result;
    return ProcAmpRange(*camera, property, min, max, step, def, caps);
}

STDMETHODIMP CaptureFilter::Set(LONG property, LONG value, LONG flags) {
    HRESULT result = S_OK;
    std::shared_ptr<CameraDevice> camera = Camera(&result);
    if (!camera) return result;
    return ProcAmpSet(*camera, property, value, flags);
}

STDMETHODIMP CaptureFilter::Get(LONG property, LONG* value, LONG* flags) {
    HRESULT result = S_OK;
    std::shared_ptr<CameraDevice> camera = Camera(&result);
    if (!camera) return result;
    return ProcAmpGet(*camera, property, value, flags);
}

STDMETHODIMP_(ULONG) CaptureFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

}  // namespace quorin_dshow
