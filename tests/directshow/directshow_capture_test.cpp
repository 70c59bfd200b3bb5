// The capture filter as DirectShow programs meet it: the category entries, capture graphs per media
// type and size, pixels against the SDK's own snapshot, properties, formats, files and faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/directshow/capture_graph.h"
#include "tests/support/process.h"
#include "tests/support/product_key.h"
#include "tests/support/scratch.h"
#include "tests/support/sim.h"

using namespace dshow_test;

namespace {

class DirectShowCapture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        // A broken bench fails: the driver and camera 0 must be there.
        ASSERT_TRUE(qtest::SimReady(0));
        // The camera's stored values are those of a first run, whatever ran before in this Wine world.
        qtest::ClearProductKey();
    }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(DirectShowCapture, CategoryListsEachCameraAndTheDefaultEntryAndEachBinds) {
    ASSERT_TRUE(qtest::Sim().Attach(3));
    ASSERT_EQ(S_OK, RegisterCaptureFilter());
    const std::vector<DeviceEntry> entries = ListVideoInputDevices();
    qtest::Sim().Detach(3);
    struct Expected { int index; const wchar_t* name; } expected[] = {
        {-1, L"M52DX-LTX (first free camera)"}, {0, L"M52DX-LTX camera 0"}, {3, L"M52DX-LTX camera 3"}};
    for (const Expected& e : expected) {
        bool found = false;
        for (const DeviceEntry& entry : entries) found = found || (entry.deviceIndex == e.index && entry.friendlyName == e.name);
        EXPECT_TRUE(found) << "no entry for camera " << e.index;
        IBaseFilter* filter = nullptr;
        EXPECT_EQ(S_OK, BindCaptureFilter(e.index, &filter)) << e.index;
        if (filter) filter->Release();
    }
    // Registering again after the unplug drops the camera's entry.
    ASSERT_EQ(S_OK, RegisterCaptureFilter());
    for (const DeviceEntry& entry : ListVideoInputDevices()) EXPECT_NE(3, entry.deviceIndex);
}

// The listed format of kind and size, with its frame time.
AM_MEDIA_TYPE* FindCapability(IAMStreamConfig* config, const GUID& subtype, int width, int height) {
    int count = 0, size = 0;
    if (FAILED(config->GetNumberOfCapabilities(&count, &size))) return nullptr;
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps;
        if (config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)) != S_OK) continue;
        const BITMAPINFOHEADER& h = VideoInfo(*type)->bmiHeader;
        if (type->subtype == subtype && h.biWidth == width && h.biHeight == height) return type;
        FreeType(type);
        CoTaskMemFree(type);
    }
    return nullptr;
}

AM_MEDIA_TYPE* FormatOf(int deviceIndex, const GUID& subtype, int width, int height) {
    IBaseFilter* filter = nullptr;
    if (FAILED(BindCaptureFilter(deviceIndex, &filter))) return nullptr;
    AM_MEDIA_TYPE* found = nullptr;
    IEnumPins* pins = nullptr;
    IPin* pin = nullptr;
    if (SUCCEEDED(filter->EnumPins(&pins)) && pins->Next(1, &pin, nullptr) == S_OK) {
        IAMStreamConfig* config = nullptr;
        if (SUCCEEDED(pin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config)))) {
            found = FindCapability(config, subtype, width, height);
            config->Release();
        }
        pin->Release();
    }
    if (pins) pins->Release();
    filter->Release();
    return found;
}

void DeleteType(AM_MEDIA_TYPE* type) {
    if (!type) return;
    FreeType(type);
    CoTaskMemFree(type);
}

