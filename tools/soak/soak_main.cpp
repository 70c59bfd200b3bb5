// quorin_soak MINUTES [--record-every MINUTES] [--mode-seconds SECONDS] [--record-ms MS]
//
// Streams camera 0 in every colour type in turn with every filter on, records a short AVI every
// few minutes, samples the process's handles, GDI and USER objects and private memory after every
// pass over the colour types (about a minute),
// and prints the drift per hour. Exits 1 on any error the camera reports, on a mode that delivers
// no frames, on an unreadable recording, or when a figure grew beyond its margin.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tools/soak/process_resources.h"

namespace {

// Growth allowed between the sample after the warm-up and the end of the run.
constexpr long kHandleMargin = 16;
constexpr long kGdiMargin = 16;
constexpr long kUserMargin = 4;
constexpr uint64_t kPrivateMargin = 8u << 20;

const int kColourTypes[] = {8, 16, 24, 32, 48, 64};

struct Counters {
    unsigned long frames = 0;
    unsigned long errors = 0;
};
Counters g_counts;

LRESULT CALLBACK SoakWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == QUORIN_WM_FRAME) {
        if (wParam && lParam == 0) {
            ++g_counts.frames;
        } else {
            ++g_counts.errors;
            std::printf("ERROR frame notice with code %ld\n", long(lParam));
        }
        return 0;
    }
    if (message == QUORIN_WM_ERROR) {
        ++g_counts.errors;
        std::printf("ERROR notice with code %ld\n", long(lParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Handles the window's messages for ms milliseconds.
void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    }
}

// Every error code in the history counts as a failure.
void DrainHistory(int handle, const char* step) {
    for (int code; (code = Quorin_GetLastError(handle)) != 0;) {
        ++g_counts.errors;
        std::printf("ERROR %s: code %d in the history\n", step, code);
    }
}

void Fail(const char* what) {
    ++g_counts.errors;
    std::printf("ERROR %s\n", what);
}

// Every filter away from neutral; gray mode on every second pass.
void SetEveryFilter(int handle, bool gray) {
    const struct {
        int id, value;
    } values[] = {{QUORIN_BRIGHTNESS, 20},   {QUORIN_CONTRAST, 25},        {QUORIN_HUE, 30},
                  {QUORIN_SATURATION, 40},   {QUORIN_SHARPNESS, 12},       {QUORIN_BAYER_GAIN_RED, 120},
                  {QUORIN_BAYER_GAIN_GREEN, 100}, {QUORIN_BAYER_GAIN_BLUE, 90}, {QUORIN_GAMMA, 130},
                  {QUORIN_GRAY_MODE, gray ? 1 : 0}, {QUORIN_GRAY_GAIN_R, 120}, {QUORIN_GRAY_GAIN_B, 140},
                  {QUORIN_GRAY_OFFSET_G1, 10}};
    for (const auto& value : values)
        if (Quorin_SetFilterValue(handle, value.id, value.value) != 1) Fail("a filter value was refused");
}

// A finished AVI: RIFF size matching the file, an index, and at least one frame in its header.
bool CheckAvi(const std::string& path, unsigned long* frames) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    auto u32 = [&](size_t at) {
        return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
               uint32_t(bytes[at + 3]) << 24;
    };
    if (bytes.size() < 256 || std::memcmp(bytes.data(), "RIFF", 4) || std::memcmp(bytes.data() + 8, "AVI ", 4))
        return false;
    if (u32(4) + 8 != bytes.size()) return false;
    size_t at = 0;
    for (size_t i = 0; i + 4 < 256; ++i)
        if (!std::memcmp(bytes.data() + i, "avih", 4)) at = i;
    if (!at) return false;
    *frames = u32(at + 8 + 16);
    bool index = false;
    for (size_t i = bytes.size() > 4096 * 1024 ? bytes.size() - 4096 * 1024 : 0; i + 4 <= bytes.size(); ++i)
        if (!std::memcmp(bytes.data() + i, "idx1", 4)) index = true;
    return index && *frames > 0;
}

struct Sample {
    double minute;
    ProcessResources resources;
};

