#include "tests/faults/fault_support.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>

namespace faulttest {

HangWatch::HangWatch(const char* what, DWORD ms) : what_(what), ms_(ms) {
    left_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

HangWatch::~HangWatch() {
    SetEvent(left_);
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    CloseHandle(left_);
}

DWORD WINAPI HangWatch::Watch(LPVOID param) {
    HangWatch* self = static_cast<HangWatch*>(param);
    if (WaitForSingleObject(self->left_, self->ms_) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "HANG: %s did not return within %lu ms\n", self->what_.c_str(),
                     static_cast<unsigned long>(self->ms_));
        std::fflush(stderr);
        PrintOutcomes();
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
}

namespace {

enum Sample { kOther, kWhite, kBlack };

Sample Classify(const uint8_t* px) {
    const int lo = std::min({px[0], px[1], px[2]}), hi = std::max({px[0], px[1], px[2]});
    if (hi - lo > 40) return kOther;
    if (lo >= 60) return kWhite;
    if (hi <= 30) return kBlack;
    return kOther;
}

// One band: a number, 0 when it shows bars, -1 when unreadable. The moving object (64 pixels
// wide) covers at most one of a cell's three points, so each cell takes the majority.
int ReadBand(const uint8_t* frame, int stride, int y) {
    int number = 0;
    bool bars = false;
    for (int cell = 0; cell < 8; ++cell) {
        int votes[3] = {0, 0, 0};
        for (int dx : {20, 85, 150}) votes[Classify(frame + static_cast<size_t>(y) * stride + (cell * 170 + dx) * 3)]++;
        if (votes[kWhite] >= 2) number |= 1 << cell;
        else if (votes[kBlack] >= 2) continue;
        else bars = true;
    }
    if (bars) return 0;
    return number == 0 ? -1 : number;
}

}  // namespace

int MarkedCamera(const uint8_t* frame, int stride) {
    const int a = ReadBand(frame, stride, 256 + 32), b = ReadBand(frame, stride, 576 + 32);
    if (a == b) return a;
    if (a < 0 || (a == 0 && b > 0)) return b;  // the object may hide one band
    if (b < 0 || (b == 0 && a > 0)) return a;
    return -2;
}

namespace {
// A deque: rows handed out stay where they are while new ones are added.
std::deque<Outcome>& Table() {
    static std::deque<Outcome> table;
    return table;
}
}  // namespace

Outcome& OutcomeOf(const std::string& fault, const std::string& state) {
    for (Outcome& o : Table())
        if (o.fault == fault && o.state == state) return o;
    Table().push_back(Outcome());
    Table().back().fault = fault;
    Table().back().state = state;
    return Table().back();
}

void PrintOutcomes() {
    std::printf("FAULT-TABLE | fault | state | injected | codes | max time to report | files valid | handles after | new start ok |\n");
    for (const Outcome& o : Table()) {
        std::map<int, int> codes;
        for (int c : o.codes) codes[c]++;
        std::string text;
        for (const auto& c : codes) text += (text.empty() ? "" : ", ") + std::to_string(c.first) + " x" + std::to_string(c.second);
        char files[32] = "-", report[32] = "-", handles[32] = "-", restarts[32] = "-";
        if (o.filesChecked) std::snprintf(files, sizeof files, "%d/%d", o.filesValid, o.filesChecked);
        if (o.maxReportMs) std::snprintf(report, sizeof report, "%.2f s", o.maxReportMs / 1000.0);
        if (o.runs) {
            std::snprintf(handles, sizeof handles, "%+ld", o.handlesAfter);
            std::snprintf(restarts, sizeof restarts, "%d/%d", o.restartsOk, o.runs);
        }
        std::printf("FAULT-TABLE | %s | %s | %d | %s | %s | %s | %s | %s |\n", o.fault.c_str(), o.state.c_str(), o.injected,
                    text.empty() ? "-" : text.c_str(), report, files, handles, restarts);
    }
    std::fflush(stdout);
}

long ProcessHandles() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return static_cast<long>(count);
}

}  // namespace faulttest
