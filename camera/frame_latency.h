// Time from a live frame's arrival in the transfer ring to the post of its frame notice, kept for
// one run of live acquisition. When the environment variable QUORIN_LATENCY_LOG names a file, the
// end of each run appends one line to it: "latency frames N p50 X p99 Y wake p50 A p99 B"
// (milliseconds; "wake" is the part until the worker held the frame, the rest is its processing).
// A diagnostic for benchmarks; without the variable nothing is written.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

class FrameLatencyLog {
public:
    FrameLatencyLog();
    // Worker thread: one posted frame that arrived at arrivalTicks and was taken by the worker at
    // takenTicks (QueryPerformanceCounter).
    void Add(int64_t arrivalTicks, int64_t takenTicks);
    // After the worker has ended: writes the run's line (if asked for) and starts a new run.
    void EndRun();

private:
    static const size_t kMostSamples = 1 << 16;
    std::vector<float> samples_, wakes_;
    double ticksPerMs_;
};