// Least-squares slope per hour of one figure over the samples.
template <typename Get>
double DriftPerHour(const std::vector<Sample>& samples, Get get) {
    if (samples.size() < 2) return 0;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double n = double(samples.size());
    for (const Sample& s : samples) {
        const double x = s.minute / 60.0, y = double(get(s.resources));
        sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    const double d = n * sxx - sx * sx;
    return d > 0 ? (n * sxy - sx * sy) / d + 0.0 : 0;  // + 0.0: no "-0.0" in the report
}

void PrintSample(const Sample& s, unsigned long records) {
    char usage[32] = "n/a";  // Wine reports 0
    if (s.resources.privateUsage) std::snprintf(usage, sizeof usage, "%.2f MiB", double(s.resources.privateUsage) / 1048576.0);
    std::printf("minute %5.1f: handles %ld, GDI %ld, USER %ld, committed private %.2f MiB, PrivateUsage %s, "
                "frames %lu, recordings %lu, errors %lu\n",
                s.minute, s.resources.handles, s.resources.gdiObjects, s.resources.userObjects,
                double(s.resources.committedPrivate) / 1048576.0, usage, g_counts.frames, records, g_counts.errors);
    std::fflush(stdout);
}

struct Options {
    double minutes = 0;
    double recordEvery = 3;
    int modeSeconds = 10;
    int recordMs = 4000;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    if (argc < 2) return false;
    options->minutes = std::atof(argv[1]);
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--record-every")) options->recordEvery = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--mode-seconds")) options->modeSeconds = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--record-ms")) options->recordMs = std::atoi(argv[i + 1]);
        else return false;
    }
    return options->minutes > 0 && options->modeSeconds > 0 && options->recordMs > 0;
}

class Soak {
public:
    Soak(const Options& options, HWND window, int handle) : options_(options), window_(window), handle_(handle) {}

    // One colour type: live into a caller buffer for the mode's time; frames must arrive.
    void StreamColourType(int bits, DWORD ms) {
        if (Quorin_SetColorMode(handle_, bits) != 1) Fail("a colour type was refused");
        const int width = Quorin_Width(handle_), height = Quorin_Height(handle_);
        const size_t size = size_t((width * bits / 8 + 3) & ~3) * size_t(height);
        std::vector<BYTE> buffer(size);
        const unsigned long before = g_counts.frames;
        if (Quorin_CallBackPreview(handle_, window_, buffer.data(), int(size), 1) != 1) Fail("live start failed");
        Pump(ms);
        if (Quorin_StopPreview(handle_) != 1) Fail("live stop failed");
        Pump(50);  // notices already posted are counted against this buffer
        DrainHistory(handle_, "streaming");
        if (g_counts.frames == before) {
            char text[80];
            std::snprintf(text, sizeof text, "colour type %d delivered no frames", bits);
            Fail(text);
        }
    }

    // One recording of a few seconds into a scratch file, checked and deleted.
    void RecordOnce() {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        const std::string path = std::string(folder) + "quorin_soak_" + std::to_string(GetCurrentProcessId()) + ".avi";
        if (Quorin_Record(handle_, path.c_str(), options_.recordMs, 0) != 1) {
            Fail("recording did not start");
        } else {
            Pump(DWORD(options_.recordMs) + 1500);
            Quorin_StopPreview(handle_);
            unsigned long frames = 0;
            if (!CheckAvi(path, &frames)) Fail("the recording is not a finished AVI");
            else std::printf("recording %lu: %lu frames\n", records_ + 1, frames);
        }
        DrainHistory(handle_, "recording");
        DeleteFileA(path.c_str());
        for (int part = 1; part < 5; ++part) {
            char name[16];
            std::snprintf(name, sizeof name, "_%03d.avi", part);
            DeleteFileA((path.substr(0, path.size() - 4) + name).c_str());
        }
        ++records_;
        lastRecord_ = Minutes();
    }

    double Minutes() const { return double(GetTickCount() - start_) / 60000.0; }

    void TakeSample() {
        samples_.push_back({Minutes(), SampleProcessResources()});
        PrintSample(samples_.back(), records_);
    }