const GUID kY800 = {0x30303859, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID kY16 = {0x20363159, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

struct Kind {
    const char* name;
    GUID subtype;
    int bits;
    bool topDown;
};
const Kind kKinds[] = {{"RGB24", MEDIASUBTYPE_RGB24, 24, false},
                       {"RGB32", MEDIASUBTYPE_RGB32, 32, false},
                       {"Y800", kY800, 8, true},
                       {"Y16", kY16, 16, true}};

TEST_F(DirectShowCapture, EachMediaTypeAndSizeStreamsEveryFrameTheCameraDelivers) {
    const SIZE sizes[] = {{1360, 1024}, {640, 480}};
    std::printf("%-6s %-10s %7s %8s %8s %9s %9s %8s\n", "type", "size", "frames", "fps", "camera", "lat.mean",
                "lat.max", "dropped");
    for (const Kind& kind : kKinds) {
        for (const SIZE& size : sizes) {
            AM_MEDIA_TYPE* format = FormatOf(0, kind.subtype, size.cx, size.cy);
            ASSERT_NE(nullptr, format) << kind.name << " " << size.cx << "x" << size.cy << " is not listed";
            CaptureGraph graph;
            ASSERT_EQ(S_OK, graph.Build(0, format)) << kind.name;
            DeleteType(format);
            ASSERT_EQ(S_OK, graph.Run());
            ASSERT_TRUE(graph.WaitForFrames(1, 10000)) << kind.name << ": no sample";  // past the start-up
            graph.Clear();
            const unsigned before = qtest::Sim().Status(0).frames_delivered;
            const DWORD windowMs = 2000;  // about 26 frames at full size
            Sleep(windowMs);
            const unsigned delivered = qtest::Sim().Status(0).frames_delivered - before;
            const Grabbed g = graph.Snapshot();
            const long dropped = graph.Dropped();
            EXPECT_LT(graph.StopMs(), 3000u);
            ASSERT_GT(g.frames, 1) << kind.name;
            const double rate = (g.frames - 1) * 1000.0 / (g.lastTick - g.firstTick);
            std::printf("%-6s %4ldx%-5ld %7ld %8.2f %8.2f %9.1f %9.1f %8ld\n", kind.name, size.cx, size.cy, g.frames,
                        rate, delivered * 1000.0 / windowMs, g.latencySumMs / g.frames, g.latencyMaxMs, dropped);
            // Every frame the camera delivered reaches the graph (within 15 %), in order, with its size.
            EXPECT_NEAR(static_cast<double>(g.frames), delivered, 0.15 * delivered + 1) << kind.name;
            EXPECT_TRUE(g.timesIncrease) << kind.name;
            EXPECT_EQ(static_cast<size_t>(size.cx * kind.bits / 8 * size.cy), g.lastSample.size()) << kind.name;
        }
    }
    std::printf("camera's nominal rate at full size: %.2f fps\n", 1000.0 / (qtest::Sim().Status(0).frame_period_us / 1000.0));
}

// A still picture: a horizontal colour ramp over a vertical gray ramp, different in every corner.
std::vector<BYTE> RampPicture() {
    std::vector<BYTE> rgb(1360 * 1024 * 3);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1360; ++x) {
            BYTE* p = &rgb[(static_cast<size_t>(y) * 1360 + x) * 3];
            p[0] = static_cast<BYTE>(x * 255 / 1359);
            p[1] = static_cast<BYTE>(y * 255 / 1023);
            p[2] = static_cast<BYTE>(255 - x * 255 / 1359);
        }
    return rgb;
}

std::vector<BYTE> SdkSnapshot(int bits, int width, int height, bool topDown) {
    const int h = Quorin_Initialize(nullptr);
    std::vector<BYTE> image(static_cast<size_t>((width * bits / 8 + 3) & ~3) * height);
    const bool ok = Quorin_SetColorMode(h, bits) &&
                    Quorin_SetCaptureWindowEx(h, 1360, (1360 - width) / 2 & ~1, width, 1024, (1024 - height) / 2 & ~1,
                                              height) &&
                    Quorin_SnapShot(h, image.data(), static_cast<int>(image.size()), topDown ? 1 : 0);
    Quorin_Release(h);
    if (!ok) image.clear();
    return image;
}

TEST_F(DirectShowCapture, SamplePixelsEqualTheSdksSnapshotInEachColourType) {
    ASSERT_TRUE(qtest::SetPicture(0, RampPicture()));
    for (const Kind& kind : kKinds) {
        AM_MEDIA_TYPE* format = FormatOf(0, kind.subtype, 640, 480);
        ASSERT_NE(nullptr, format);
        std::vector<BYTE> sample;
        {
            CaptureGraph graph;
            ASSERT_EQ(S_OK, graph.Build(0, format));
            ASSERT_EQ(S_OK, graph.Run());
            ASSERT_TRUE(graph.WaitForFrames(2, 10000)) << kind.name;
            sample = graph.Snapshot().lastSample;
        }
        DeleteType(format);
        // DirectShow's RGB is bottom-up and its gray formats top-down: the SDK's copy in the same order.
        const std::vector<BYTE> still = SdkSnapshot(kind.bits, 640, 480, kind.topDown);
        ASSERT_FALSE(still.empty()) << kind.name;
        ASSERT_EQ(still.size(), sample.size()) << kind.name;
        EXPECT_TRUE(still == sample) << kind.name << ": the sample differs from the snapshot";
        // The picture is not symmetric: the reverse order would differ.
        const size_t row = still.size() / 480;
        EXPECT_NE(0, std::memcmp(sample.data(), still.data() + still.size() - row, row)) << kind.name;
    }
    qtest::Sim().Scene(0, 0);
}

TEST_F(DirectShowCapture, SetFormatTakesEveryListedCapabilityAndRefusesOthers) {
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, BindCaptureFilter(0, &filter));
    IPin* pin = nullptr;
    ASSERT_EQ(S_OK, filter->FindPin(L"Capture", &pin));
    IAMStreamConfig* config = nullptr;
    ASSERT_EQ(S_OK, pin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config)));
    int count = 0, size = 0;
    ASSERT_EQ(S_OK, config->GetNumberOfCapabilities(&count, &size));
    EXPECT_GE(count, 4 * 5);  // four types at the full sensor and four centred sizes at least
    EXPECT_EQ(static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)), size);
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* listed = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps;
        ASSERT_EQ(S_OK, config->GetStreamCaps(i, &listed, reinterpret_cast<BYTE*>(&caps)));
        EXPECT_EQ(VideoInfo(*listed)->AvgTimePerFrame, caps.MinFrameInterval) << i;
        EXPECT_EQ(S_OK, config->SetFormat(listed)) << i;
        AM_MEDIA_TYPE* got = nullptr;
        ASSERT_EQ(S_OK, config->GetFormat(&got));
        EXPECT_TRUE(got->subtype == listed->subtype) << i;
        EXPECT_EQ(0, std::memcmp(&VideoInfo(*got)->bmiHeader, &VideoInfo(*listed)->bmiHeader, sizeof(BITMAPINFOHEADER)))
            << i;
        DeleteType(got);
        // Unlisted: the same type at a size that is not in the list, and a frame rate above the camera's.
        VIDEOINFOHEADER* info = reinterpret_cast<VIDEOINFOHEADER*>(listed->pbFormat);
        const VIDEOINFOHEADER kept = *info;
        info->bmiHeader.biWidth += 8;
        EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, config->SetFormat(listed)) << i;
        *info = kept;
        info->AvgTimePerFrame /= 2;
        EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, config->SetFormat(listed)) << i;
        DeleteType(listed);
    }
    config->Release();
    pin->Release();
    filter->Release();
}

