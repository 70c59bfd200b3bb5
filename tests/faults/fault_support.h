// Shared pieces of the fault suite: exports called under a watchdog that ends the program
// instead of letting it hang, the camera number read from a processed frame, and the table of
// faults injected and their outcomes that the suite prints at its end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace faulttest {

// The named event the four-camera case sets when its child processes may stop streaming.
constexpr const char kChildStopEvent[] = "Local\\quorin_fault_stream_child_stop";
// The semaphore each child releases once its cameras are open, and the event the case then sets
// for them to start streaming: a camera's start-up beside running streams is slow on a busy machine.
constexpr const char kChildOpenedSemaphore[] = "Local\\quorin_fault_stream_child_opened";
constexpr const char kChildGoEvent[] = "Local\\quorin_fault_stream_child_go";

// Ends the program (exit code 3) with a message when the scope is not left within `ms`, so a
// hanging export fails the suite at once instead of at the test time-out.
class HangWatch {
public:
    HangWatch(const char* what, DWORD ms);
    ~HangWatch();
    HangWatch(const HangWatch&) = delete;
    HangWatch& operator=(const HangWatch&) = delete;

private:
    static DWORD WINAPI Watch(LPVOID self);
    std::string what_;
    DWORD ms_;
    HANDLE left_ = nullptr;
    HANDLE thread_ = nullptr;
};

// Longest an export may take while the camera is unplugged or stalled.
const DWORD kExportLimitMs = 8000;
// Longest the documented error may take to arrive after the fault.
const DWORD kReportLimitMs = 7000;

// The camera number marked in a 24-bit frame of 1360 x 1024 (B, G, R bytes, top line first, rows
// of `stride` bytes): 1 to 31 from the mark bands of the simulated camera's default scene, 0 when
// the bands show camera 0's bars, -1 when nothing can be read, -2 when the two bands disagree.
int MarkedCamera(const uint8_t* frame, int stride);

// One row of the outcome table.
struct Outcome {
    std::string fault, state;
    int runs = 0;                    // times the case ran
    int injected = 0;                // faults injected
    std::vector<int> codes;          // documented codes seen (first one of each injection)
    DWORD maxReportMs = 0;
    int filesChecked = 0, filesValid = 0;
    long handlesAfter = 0;           // largest handle growth seen after a case
    int restartsOk = 0;              // runs after which a new start worked
};
// The row of a fault and state, made on first use; it stays valid for the whole run.
Outcome& OutcomeOf(const std::string& fault, const std::string& state);
// Prints the table (lines starting "FAULT-TABLE").
void PrintOutcomes();

// Handles the process holds now.
long ProcessHandles();

}  // namespace faulttest
