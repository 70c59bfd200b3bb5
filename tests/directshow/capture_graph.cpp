#include "tests/directshow/capture_graph.h"

#include <qedit.h>

#include <cstdio>
#include <cstring>

#include "tests/support/messages.h"

namespace dshow_test {

namespace {

const CLSID kSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

template <typename T>
void SafeRelease(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

std::wstring ReadString(IPropertyBag* bag, const wchar_t* name) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    std::wstring text;
    if (SUCCEEDED(bag->Read(name, &v, nullptr)) && V_VT(&v) == VT_BSTR) text = V_BSTR(&v);
    VariantClear(&v);
    return text;
}

bool ReadIndex(IPropertyBag* bag, int* index) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    const bool ok = SUCCEEDED(bag->Read(L"DeviceIndex", &v, nullptr)) && V_VT(&v) == VT_I4;
    if (ok) *index = V_I4(&v);
    VariantClear(&v);
    return ok;
}

// Visits the category's monikers; stops when visit returns true.
template <typename F>
void ForEachMoniker(F visit) {
    ICreateDevEnum* devices = nullptr;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devices))))
        return;
    IEnumMoniker* monikers = nullptr;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) == S_OK) {
        IMoniker* moniker = nullptr;
        bool done = false;
        while (!done && monikers->Next(1, &moniker, nullptr) == S_OK) {
            IPropertyBag* bag = nullptr;
            if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
                done = visit(moniker, bag);
                bag->Release();
            }
            moniker->Release();
        }
        monikers->Release();
    }
    devices->Release();
}

}  // namespace

std::vector<DeviceEntry> ListVideoInputDevices() {
    std::vector<DeviceEntry> entries;
    ForEachMoniker([&](IMoniker*, IPropertyBag* bag) {
        DeviceEntry entry = {ReadString(bag, L"FriendlyName"), -2};
        ReadIndex(bag, &entry.deviceIndex);
        entries.push_back(entry);
        return false;
    });
    return entries;
}

HRESULT BindCaptureFilter(int deviceIndex, IBaseFilter** filter) {
    HRESULT result = VFW_E_NOT_FOUND;
    *filter = nullptr;
    ForEachMoniker([&](IMoniker* moniker, IPropertyBag* bag) {
        int index = -2;
        if (!ReadIndex(bag, &index) || index != deviceIndex) return false;
        result = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
        return true;
    });
    return result;
}

HRESULT RegisterCaptureFilter() {
    HMODULE module = LoadLibraryW(L"QuorinCapture.ax");
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    const HRESULT result = reg ? reg() : E_NOINTERFACE;
    FreeLibrary(module);
    return result;
}

class GrabberCallback : public ISampleGrabberCB {
public:
    explicit GrabberCallback(CaptureGraph* graph) : graph_(graph) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == __uuidof(ISampleGrabberCB)) {
            *object = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // owned by the graph helper
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        graph_->OnSample(sample);
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }

private:
    CaptureGraph* graph_;
};

void CaptureGraph::OnSample(IMediaSample* sample) {
    REFERENCE_TIME now = 0, start = 0, stop = 0;
    const bool timed = clock_ && SUCCEEDED(clock_->GetTime(&now)) && SUCCEEDED(sample->GetTime(&start, &stop));
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    LONGLONG mediaStart = -1, mediaStop = -1;
    sample->GetMediaTime(&mediaStart, &mediaStop);
    if (sampleDelayMs) Sleep(sampleDelayMs);
    std::lock_guard<std::mutex> lock(lock_);
    Grabbed& g = grabbed_;
    const DWORD tick = GetTickCount();
    if (g.frames == 0) g.firstTick = tick;
    g.lastTick = tick;
    ++g.frames;
    if (sample->IsDiscontinuity() == S_OK) ++g.discontinuities;
    if (timed) {
        const double latency = (now - start_ - start) / 10000.0;
        g.latencySumMs += latency;
        if (latency > g.latencyMaxMs) g.latencyMaxMs = latency;
        if (start <= lastSampleStart_ || stop <= start) g.timesIncrease = false;
        lastSampleStart_ = start;
    }
    if (data) g.lastSample.assign(data, data + sample->GetActualDataLength());
    g.mediaTimes.push_back(mediaStart);
}