double MeanOf(const std::vector<BYTE>& pixels) {
    double sum = 0;
    for (BYTE b : pixels) sum += b;
    return pixels.empty() ? 0 : sum / pixels.size();
}

TEST_F(DirectShowCapture, PropertyChangesShowInLaterSamples) {
    ASSERT_TRUE(qtest::SetPicture(0, RampPicture()));
    {
        AM_MEDIA_TYPE* format = FormatOf(0, MEDIASUBTYPE_RGB24, 640, 480);
        ASSERT_NE(nullptr, format);
        CaptureGraph graph;
        ASSERT_EQ(S_OK, graph.Build(0, format));
        DeleteType(format);
        IAMVideoProcAmp* procAmp = nullptr;
        IAMCameraControl* control = nullptr;
        ASSERT_EQ(S_OK, graph.source->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&procAmp)));
        ASSERT_EQ(S_OK, graph.source->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&control)));
        long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
        ASSERT_EQ(S_OK, procAmp->GetRange(VideoProcAmp_Brightness, &min, &max, &step, &def, &caps));
        EXPECT_EQ(-255, min);
        EXPECT_EQ(255, max);
        EXPECT_EQ(0, def);
        ASSERT_EQ(S_OK, control->GetRange(CameraControl_Exposure, &min, &max, &step, &def, &caps));
        EXPECT_EQ(-16, min);  // 200 clocks at 24 MHz, in log2 seconds
        EXPECT_EQ(-4, max);   // 1066 lines
        // From a known exposure (1/16 s), whatever the camera's stored one is.
        ASSERT_EQ(S_OK, control->Set(CameraControl_Exposure, -4, CameraControl_Flags_Manual));
        ASSERT_EQ(S_OK, graph.Run());
        ASSERT_TRUE(graph.WaitForFrames(3, 10000));
        const double before = MeanOf(graph.Snapshot().lastSample);
        struct Change { const char* what; bool procAmp; long property, value; bool brighter; } changes[] = {
            {"brightness +120", true, VideoProcAmp_Brightness, 120, true},
            {"brightness 0", true, VideoProcAmp_Brightness, 0, false},
            {"exposure 1/128 s", false, CameraControl_Exposure, -7, false},
        };
        double previous = before;
        for (const Change& c : changes) {
            ASSERT_EQ(S_OK, c.procAmp ? procAmp->Set(c.property, c.value, VideoProcAmp_Flags_Manual)
                                      : control->Set(c.property, c.value, CameraControl_Flags_Manual))
                << c.what;
            ASSERT_EQ(S_OK, c.procAmp ? procAmp->Get(c.property, &value, &flags) : control->Get(c.property, &value, &flags));
            EXPECT_EQ(c.value, value) << c.what;
            Sleep(800);  // the frames already on their way when the value changed
            graph.Clear();
            ASSERT_TRUE(graph.WaitForFrames(3, 5000)) << c.what;
            const double mean = MeanOf(graph.Snapshot().lastSample);
            std::printf("%s: mean %.1f -> %.1f\n", c.what, previous, mean);
            if (c.brighter) EXPECT_GT(mean, previous + 20) << c.what;
            else EXPECT_LT(mean, previous - 20) << c.what;
            previous = mean;
        }
        EXPECT_EQ(E_INVALIDARG, procAmp->Set(VideoProcAmp_Brightness, 256, VideoProcAmp_Flags_Manual));
        procAmp->Release();
        control->Release();
        graph.StopMs();
    }
    // The filter saved the camera's values when the graph went: the exposure back to its default.
    const int h = Quorin_Initialize(nullptr);
    Quorin_SetExposureTime(h, 64);
    Quorin_Release(h);
    qtest::Sim().Scene(0, 0);
}

