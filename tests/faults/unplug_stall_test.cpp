// A cable pulled, or a camera that stops answering, in every acquisition state: the documented
// error within 7 s (13 for a live or trigger run, 8 for a snapshot), no export that hangs, a
// recording file that is finished and playable, and a new start that works once the camera is
// back.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/support/camera.h"
#include "tests/faults/fault_support.h"
#include "tests/recording/recording_support.h"
#include "tests/support/windows_and_dialogs.h"

namespace {

using qtest::CollectFrames;
using qtest::DrainHistory;
using qtest::FrameNotice;
using faulttest::HangWatch;
using faulttest::kExportLimitMs;
using faulttest::kReportLimitMs;

enum class Fault { kUnplug, kStall };
enum class State { kIdle, kLive, kCapture, kTrigger, kRecording, kDialog };

struct Case {
    Fault fault;
    State state;
};

const char* FaultName(Fault f) { return f == Fault::kUnplug ? "unplug" : "stall"; }
const char* StateName(State s) {
    switch (s) {
    case State::kIdle: return "idle";
    case State::kLive: return "live, caller buffer";
    case State::kCapture: return "capture, between snapshots";
    case State::kTrigger: return "trigger wait";
    case State::kDialog: return "live, analog dialog open";
    default: return "recording";
    }
}

size_t FrameCount(const std::vector<FrameNotice>& notices) {
    size_t n = 0;
    for (const FrameNotice& f : notices) n += f.hasInfo ? 1 : 0;
    return n;
}

// Pops the history until `code` shows (or `ms` passed); the codes seen, newest first.
std::vector<int> WaitForHistory(int handle, int code, DWORD ms, DWORD* at) {
    std::vector<int> seen;
    const DWORD start = GetTickCount();
    *at = 0;
    while (GetTickCount() - start < ms) {
        for (int c; (c = Quorin_GetLastError(handle)) != 0;) {
            seen.push_back(c);
            if (c == code && !*at) *at = GetTickCount();
        }
        if (*at) break;
        Sleep(10);
    }
    return seen;
}

class UnplugAndStall : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        ASSERT_TRUE(cam_.Open());
        h_ = cam_.handle;
        w_ = cam_.window.Handle();
        buffer_.assign(qtest::FrameBytes(24), 0);
    }
    void TearDown() override {
        cam_.sim.Fault(0, M52SIM_FAULT_NONE);
        cam_.Close();
    }

    void Inject() {
        if (GetParam().fault == Fault::kUnplug)
            ASSERT_TRUE(cam_.sim.Detach(0));
        else
            ASSERT_TRUE(cam_.sim.Fault(0, M52SIM_FAULT_STALL));
    }
    void Heal() {
        if (GetParam().fault == Fault::kUnplug)
            ASSERT_TRUE(cam_.sim.Attach(0));
        else
            ASSERT_TRUE(cam_.sim.Fault(0, M52SIM_FAULT_NONE));
    }
    // The (0, 13) notice of a lost camera in time, with 13 alone in the history.
    void ExpectDeviceLost(DWORD start, DWORD* reportMs, int* code) {
        const DWORD at = qtest::WaitForFrameError(w_, QUORIN_ERR_DEVICE_LOST, kReportLimitMs + 1000);
        ASSERT_NE(at, 0u) << "no (0, 13) notice";
        *reportMs = at - start;
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{QUORIN_ERR_DEVICE_LOST});
        *code = QUORIN_ERR_DEVICE_LOST;
    }
    int Stop() {
        HangWatch watch("Quorin_StopPreview", kExportLimitMs);
        return Quorin_StopPreview(h_);
    }
    // A live start with the caller's buffer that delivers a frame of this camera's scene.
    bool LiveWorks() {
        {
            HangWatch watch("Quorin_CallBackPreview", kExportLimitMs);
            if (Quorin_CallBackPreview(h_, w_, buffer_.data(), static_cast<int>(buffer_.size()), 1) != 1) return false;
        }
        const bool framed = FrameCount(CollectFrames(w_, 4000, 1)) == 1;
        return framed && faulttest::MarkedCamera(buffer_.data(), 4080) == 0 && Stop() == 1;
    }
    bool RecordingWorks(const std::string& path) {
        {
            HangWatch watch("Quorin_Record", kExportLimitMs);
            if (Quorin_Record(h_, path.c_str(), 800, 0) != 1) return false;
        }
        const bool finished = rectest::WaitUntilFinished(path, 6000);
        return Stop() == 1 && finished && rectest::ProbeAvi(path).frames > 0;
    }

    qtest::CameraSession cam_;
    int h_ = 0;
    HWND w_ = nullptr;
    std::vector<uint8_t> buffer_;
};

