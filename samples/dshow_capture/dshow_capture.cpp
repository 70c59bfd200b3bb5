// dshow_capture: the camera through DirectShow alone, as any video program sees it (no SDK header).
//
//   dshow_capture [--device N|NAME] [--frames N] [--output FILE.bmp]
//
// Lists the video input devices, builds a capture graph on one of them (by its position in the
// list, or its friendly name, e.g. "M52DX-LTX camera 0") with the Sample Grabber asking for RGB24
// and a Null Renderer, runs it until N frames have arrived, saves the last one as a BMP and prints
// the frame rate it measured. Exit status 0 when the frames arrived and the file was written.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// The Sample Grabber and the Null Renderer (qedit); their CLSIDs are not in the import libraries.
const CLSID kSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

// Counts the frames and keeps the newest; called on the graph's streaming thread.
class FrameCounter : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == __uuidof(ISampleGrabberCB)) {
            *object = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on main()'s stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    STDMETHODIMP BufferCB(double, BYTE* data, LONG length) override {
        EnterCriticalSection(&lock);
        if (frames == 0) firstTick = GetTickCount();
        lastTick = GetTickCount();
        ++frames;
        last.assign(data, data + length);
        LeaveCriticalSection(&lock);
        return S_OK;
    }
    CRITICAL_SECTION lock;
    long frames = 0;
    DWORD firstTick = 0, lastTick = 0;
    std::vector<BYTE> last;
};

std::string Narrow(const wchar_t* text) {
    char buffer[256];
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

// Lists the category and binds the chosen entry (position or friendly name).
IBaseFilter* ChooseDevice(const std::string& wanted) {
    ICreateDevEnum* devices = nullptr;
    IEnumMoniker* monikers = nullptr;
    IBaseFilter* chosen = nullptr;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devices))))
        return nullptr;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) == S_OK) {
        IMoniker* moniker = nullptr;
        for (int position = 0; monikers->Next(1, &moniker, nullptr) == S_OK; ++position) {
            IPropertyBag* bag = nullptr;
            std::string name = "?";
            if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
                VARIANT value;
                VariantInit(&value);
                if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && V_VT(&value) == VT_BSTR)
                    name = Narrow(V_BSTR(&value));
                VariantClear(&value);
                bag->Release();
            }
            const bool pick = !chosen && (wanted == name || wanted == std::to_string(position));
            std::printf("  %d: %s%s\n", position, name.c_str(), pick ? "  <- capturing" : "");
            if (pick) moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&chosen));
            moniker->Release();
        }
        monikers->Release();
    }
    devices->Release();
    return chosen;
}

// A 24-bit frame as a BMP: DirectShow's RGB24 rows are already bottom-up and 4-byte aligned.
bool WriteBmp(const char* path, int width, int height, const std::vector<BYTE>& pixels) {
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(pixels.size());
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1 &&
              std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return std::fclose(out) == 0 && ok;
}

// Connects the source's capture pin straight to the grabber to learn why the builder failed;
// builderResult when that does not tell more.
HRESULT SourceConnectResult(ICaptureGraphBuilder2* builder, IBaseFilter* source, IBaseFilter* grabber,
                            HRESULT builderResult) {
    IPin* capture = nullptr;
    IPin* input = nullptr;
    HRESULT hr = builder->FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, FALSE, 0, &capture);
    if (SUCCEEDED(hr)) hr = builder->FindPin(grabber, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, &input);
    FILTER_INFO info = {};
    if (SUCCEEDED(hr)) hr = grabber->QueryFilterInfo(&info);
    IFilterGraph* graph = info.pGraph;
    if (SUCCEEDED(hr) && graph) hr = graph->ConnectDirect(capture, input, nullptr);
    if (SUCCEEDED(hr) && graph) {  // it connects after all: leave the graph as the builder left it
        graph->Disconnect(capture);
        graph->Disconnect(input);
    }
    for (IUnknown* p : std::initializer_list<IUnknown*>{graph, input, capture})
        if (p) p->Release();
    return FAILED(hr) ? hr : builderResult;
}

}  // namespace