constexpr unsigned kSpareCamera = 2;

// Camera 2 attached, with its category entry.
void AttachSpareCamera() {
    qtest::Sim().Attach(kSpareCamera);
    qtest::Sim().Fault(kSpareCamera, 0);
    ASSERT_EQ(S_OK, RegisterCaptureFilter());
}

long WaitForFrames(CaptureGraph& graph, long frames, DWORD timeoutMs) {
    const DWORD begin = GetTickCount();
    while (graph.Snapshot().frames < frames && GetTickCount() - begin < timeoutMs) Sleep(50);
    return graph.Snapshot().frames;
}

TEST_F(DirectShowCapture, UnpluggedOrStalledCameraEndsTheStreamAndANewGraphStreamsAgain) {
    struct Fault { const char* name; bool unplug; bool stopAtOnce; } faults[] = {
        {"unplug", true, false}, {"stall", false, false}, {"stop under stall", false, true}};
    for (const Fault& f : faults) {
        AttachSpareCamera();
        {
            CaptureGraph graph;
            ASSERT_EQ(S_OK, graph.Build(kSpareCamera)) << f.name;
            ASSERT_EQ(S_OK, graph.Run()) << f.name;
            ASSERT_GE(WaitForFrames(graph, 2, 10000), 2) << f.name;
            if (f.unplug) ASSERT_TRUE(qtest::Sim().Detach(kSpareCamera));
            else ASSERT_TRUE(qtest::Sim().Fault(kSpareCamera, 1));
            long lostMs = -1;
            if (!f.stopAtOnce) {
                lostMs = graph.WaitForEvent(EC_DEVICE_LOST, 7000);
                EXPECT_GE(lostMs, 0) << f.name << ": no EC_DEVICE_LOST within 7 s";
                EXPECT_GE(graph.WaitForEvent(EC_ERRORABORT, 1000), 0) << f.name;
            } else {
                Sleep(500);  // the frame requests are stuck now
            }
            const DWORD stopMs = graph.StopMs();
            std::printf("%-16s EC_DEVICE_LOST after %ld ms, Stop took %lu ms\n", f.name, lostMs,
                        static_cast<unsigned long>(stopMs));
            EXPECT_LT(stopMs, 3000u) << f.name;
        }
        // Plugged in again (or the stall cleared), a new graph streams.
        if (f.unplug) ASSERT_TRUE(qtest::Sim().Attach(kSpareCamera));
        else ASSERT_TRUE(qtest::Sim().Fault(kSpareCamera, 0));
        CaptureGraph again;
        ASSERT_EQ(S_OK, again.Build(kSpareCamera)) << f.name;
        ASSERT_EQ(S_OK, again.Run()) << f.name;
        EXPECT_GE(WaitForFrames(again, 2, 10000), 2) << f.name << ": no frames after the fault";
        EXPECT_LT(again.StopMs(), 3000u);
    }
    qtest::Sim().Detach(kSpareCamera);
    RegisterCaptureFilter();
}