TEST_P(UnplugAndStall, ReportsTheDocumentedErrorInTimeAndStartsAgain) {
    const Case c = GetParam();
    faulttest::Outcome& outcome = faulttest::OutcomeOf(FaultName(c.fault), StateName(c.state));
    const long handlesBefore = faulttest::ProcessHandles();
    const int size = static_cast<int>(buffer_.size());
    rectest::ScratchFolder folder;
    const std::string avi = folder.File("lost.avi");
    int code = 0;
    DWORD reportMs = 0;

    switch (c.state) {
    case State::kIdle: {
        Inject();
        const DWORD start = GetTickCount();
        int started;
        {
            HangWatch watch("Quorin_CallBackPreview", kExportLimitMs);
            started = Quorin_CallBackPreview(h_, w_, buffer_.data(), size, 1);
        }
        if (started == 1) {
            // The start went through on the last probe; the worker finds the camera lost.
            ExpectDeviceLost(start, &reportMs, &code);
            if (HasFatalFailure()) return;
        } else {
            reportMs = GetTickCount() - start;
            const std::vector<int> history = DrainHistory(h_);
            ASSERT_FALSE(history.empty()) << "a failed start must say why";
            code = history.front();
            EXPECT_EQ(code, QUORIN_ERR_FRAME_READ) << "a failed live start pushes 8 on top";
        }
        break;
    }
    case State::kLive: {
        ASSERT_EQ(Quorin_CallBackPreview(h_, w_, buffer_.data(), size, 1), 1);
        ASSERT_GE(FrameCount(CollectFrames(w_, 4000, 1)), 1u);
        Inject();
        const DWORD start = GetTickCount();
        ExpectDeviceLost(start, &reportMs, &code);
        if (HasFatalFailure()) return;
        break;
    }
    case State::kCapture: {
        ASSERT_EQ(Quorin_Capture(h_), 1);
        ASSERT_EQ(Quorin_SnapShot(h_, buffer_.data(), size, 1), 1);
        Inject();
        const DWORD start = GetTickCount();
        int shot;
        {
            HangWatch watch("Quorin_SnapShot", kExportLimitMs);
            shot = Quorin_SnapShot(h_, buffer_.data(), size, 1);
        }
        reportMs = GetTickCount() - start;
        EXPECT_EQ(shot, 0);
        const std::vector<int> history = DrainHistory(h_);
        ASSERT_FALSE(history.empty());
        code = history.front();
        EXPECT_EQ(history, std::vector<int>{QUORIN_ERR_FRAME_READ});
        break;
    }
    case State::kTrigger: {
        ASSERT_EQ(Quorin_Trigger(h_, w_, buffer_.data(), size, 1), 1);
        ASSERT_TRUE(qtest::TriggerPulses(0, 1));
        ASSERT_GE(FrameCount(CollectFrames(w_, 4000, 1)), 1u);
        Inject();
        const DWORD start = GetTickCount();
        ExpectDeviceLost(start, &reportMs, &code);
        if (HasFatalFailure()) return;
        break;
    }
    case State::kDialog: {
        // The analog dialog runs in its export on a second thread while frames stream.
        ASSERT_EQ(Quorin_CallBackPreview(h_, w_, buffer_.data(), size, 1), 1);
        ASSERT_GE(FrameCount(CollectFrames(w_, 4000, 1)), 1u);
        int dialogResult = -1;
        DWORD dialogThread = 0;
        std::thread dialog([&] {
            dialogThread = GetCurrentThreadId();
            dialogResult = Quorin_SetAnalogDlg(h_, nullptr);
        });
        HWND frame = nullptr;
        const std::string caption = dlgtest::PropertyCaption();
        qtest::WaitUntil([&] {
            if (!dialogThread) return false;
            qtest::WindowQuery dialogOfThread;
            dialogOfThread.thread = dialogThread;
            dialogOfThread.title = caption.c_str();
            return (frame = qtest::FindTopLevel(dialogOfThread)) != nullptr;
        }, 10000, 20);
        if (!frame) {
            dialog.detach();  // the program ends with the failure below
            FAIL() << "the analog dialog did not open";
        }
        Inject();
        const DWORD start = GetTickCount();
        const DWORD at = qtest::WaitForFrameError(w_, QUORIN_ERR_DEVICE_LOST, kReportLimitMs + 1000);
        reportMs = at ? at - start : GetTickCount() - start;
        code = at ? QUORIN_ERR_DEVICE_LOST : 0;
        // The dialog still answers and its export returns once it is closed.
        EXPECT_TRUE(IsWindow(frame));
        PostMessageA(frame, WM_CLOSE, 0, 0);
        {
            HangWatch watch("Quorin_SetAnalogDlg after the close", kExportLimitMs);
            dialog.join();
        }
        EXPECT_EQ(dialogResult, 1);
        ASSERT_NE(at, 0u) << "no (0, 13) notice";
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{QUORIN_ERR_DEVICE_LOST});
        break;
    }
    case State::kRecording: {
        ASSERT_EQ(Quorin_Record(h_, avi.c_str(), 30000, 0), 1);
        Sleep(800);
        Inject();
        const DWORD start = GetTickCount();
        DWORD at = 0;
        const std::vector<int> seen = WaitForHistory(h_, QUORIN_ERR_DEVICE_LOST, kReportLimitMs + 1000, &at);
        ASSERT_NE(at, 0u) << "no 13 in the history";
        EXPECT_EQ(seen, std::vector<int>{QUORIN_ERR_DEVICE_LOST});
        reportMs = at - start;
        code = QUORIN_ERR_DEVICE_LOST;
        // The file of a recording that lost its camera is finished and plays.
        outcome.filesChecked++;
        const bool finished = rectest::WaitUntilFinished(avi, 5000);
        const rectest::Probe probe = rectest::ProbeAvi(avi);
        const bool decoded = probe.read && probe.frames > 0 && !rectest::DecodeAvi(avi, 1360, 1024, 1).empty();
        EXPECT_TRUE(finished) << "the file is not finished";
        EXPECT_TRUE(decoded) << probe.text;
        if (finished && decoded) outcome.filesValid++;
        break;
    }
    }
    outcome.runs++;
    outcome.injected++;
    outcome.codes.push_back(code);
    outcome.maxReportMs = std::max(outcome.maxReportMs, reportMs);
    EXPECT_LE(reportMs, kReportLimitMs) << "the error came too late";

    // Every export still returns; once the camera is back a new start of the same kind works.
    EXPECT_EQ(Stop(), 1);
    Heal();
    EXPECT_EQ(Stop(), 1);
    DrainHistory(h_);
    bool restarted = false;
    switch (c.state) {
    case State::kCapture:
        restarted = Quorin_Capture(h_) == 1 && Quorin_SnapShot(h_, buffer_.data(), size, 1) == 1 &&
                    faulttest::MarkedCamera(buffer_.data(), 4080) == 0 && Stop() == 1;
        break;
    case State::kTrigger:
        restarted = Quorin_Trigger(h_, w_, buffer_.data(), size, 1) == 1 && qtest::TriggerPulses(0, 1) &&
                    FrameCount(CollectFrames(w_, 4000, 1)) == 1 && Stop() == 1;
        break;
    case State::kRecording: {
        const std::string again = folder.File("again.avi");
        restarted = RecordingWorks(again);
        outcome.filesChecked++;
        if (restarted) outcome.filesValid++;
        break;
    }
    default:
        restarted = LiveWorks();
        break;
    }
    EXPECT_TRUE(restarted) << "no new start after the camera came back";
    if (restarted) outcome.restartsOk++;
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
    const long grown = faulttest::ProcessHandles() - handlesBefore;
    outcome.handlesAfter = std::max(outcome.handlesAfter, grown);
    EXPECT_EQ(grown, 0) << "the case left " << grown << " more handles open";
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (Fault f : {Fault::kUnplug, Fault::kStall})
        for (State s : {State::kIdle, State::kLive, State::kCapture, State::kTrigger, State::kRecording, State::kDialog})
            cases.push_back({f, s});
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    static const char* const kStates[] = {"Idle", "Live", "Capture", "Trigger", "Recording", "AnalogDialog"};
    return std::string(info.param.fault == Fault::kUnplug ? "Unplug" : "Stall") +
           kStates[static_cast<int>(info.param.state)];
}

INSTANTIATE_TEST_SUITE_P(EveryState, UnplugAndStall, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
