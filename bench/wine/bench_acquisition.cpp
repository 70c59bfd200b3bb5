// Live acquisition on the simulated camera, per colour type with every image filter on: sustained
// frames per second, frames the worker skipped (gaps in the frame numbers the transfer thread
// gives, and the simulated camera's own count), the process's CPU time per frame, the time from a
// frame's arrival in the ring to the post of its notice (the library's own measurement, asked for
// through QUORIN_LATENCY_LOG), and the spread of the notices' arrival against the camera's frame
// period; then four cameras streaming 24-bit frames at once at realtime pacing. Prints figures;
// passes or fails on nothing.
//
//   bench_acquisition [SECONDS] [four]     (default 3 per colour type and pacing; "four": only
//                                           the four-camera line)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "driver/m52sim_control.h"

namespace {

struct Sim {
    HANDLE control = CreateFileA(M52SIM_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    ~Sim() {
        if (control != INVALID_HANDLE_VALUE) CloseHandle(control);
    }
    bool Send(uint32_t code, uint32_t value, void* out = nullptr, DWORD outBytes = 0, uint32_t camera = 0) {
        M52SimRequest request = {camera, value};
        DWORD moved = 0;
        return DeviceIoControl(control, code, &request, sizeof request, out, outBytes, &moved, nullptr) != 0;
    }
    M52SimStatus Status(uint32_t camera = 0) {
        M52SimStatus s = {};
        Send(M52SIM_IOCTL_STATUS, 0, &s, sizeof s, camera);
        return s;
    }
};

// User and kernel time of this process, ms.
double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& t) {
        return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// The library's ring-to-notice latency of the run just stopped: the last line of the log.
struct Latency {
    char path[MAX_PATH] = "";
    Latency() {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        std::snprintf(path, sizeof path, "%squorin_latency_%lu.txt", dir, GetCurrentProcessId());
        DeleteFileA(path);
        SetEnvironmentVariableA("QUORIN_LATENCY_LOG", path);
    }
    ~Latency() { DeleteFileA(path); }
    std::string Last() {
        std::string last = "-";
        if (FILE* f = std::fopen(path, "r")) {
            char line[256];
            unsigned long frames;
            double p50, p99, wake50, wake99;
            while (std::fgets(line, sizeof line, f))
                if (std::sscanf(line, "latency frames %lu p50 %lf p99 %lf wake p50 %lf p99 %lf", &frames, &p50, &p99,
                                &wake50, &wake99) == 5) {
                    char text[64];
                    std::snprintf(text, sizeof text, "%.1f/%.1f (%.1f/%.1f) ms", p50, p99, wake50, wake99);
                    last = text;
                }
            std::fclose(f);
        }
        return last;
    }
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

// Cameras 0 to 3 streaming 24-bit frames at realtime pacing at the same time, one notice window
// each. Starting a camera takes a while, and the cameras already streaming meanwhile queue their
// notices; so the count starts only once all four stream and the notices queued by then are
// dropped: notices per second over the window and frames the camera sent in the window without a
// notice, per camera (frames in flight at the window's two ends may shift this by one; the frame
// information block is rewritten for every frame, so with four streams its frame number is not
// read); CPU time per frame over all of them; how long each start took.
void FourCameras(Sim& sim, int seconds) {
    const int kCameras = 4;
    int handles[kCameras] = {};
    HWND windows[kCameras] = {};
    std::vector<std::vector<BYTE>> buffers(kCameras);
    std::vector<size_t> notices(kCameras, 0);
    std::vector<double> startMs(kCameras, 0.0);
    std::vector<M52SimStatus> before(kCameras), after(kCameras);
    for (int i = 0; i < kCameras; ++i) {
        M52SimRequest request = {uint32_t(i), 0};
        DWORD moved = 0;
        DeviceIoControl(sim.control, M52SIM_IOCTL_ATTACH, &request, sizeof request, nullptr, 0, &moved, nullptr);
        request.value = M52SIM_PACE_REALTIME;
        DeviceIoControl(sim.control, M52SIM_IOCTL_PACE, &request, sizeof request, nullptr, 0, &moved, nullptr);
    }
    bool started = true;
    for (int i = 0; i < kCameras && started; ++i) {
        windows[i] = CreateWindowExA(0, "STATIC", "bench", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        handles[i] = Quorin_Initialize(nullptr);
        started = handles[i] && windows[i] && (i == 0 || Quorin_SetDeviceNumber(handles[i], i));
        if (!started) break;
        const int filters[][2] = {{1, 10}, {2, 20}, {3, 15}, {4, 20}, {5, 3}, {11, 120}};
        for (const auto& f : filters) Quorin_SetFilterValue(handles[i], f[0], f[1]);
        Quorin_SetWaitTime(handles[i], 1);
        Quorin_SetColorMode(handles[i], 24);
        buffers[i].resize(size_t(1360 * 3) * 1024);
    }
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    for (int i = 0; i < kCameras && started; ++i) {
        QueryPerformanceCounter(&t0);
        started = Quorin_CallBackPreview(handles[i], windows[i], buffers[i].data(), int(buffers[i].size()), 1) != 0;
        QueryPerformanceCounter(&t1);
        startMs[i] = double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(freq.QuadPart);
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, QUORIN_WM_FRAME, QUORIN_WM_FRAME, PM_REMOVE)) {}
    for (int i = 0; i < kCameras; ++i) before[i] = sim.Status(uint32_t(i));
    const double cpuBefore = ProcessCpuMs();
    if (started) {
        const DWORD end = GetTickCount() + DWORD(seconds) * 1000;
        while (int(end - GetTickCount()) > 0) {
            if (!PeekMessageA(&msg, nullptr, QUORIN_WM_FRAME, QUORIN_WM_FRAME, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);  // wakes at once for a notice
                continue;
            }
            for (int i = 0; i < kCameras; ++i)
                if (msg.hwnd == windows[i] && msg.wParam) ++notices[i];
        }
    }
    const double cpu = ProcessCpuMs() - cpuBefore;
    for (int i = 0; i < kCameras; ++i) after[i] = sim.Status(uint32_t(i));
    for (int i = 0; i < kCameras; ++i)
        if (handles[i]) Quorin_StopPreview(handles[i]);
    size_t frames = 0;
    std::printf("four cameras, 24 bits, realtime (camera period %.1f ms), %d s:", double(after[0].frame_period_us) / 1000.0,
                seconds);
    for (int i = 0; i < kCameras; ++i) {
        frames += notices[i];
        const int lost = int(after[i].frames_delivered - before[i].frames_delivered) - int(notices[i]);
        std::printf("  camera %d %.1f fps lost(camera) %d start %.0f ms", i, double(notices[i]) / seconds, lost,
                    startMs[i]);
    }
    if (!started) std::printf("  (a camera did not start)");
    std::printf("  cpu/frame %.2f ms\n", frames ? cpu / double(frames) : 0.0);
    for (int i = 0; i < kCameras; ++i) {
        if (handles[i]) Quorin_Release(handles[i]);
        if (windows[i]) DestroyWindow(windows[i]);
        if (i > 0) {
            M52SimRequest request = {uint32_t(i), 0};
            DWORD moved = 0;
            DeviceIoControl(sim.control, M52SIM_IOCTL_DETACH, &request, sizeof request, nullptr, 0, &moved, nullptr);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const bool fourOnly = argc > 2 && std::string(argv[2]) == "four";
    Sim sim;
    if (sim.control == INVALID_HANDLE_VALUE) {
        std::printf("the simulated camera is not installed\n");
        return 1;
    }
    sim.Send(M52SIM_IOCTL_ATTACH, 0);
    if (fourOnly) {
        FourCameras(sim, seconds);
        return 0;
    }
    HWND window = CreateWindowExA(0, "STATIC", "bench", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const int h = Quorin_Initialize(nullptr);
    if (!h || !window) {
        std::printf("no camera\n");
        return 1;
    }
    // Every image filter away from its neutral value.
    const int filters[][2] = {{1, 10}, {2, 20}, {3, 15}, {4, 20}, {5, 3}, {11, 120}};
    for (const auto& f : filters) Quorin_SetFilterValue(h, f[0], f[1]);
    Quorin_SetWaitTime(h, 1);

    Latency latency;
    // ring-to-post: from the frame's arrival to its notice; in brackets the part until the worker
    // held the frame (the rest is processing).
    std::printf("%-10s %5s %8s %10s %12s %14s %10s %30s %16s\n", "pacing", "bits", "fps", "notices", "lost(gaps)",
                "lost(camera)", "cpu/frame", "ring-to-post p50/99 (wake)", "arrival p50/p99");
    // Every colour type at both pacings with the preview window on the screen (the default: a
    // top-level window the size of the frame, painted before each notice), then 24 bits with the
    // preview window inside our hidden window, where nothing is painted: the frame path alone.
    struct Run { uint32_t pace; int bits; bool hidden; };
    std::vector<Run> runs;
    for (uint32_t pace : {M52SIM_PACE_REALTIME, M52SIM_PACE_FAST})
        for (int bits : {8, 16, 24, 32, 48, 64}) runs.push_back({pace, bits, false});
    runs.push_back({M52SIM_PACE_REALTIME, 24, true});
    runs.push_back({M52SIM_PACE_FAST, 24, true});
    for (const Run& run : runs) {
        const uint32_t pace = run.pace;
        const int bits = run.bits;
        // The latency percentiles of realtime 24 bits need a few hundred frames: p99 of forty is
        // their maximum.
        const int runSeconds = pace == M52SIM_PACE_REALTIME && bits == 24 ? std::max(seconds, 20) : seconds;
        const char* const pacing = run.hidden ? (pace ? "fast/nowin" : "rt/nowin") : (pace ? "fast" : "realtime");
        sim.Send(M52SIM_IOCTL_PACE, pace);
        if (run.hidden) Quorin_SetPreviewWindow(h, window, 0, 0, 1360, 1024);
        {
            Quorin_SetColorMode(h, bits);
            std::vector<BYTE> buffer(size_t(((1360 * bits / 8 + 3) & ~3)) * 1024);
            const M52SimStatus before = sim.Status();
            const double cpuBefore = ProcessCpuMs();
            if (!Quorin_CallBackPreview(h, window, buffer.data(), int(buffer.size()), 1)) {
                std::printf("start failed for %d bits\n", bits);
                continue;
            }
            std::vector<uint32_t> numbers;
            std::vector<double> arrivals;  // ms
            LARGE_INTEGER freq, start, now;
            QueryPerformanceFrequency(&freq);
            QueryPerformanceCounter(&start);
            MSG msg;
            for (;;) {
                QueryPerformanceCounter(&now);
                const double ms = double(now.QuadPart - start.QuadPart) * 1000.0 / double(freq.QuadPart);
                if (ms > runSeconds * 1000.0) break;
                if (!PeekMessageA(&msg, nullptr, QUORIN_WM_FRAME, QUORIN_WM_FRAME, PM_REMOVE)) {
                    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);  // wakes at once for a notice
                    continue;
                }
                if (!msg.wParam) continue;
                numbers.push_back(reinterpret_cast<const QuorinFrameInfo*>(msg.wParam)->frameNumber);
                arrivals.push_back(ms);
            }
            Quorin_StopPreview(h);
            const double cpu = ProcessCpuMs() - cpuBefore;
            const M52SimStatus after = sim.Status();
            while (PeekMessageA(&msg, nullptr, QUORIN_WM_FRAME, QUORIN_WM_FRAME, PM_REMOVE)) {}
            if (numbers.size() < 2) {
                std::printf("%-9s %5d no frames\n", pacing, bits);
                continue;
            }
            const uint32_t span = numbers.back() - numbers.front() + 1;
            const uint32_t sent = after.frames_delivered - before.frames_delivered;
            const double elapsed = (arrivals.back() - arrivals.front()) / 1000.0;
            // Arrival of each notice against a steady clock of the camera's period, fitted to the
            // earliest: how late a frame reaches the application beyond its best case.
            std::vector<double> late;
            const double period = double(after.frame_period_us) / 1000.0;
            double best = 1e300;
            for (size_t i = 0; i < arrivals.size(); ++i)
                best = std::min(best, arrivals[i] - (numbers[i] - numbers.front()) * period);
            for (size_t i = 0; i < arrivals.size(); ++i)
                late.push_back(arrivals[i] - (numbers[i] - numbers.front()) * period - best);
            char arrival[32] = "-";
            if (pace == M52SIM_PACE_REALTIME)
                std::snprintf(arrival, sizeof arrival, "%.1f/%.1f ms", Percentile(late, 0.5), Percentile(late, 0.99));
            std::printf("%-10s %5d %8.1f %10zu %12u %14d %7.2f ms %30s %16s\n", pacing, bits,
                        (numbers.size() - 1) / elapsed, numbers.size(), span - uint32_t(numbers.size()),
                        int(sent) - int(numbers.size()), cpu / double(numbers.size()), latency.Last().c_str(),
                        arrival);
        }
    }
    sim.Send(M52SIM_IOCTL_PACE, M52SIM_PACE_REALTIME);
    Quorin_Release(h);
    DestroyWindow(window);
    FourCameras(sim, seconds);
    return 0;
}
