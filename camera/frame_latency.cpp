#include "camera/frame_latency.h"

#include <algorithm>
#include <cstdio>

FrameLatencyLog::FrameLatencyLog() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerMs_ = double(frequency.QuadPart) / 1000.0;
    samples_.reserve(kMostSamples);  // the worker never allocates
    wakes_.reserve(kMostSamples);
}

void FrameLatencyLog::Add(int64_t arrivalTicks, int64_t takenTicks) {
    if (arrivalTicks == 0 || samples_.size() >= kMostSamples) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    samples_.push_back(float(double(now.QuadPart - arrivalTicks) / ticksPerMs_));
    wakes_.push_back(float(double(takenTicks - arrivalTicks) / ticksPerMs_));
}

namespace {

// The p-th fraction of the sorted copy of v.
float Percentile(std::vector<float> v, double p) {
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1) + 0.5)];
}

}  // namespace

void FrameLatencyLog::EndRun() {
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("QUORIN_LATENCY_LOG", path, sizeof path);
    if (length > 0 && length < sizeof path && !samples_.empty()) {
        if (FILE* file = std::fopen(path, "a")) {
            std::fprintf(file, "latency frames %zu p50 %.3f p99 %.3f wake p50 %.3f p99 %.3f\n", samples_.size(),
                         Percentile(samples_, 0.5), Percentile(samples_, 0.99), Percentile(wakes_, 0.5),
                         Percentile(wakes_, 0.99));
            std::fclose(file);
        }
    }
    samples_.clear();
    wakes_.clear();
}
