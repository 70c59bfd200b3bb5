#include "camera/frame_latency.h"

#include <algorithm>
#include <cstdio>

FrameLatencyLog::FrameLatencyLog() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerMs_ = double(frequency.QuadPart) / 1000.0;
    samples_.reserve(kMostSamples);  // the worker never allocates
}

void FrameLatencyLog::Add(int64_t arrivalTicks) {
    if (arrivalTicks == 0 || samples_.size() >= kMostSamples) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    samples_.push_back(float(double(now.QuadPart - arrivalTicks) / ticksPerMs_));
}

void FrameLatencyLog::EndRun() {
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("QUORIN_LATENCY_LOG", path, sizeof path);
    if (length > 0 && length < sizeof path && !samples_.empty()) {
        std::vector<float> sorted(samples_);
        std::sort(sorted.begin(), sorted.end());
        const auto at = [&sorted](double p) { return sorted[size_t(p * double(sorted.size() - 1) + 0.5)]; };
        if (FILE* file = std::fopen(path, "a")) {
            std::fprintf(file, "latency frames %zu p50 %.3f p99 %.3f\n", sorted.size(), at(0.5), at(0.99));
            std::fclose(file);
        }
    }
    samples_.clear();
}