CaptureGraph::~CaptureGraph() {
    if (control_) control_->Stop();
    if (grabber_) {
        ISampleGrabber* sg = nullptr;
        if (SUCCEEDED(grabber_->QueryInterface(__uuidof(ISampleGrabber), reinterpret_cast<void**>(&sg)))) {
            sg->SetCallback(nullptr, 0);
            sg->Release();
        }
    }
    SafeRelease(config);
    SafeRelease(clock_);
    SafeRelease(events_);
    SafeRelease(control_);
    SafeRelease(mux_);
    SafeRelease(sink_);
    SafeRelease(grabber_);
    SafeRelease(source);
    SafeRelease(builder_);
    SafeRelease(graph_);
    delete static_cast<GrabberCallback*>(callback_);
}

HRESULT CaptureGraph::Build(int deviceIndex, const AM_MEDIA_TYPE* format, const wchar_t* aviPath) {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void**>(&graph_));
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                              reinterpret_cast<void**>(&builder_));
    if (SUCCEEDED(hr)) hr = builder_->SetFiltergraph(graph_);
    if (SUCCEEDED(hr)) hr = BindCaptureFilter(deviceIndex, &source);
    if (SUCCEEDED(hr)) hr = graph_->AddFilter(source, L"Camera");
    if (SUCCEEDED(hr))
        hr = builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source, IID_IAMStreamConfig,
                                     reinterpret_cast<void**>(&config));
    if (SUCCEEDED(hr) && format) hr = config->SetFormat(const_cast<AM_MEDIA_TYPE*>(format));
    if (FAILED(hr)) return hr;

    callback_ = new GrabberCallback(this);
    hr = CoCreateInstance(kSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&grabber_));
    ISampleGrabber* sg = nullptr;
    if (SUCCEEDED(hr)) hr = grabber_->QueryInterface(__uuidof(ISampleGrabber), reinterpret_cast<void**>(&sg));
    if (SUCCEEDED(hr)) {
        sg->SetBufferSamples(FALSE);
        sg->SetOneShot(FALSE);
        hr = sg->SetCallback(callback_, 0);
        sg->Release();
    }
    if (SUCCEEDED(hr)) hr = graph_->AddFilter(grabber_, L"Grabber");
    if (FAILED(hr)) return hr;
    if (aviPath) {
        // The AVI Mux and the File Writer by hand: Wine's SetOutputFileName is a stub.
        IFileSinkFilter* file = nullptr;
        hr = CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(&mux_));
        if (SUCCEEDED(hr)) hr = CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                                 reinterpret_cast<void**>(&sink_));
        if (SUCCEEDED(hr)) hr = sink_->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(hr)) hr = file->SetFileName(aviPath, nullptr);
        if (file) file->Release();
        if (SUCCEEDED(hr)) hr = graph_->AddFilter(mux_, L"AVI Mux");
        if (SUCCEEDED(hr)) hr = graph_->AddFilter(sink_, L"File Writer");
        if (SUCCEEDED(hr)) hr = builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source, grabber_, mux_);
        IPin* muxOut = nullptr;
        IPin* fileIn = nullptr;
        if (SUCCEEDED(hr)) hr = builder_->FindPin(mux_, PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0, &muxOut);
        if (SUCCEEDED(hr)) hr = builder_->FindPin(sink_, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, &fileIn);
        if (SUCCEEDED(hr)) hr = graph_->ConnectDirect(muxOut, fileIn, nullptr);
        // Wine's AVI Mux runs only in full interleaving.
        IConfigInterleaving* interleaving = nullptr;
        if (SUCCEEDED(hr)) hr = mux_->QueryInterface(IID_IConfigInterleaving, reinterpret_cast<void**>(&interleaving));
        if (SUCCEEDED(hr)) hr = interleaving->put_Mode(INTERLEAVE_FULL);
        if (interleaving) interleaving->Release();
        if (muxOut) muxOut->Release();
        if (fileIn) fileIn->Release();
    } else {
        hr = CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(&sink_));
        if (SUCCEEDED(hr)) hr = graph_->AddFilter(sink_, L"Null");
        if (SUCCEEDED(hr)) hr = builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source, grabber_, sink_);
    }
    // When the capture pin is not connected, the builder's result does not tell why: ask the pin.
    IPin* capture = nullptr;
    if (SUCCEEDED(builder_->FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, FALSE, 0, &capture))) {
        IPin* peer = nullptr;
        if (capture->ConnectedTo(&peer) == S_OK) {
            peer->Release();
        } else {
            IPin* input = nullptr;
            hr = builder_->FindPin(grabber_, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, &input);
            if (SUCCEEDED(hr)) {
                const HRESULT direct = graph_->ConnectDirect(capture, input, nullptr);
                hr = FAILED(direct) ? direct : VFW_E_NOT_CONNECTED;
                input->Release();
            }
        }
        capture->Release();
    }
    if (SUCCEEDED(hr)) hr = graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_));
    if (SUCCEEDED(hr)) hr = graph_->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events_));
    return hr;
}