// Starts the sample program on camera 2 in its own process, collecting what it prints.
bool CaptureInAnotherProcess(qtest::ChildProcess& child, long frames) {
    qtest::ChildOptions output;
    output.captureOutput = true;
    return child.Start("\"" + qtest::ProgramPath("dshow_capture.exe") + "\" --device \"M52DX-LTX camera 2\" --frames " +
                           std::to_string(frames) + " --output NUL",
                       output);
}

TEST_F(DirectShowCapture, CameraStreamingInAnotherGraphOrProcessIsRefusedAsBusy) {
    AttachSpareCamera();
    {
        CaptureGraph first;
        ASSERT_EQ(S_OK, first.Build(kSpareCamera));
        ASSERT_EQ(S_OK, first.Run());
        ASSERT_GE(WaitForFrames(first, 2, 10000), 2);
        // Another graph in this process.
        CaptureGraph second;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), second.Build(kSpareCamera));
        // Another process: the sample program names the HRESULT its graph failed with.
        qtest::ChildProcess other;
        ASSERT_TRUE(CaptureInAnotherProcess(other, 3)) << other.Describe();
        const qtest::ChildResult end = other.Wait(60000);
        EXPECT_TRUE(end.started && !end.timedOut && end.exitCode != 0) << end.Describe();
        EXPECT_NE(std::string::npos, end.output.find("(0x800700aa)")) << end.output;
        const long before = first.Snapshot().frames;
        EXPECT_GE(WaitForFrames(first, before + 2, 10000), before + 2) << "the first graph stopped streaming";
        first.StopMs();
    }
    // The other way round: while the other process streams, this one is refused.
    {
        qtest::ChildProcess other;
        const uint32_t since = qtest::Sim().Status(kSpareCamera).frames_delivered;
        ASSERT_TRUE(CaptureInAnotherProcess(other, 200)) << other.Describe();
        // Ten frames: more than a stopped graph's last transfers.
        ASSERT_TRUE(qtest::WaitForDelivered(kSpareCamera, 10, 60000, since)) << other.Describe();
        CaptureGraph refused;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), refused.Build(kSpareCamera));
        const qtest::ChildResult end = other.Wait(90000);
        EXPECT_TRUE(end.Succeeded()) << end.Describe() << end.output;
    }
    // Free again: a graph connects.
    CaptureGraph third;
    EXPECT_EQ(S_OK, third.Build(kSpareCamera));
    qtest::Sim().Detach(kSpareCamera);
    RegisterCaptureFilter();
}

TEST_F(DirectShowCapture, TwoGraphsOnTwoCamerasStreamAtOnce) {
    AttachSpareCamera();
    CaptureGraph first, second;
    ASSERT_EQ(S_OK, first.Build(0));
    ASSERT_EQ(S_OK, second.Build(kSpareCamera));
    ASSERT_EQ(S_OK, first.Run());
    ASSERT_EQ(S_OK, second.Run());
    EXPECT_GE(WaitForFrames(first, 5, 15000), 5);
    EXPECT_GE(WaitForFrames(second, 5, 15000), 5);
    // Camera 2 marks its number in the scene: the two streams are not crossed.
    EXPECT_NE(first.Snapshot().lastSample, second.Snapshot().lastSample);
    first.StopMs();
    second.StopMs();
    qtest::Sim().Detach(kSpareCamera);
    RegisterCaptureFilter();
}

TEST_F(DirectShowCapture, TwoProcessesStreamTwoCamerasAtOnce) {
    AttachSpareCamera();
    qtest::ScratchFolder dir("dshow");
    CaptureGraph graph;
    ASSERT_EQ(S_OK, graph.Build(0));
    ASSERT_EQ(S_OK, graph.Run());
    // The sample program, DirectShow only, on camera 2 in its own process.
    qtest::ChildProcess other;
    ASSERT_TRUE(other.Start("\"" + qtest::ProgramPath("dshow_capture.exe") +
                            "\" --device \"M52DX-LTX camera 2\" --frames 10 --output " + dir.File("other.bmp")))
        << other.Describe();
    const qtest::ChildResult end = other.Wait(90000);
    EXPECT_TRUE(end.Succeeded()) << end.Describe();
    EXPECT_GE(WaitForFrames(graph, 10, 10000), 10);
    graph.StopMs();
    const std::vector<uint8_t> bmp = qtest::ReadBytes(dir.File("other.bmp"));
    ASSERT_EQ(54u + 1360u * 1024u * 3u, bmp.size());
    EXPECT_EQ(1360, *reinterpret_cast<const int32_t*>(&bmp[18]));
    EXPECT_EQ(1024, *reinterpret_cast<const int32_t*>(&bmp[22]));
    qtest::Sim().Detach(kSpareCamera);
    RegisterCaptureFilter();
}