    bool Run() {
        start_ = GetTickCount();
        // Warm-up: one pass of every colour type and one recording, so that what is made once
        // (tables, the pipeline's images, the recorder's work images) is in the baseline.
        SetEveryFilter(handle_, false);
        for (int bits : kColourTypes) StreamColourType(bits, 3000);
        RecordOnce();
        std::printf("warm-up done after %.1f minutes\n", Minutes());
        start_ = GetTickCount();
        records_ = 0;
        lastRecord_ = 0;
        TakeSample();

        for (int pass = 0; Minutes() < options_.minutes; ++pass) {
            SetEveryFilter(handle_, pass % 2 == 1);
            DrainHistory(handle_, "filters");
            for (int bits : kColourTypes) {
                StreamColourType(bits, DWORD(options_.modeSeconds) * 1000);
                if (Minutes() - lastRecord_ >= options_.recordEvery) RecordOnce();
            }
            // Sampled when idle at the end of a pass (a pass is about a minute), so that every sample
            // sees the same state: camera open, nothing running, the last colour type the same.
            TakeSample();
        }
        return Report();
    }

    bool Report() {
        const ResourceMeasures measures = DescribeResourceMeasures();
        std::printf("measures: handles by %s; GDI by %s; USER by %s; private memory by VirtualQuery "
                    "(committed, private)%s\n",
                    measures.handles, measures.gdi, measures.user,
                    samples_.back().resources.privateUsage ? " and PrivateUsage" : "; PrivateUsage reads 0 here");
        const double minutes = samples_.back().minute;
        const ProcessResources& first = samples_.front().resources;
        const ProcessResources& last = samples_.back().resources;
        std::printf("DRIFT over %.1f minutes (%zu samples, %lu frames, %lu recordings): handles %+.1f/h, "
                    "GDI %+.1f/h, USER %+.1f/h, committed private %+.3f MiB/h, PrivateUsage %+.3f MiB/h\n",
                    minutes, samples_.size(), g_counts.frames, records_,
                    DriftPerHour(samples_, [](const ProcessResources& r) { return r.handles; }),
                    DriftPerHour(samples_, [](const ProcessResources& r) { return r.gdiObjects; }),
                    DriftPerHour(samples_, [](const ProcessResources& r) { return r.userObjects; }),
                    DriftPerHour(samples_, [](const ProcessResources& r) { return r.committedPrivate; }) / 1048576.0,
                    DriftPerHour(samples_, [](const ProcessResources& r) { return r.privateUsage; }) / 1048576.0);
        std::printf("GROWTH first to last sample: handles %+ld, GDI %+ld, USER %+ld, committed private %+.2f MiB\n",
                    last.handles - first.handles, last.gdiObjects - first.gdiObjects,
                    last.userObjects - first.userObjects,
                    (double(last.committedPrivate) - double(first.committedPrivate)) / 1048576.0);
        bool ok = g_counts.errors == 0;
        if (last.handles - first.handles > kHandleMargin) ok = false, std::printf("FAIL handles grew\n");
        if (last.gdiObjects - first.gdiObjects > kGdiMargin) ok = false, std::printf("FAIL GDI objects grew\n");
        if (last.userObjects - first.userObjects > kUserMargin) ok = false, std::printf("FAIL USER objects grew\n");
        if (last.committedPrivate > first.committedPrivate + kPrivateMargin)
            ok = false, std::printf("FAIL private memory grew\n");
        std::printf("%s (%lu errors)\n", ok ? "SOAK PASSED" : "SOAK FAILED", g_counts.errors);
        return ok;
    }

private:
    Options options_;
    HWND window_;
    int handle_;
    DWORD start_ = 0;
    unsigned long records_ = 0;
    double lastRecord_ = 0;
    std::vector<Sample> samples_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: quorin_soak MINUTES [--record-every MINUTES] [--mode-seconds S] [--record-ms MS]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = SoakWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuorinSoakWindow";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowW(L"QuorinSoakWindow", L"soak", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                      nullptr, windowClass.hInstance, nullptr);
    if (!window) return std::printf("SOAK FAILED: no window\n"), 1;
    const int handle = Quorin_Initialize(window);
    if (!handle) return std::printf("SOAK FAILED: no camera object\n"), 1;
    DrainHistory(handle, "opening");
    if (g_counts.errors) return std::printf("SOAK FAILED: camera 0 did not open\n"), 1;
    std::printf("soak: %.1f minutes, %d s per colour type, a %d ms recording every %.1f minutes\n", options.minutes,
                options.modeSeconds, options.recordMs, options.recordEvery);
    Soak soak(options, window, handle);
    const bool ok = soak.Run();
    Quorin_Release(handle);
    DestroyWindow(window);
    return ok ? 0 : 1;
}