HRESULT CaptureGraph::Run() {
    HRESULT hr = control_->Pause();
    if (FAILED(hr)) return hr;
    IMediaFilter* filter = nullptr;
    hr = graph_->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter));
    if (FAILED(hr)) return hr;
    SafeRelease(clock_);
    filter->GetSyncSource(&clock_);
    REFERENCE_TIME now = 0;
    if (clock_) clock_->GetTime(&now);
    start_ = now + 10 * 10000;  // 10 ms ahead, as the graph itself would
    lastSampleStart_ = -1;
    hr = filter->Run(start_);
    filter->Release();
    return hr;
}

DWORD CaptureGraph::StopMs() {
    const DWORD begin = GetTickCount();
    if (control_) control_->Stop();
    return GetTickCount() - begin;
}

long CaptureGraph::WaitForEvent(long code, DWORD timeoutMs) {
    const DWORD begin = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - begin;
        if (spent > timeoutMs) return -1;
        long got = 0;
        LONG_PTR p1 = 0, p2 = 0;
        // Wine's GetEvent can give up at once (E_ABORT) when its queue has just been emptied.
        if (events_->GetEvent(&got, &p1, &p2, static_cast<long>(timeoutMs - spent)) != S_OK) {
            Sleep(20);
            continue;
        }
        events_->FreeEventParams(got, p1, p2);
        if (got == code) return static_cast<long>(GetTickCount() - begin);
    }
}

Grabbed CaptureGraph::Snapshot() {
    std::lock_guard<std::mutex> lock(lock_);
    return grabbed_;
}

bool CaptureGraph::WaitForFrames(long count, DWORD ms) {
    return qtest::WaitUntil([&] {
        std::lock_guard<std::mutex> lock(lock_);
        return grabbed_.frames >= count;
    }, ms, 20);
}

void CaptureGraph::Clear() {
    std::lock_guard<std::mutex> lock(lock_);
    grabbed_ = Grabbed();
}

long CaptureGraph::Dropped() {
    IAMDroppedFrames* dropped = nullptr;
    long count = -1;
    if (SUCCEEDED(builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source, IID_IAMDroppedFrames,
                                          reinterpret_cast<void**>(&dropped)))) {
        dropped->GetNumDropped(&count);
        dropped->Release();
    }
    return count;
}

std::vector<long> CaptureGraph::DroppedNumbers(long size, HRESULT* result) {
    IAMDroppedFrames* dropped = nullptr;
    std::vector<long> numbers(size > 0 ? size : 1);
    long copied = 0;
    *result = builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source, IID_IAMDroppedFrames,
                                      reinterpret_cast<void**>(&dropped));
    if (SUCCEEDED(*result)) {
        *result = dropped->GetDroppedInfo(size, numbers.data(), &copied);
        dropped->Release();
    }
    numbers.resize(SUCCEEDED(*result) ? copied : 0);
    return numbers;
}

AM_MEDIA_TYPE CaptureGraph::ConnectedType() {
    AM_MEDIA_TYPE type = {};
    IPin* pin = nullptr;
    if (SUCCEEDED(builder_->FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, FALSE, 0, &pin))) {
        pin->ConnectionMediaType(&type);
        pin->Release();
    }
    return type;
}

void FreeType(AM_MEDIA_TYPE* type) {
    if (type->cbFormat) CoTaskMemFree(type->pbFormat);
    if (type->pUnk) type->pUnk->Release();
    type->pbFormat = nullptr;
    type->cbFormat = 0;
    type->pUnk = nullptr;
}

const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE& type) {
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

}  // namespace dshow_test