TEST_F(DirectShowCapture, ASlowGraphLearnsTheNumbersOfTheFramesItMissed) {
    CaptureGraph graph;
    ASSERT_EQ(S_OK, graph.Build(0));
    graph.sampleDelayMs = 300;  // the camera delivers a frame every 130 ms or so
    ASSERT_EQ(S_OK, graph.Run());
    EXPECT_GE(WaitForFrames(graph, 8, 20000), 8);
    // Read while streaming, in this order (a Stop refuses the sample in flight, which then counts
    // as dropped though the grabber saw it).
    const Grabbed g = graph.Snapshot();
    const long dropped = graph.Dropped();
    HRESULT result = E_FAIL;
    const std::vector<long> numbers = graph.DroppedNumbers(100, &result);
    ASSERT_EQ(S_OK, result);
    ASSERT_GT(dropped, 0);
    EXPECT_GE(numbers.size(), static_cast<size_t>(dropped < 64 ? dropped : 64));
    EXPECT_LE(numbers.size(), 64u) << "the newest 64 are kept";
    // Every frame from the first sample to the last was either delivered or reported dropped, once.
    std::vector<LONGLONG> all(g.mediaTimes);
    all.insert(all.end(), numbers.begin(), numbers.end());
    std::sort(all.begin(), all.end());
    EXPECT_TRUE(std::adjacent_find(all.begin(), all.end()) == all.end()) << "a frame both delivered and dropped";
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    if (numbers.size() < 64)
        for (LONGLONG n = g.mediaTimes.front(); n <= g.mediaTimes.back(); ++n)
            EXPECT_TRUE(std::binary_search(all.begin(), all.end(), n)) << "frame " << n << " unaccounted for";
    graph.StopMs();
    // A shorter array takes the oldest of them; no room is refused.
    const std::vector<long> kept = graph.DroppedNumbers(100, &result);
    EXPECT_EQ(std::vector<long>(kept.begin(), kept.begin() + 1), graph.DroppedNumbers(1, &result));
    graph.DroppedNumbers(0, &result);
    EXPECT_EQ(E_INVALIDARG, result);
}

TEST_F(DirectShowCapture, AviMuxAndFileWriterMakeAFileFfprobeReads) {
    qtest::ScratchFolder dir("dshow");
    const std::string path = dir.File("capture.avi");
    long frames = 0;
    {
        AM_MEDIA_TYPE* format = FormatOf(0, MEDIASUBTYPE_RGB24, 640, 480);
        ASSERT_NE(nullptr, format);
        CaptureGraph graph;
        const std::wstring widePath(path.begin(), path.end());
        ASSERT_EQ(S_OK, graph.Build(0, format, widePath.c_str()));
        DeleteType(format);
        const HRESULT run = graph.Run();
        // The AVI Mux of some Wine versions writes only through an IStream its File Writer lacks.
        if (run == E_NOINTERFACE) GTEST_SKIP() << "this Wine's AVI Mux cannot write through its File Writer";
        ASSERT_EQ(S_OK, run);
        EXPECT_GE(WaitForFrames(graph, 12, 15000), 12);
        graph.StopMs();
        frames = graph.Snapshot().frames;
    }
    std::string out;
    ASSERT_EQ(0, qtest::RunUnix("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=width,height,pix_fmt,nb_read_frames -of csv=p=0 " +
                                    qtest::ShellQuote(qtest::UnixPath(path)),
                                &out))
        << out;
    int width = 0, height = 0, counted = 0;
    char pixfmt[32] = {};
    ASSERT_EQ(4, std::sscanf(out.c_str(), "%d,%d,%31[^,],%d", &width, &height, pixfmt, &counted)) << out;
    EXPECT_EQ(640, width);
    EXPECT_EQ(480, height);
    EXPECT_STREQ("bgr24", pixfmt);
    EXPECT_EQ(frames, counted) << "frames at the grabber and in the file";
}

}  // namespace