int main(int argc, char** argv) {
    std::string device = "0";
    long wanted = 30;
    const char* output = "frame.bmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--device")) device = argv[i + 1];
        else if (!std::strcmp(argv[i], "--frames")) wanted = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--output")) output = argv[i + 1];
        else return std::fprintf(stderr, "usage: dshow_capture [--device N|NAME] [--frames N] [--output FILE]\n"), 2;
    }
    if (wanted < 1) wanted = 1;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    FrameCounter counter;
    InitializeCriticalSection(&counter.lock);
    int status = 1;

    std::printf("video input devices:\n");
    IBaseFilter* source = ChooseDevice(device);
    IGraphBuilder* graph = nullptr;
    ICaptureGraphBuilder2* builder = nullptr;
    IBaseFilter* grabberFilter = nullptr;
    IBaseFilter* renderer = nullptr;
    ISampleGrabber* grabber = nullptr;
    IMediaControl* control = nullptr;
    HRESULT hr = source ? S_OK : VFW_E_NOT_FOUND;
    if (SUCCEEDED(hr)) hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                             reinterpret_cast<void**>(&graph));
    if (SUCCEEDED(hr)) hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&builder));
    if (SUCCEEDED(hr)) hr = CoCreateInstance(kSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                             reinterpret_cast<void**>(&grabberFilter));
    if (SUCCEEDED(hr)) hr = CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                             reinterpret_cast<void**>(&renderer));
    if (SUCCEEDED(hr)) hr = grabberFilter->QueryInterface(__uuidof(ISampleGrabber), reinterpret_cast<void**>(&grabber));
    if (SUCCEEDED(hr)) {
        // RGB24, so the frame can be written as a BMP as it is.
        AM_MEDIA_TYPE type = {};
        type.majortype = MEDIATYPE_Video;
        type.subtype = MEDIASUBTYPE_RGB24;
        grabber->SetMediaType(&type);
        grabber->SetBufferSamples(FALSE);
        hr = grabber->SetCallback(&counter, 1);  // 1: BufferCB
    }
    if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(graph);
    if (SUCCEEDED(hr)) hr = graph->AddFilter(source, L"Camera");
    if (SUCCEEDED(hr)) hr = graph->AddFilter(grabberFilter, L"Grabber");
    if (SUCCEEDED(hr)) hr = graph->AddFilter(renderer, L"Null Renderer");
    if (SUCCEEDED(hr)) {
        hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source, grabberFilter, renderer);
        // Some capture graph builders answer E_INVALIDARG whatever the source refused with: the
        // camera's own reason (a camera another program uses: 0x800700aa) comes from its pin.
        if (FAILED(hr)) hr = SourceConnectResult(builder, source, grabberFilter, hr);
    }
    if (SUCCEEDED(hr)) hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    AM_MEDIA_TYPE connected = {};
    if (SUCCEEDED(hr)) hr = grabber->GetConnectedMediaType(&connected);
    if (SUCCEEDED(hr) && connected.formattype != FORMAT_VideoInfo) hr = VFW_E_INVALIDMEDIATYPE;
    if (SUCCEEDED(hr)) hr = control->Run();
    if (FAILED(hr)) {
        std::fprintf(stderr, "the capture graph did not run (0x%08lx)\n", static_cast<unsigned long>(hr));
    } else {
        const BITMAPINFOHEADER header = reinterpret_cast<VIDEOINFOHEADER*>(connected.pbFormat)->bmiHeader;
        std::printf("capturing %ld frames of %ld x %ld RGB24\n", wanted, header.biWidth, header.biHeight);
        const DWORD start = GetTickCount();
        while (counter.frames < wanted && GetTickCount() - start < 10000 + static_cast<DWORD>(wanted) * 1000) Sleep(20);
        control->Stop();
        EnterCriticalSection(&counter.lock);
        const long frames = counter.frames;
        const double seconds = (counter.lastTick - counter.firstTick) / 1000.0;
        std::printf("%ld frames, %.2f fps\n", frames, frames > 1 && seconds > 0 ? (frames - 1) / seconds : 0.0);
        if (frames >= wanted && WriteBmp(output, header.biWidth, header.biHeight, counter.last)) {
            std::printf("last frame written to %s\n", output);
            status = 0;
        } else {
            std::fprintf(stderr, "%s\n", frames < wanted ? "too few frames arrived" : "the file could not be written");
        }
        LeaveCriticalSection(&counter.lock);
    }
    if (connected.cbFormat) CoTaskMemFree(connected.pbFormat);
    if (grabber) grabber->SetCallback(nullptr, 1);
    for (IUnknown* p : std::initializer_list<IUnknown*>{control, grabber, renderer, grabberFilter, builder, graph, source})
        if (p) p->Release();
    DeleteCriticalSection(&counter.lock);
    CoUninitialize();
    return status;
}
