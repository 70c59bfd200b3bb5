// What an application meets beside the normal run, through the exports on the simulated camera.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/recording/recording_support.h"
#include "tests/support/camera.h"
#include "tests/support/process.h"

namespace {

using qtest::CollectFrames;
using qtest::DrainHistory;
using qtest::WaitForFrameError;
const std::vector<int> kNone;

size_t Frames(HWND w, DWORD ms, size_t count, const void* data = nullptr) {
    size_t n = 0;
    for (const qtest::FrameNotice& f : CollectFrames(w, ms, count)) n += f.hasInfo && (!data || f.info.data == data);
    return n;
}

HWND MakeParent() {
    WNDCLASSA wc = {0, DefWindowProcA, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "Parent"};
    RegisterClassA(&wc);
    return CreateWindowExA(0, "Parent", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                           nullptr, nullptr);
}

// hardening_child.exe for camera with args.
std::string Child(uint32_t camera, const std::string& args) {
    return "\"" + qtest::ProgramPath("hardening_child.exe") + "\" " + std::to_string(camera) + " " + args;
}

class Hardening : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cam_.Open());
        ASSERT_EQ(Quorin_SetPreviewWindow(h_ = cam_.handle, nullptr, 0, 0, 0, 0), 1);
    }
    void TearDown() override {
        Quorin_Close(h_);
        if (parent_) DestroyWindow(parent_);
        cam_.Close();
    }
    bool Pulse() { return qtest::TriggerPulses(n_, 1); }
    int Live() { return Quorin_CallBackPreview(h_, w_, buf_.data(), int(buf_.size()), 1); }
    int Trigger() { return Quorin_Trigger(h_, w_, buf_.data(), int(buf_.size()), 1); }

    qtest::CameraSession cam_;
    qtest::ScratchFolder dir_{"hardening"};
    int h_ = 0;
    const uint32_t n_ = qtest::TestCamera();
    HWND w_ = cam_.window.Handle(), parent_ = nullptr;
    std::vector<uint8_t> buf_ = std::vector<uint8_t>(qtest::FrameBytes(24));
};

TEST_F(Hardening, AFrameWindowThatFallsBehindReadsEachFramesOwnBlock) {
    ASSERT_EQ(Quorin_SetCaptureWindowEx(h_, 1360, 0, 320, 1024, 0, 240), 1);
    ASSERT_TRUE(cam_.sim.Pace(n_, M52SIM_PACE_FAST));
    ASSERT_EQ(Live(), 1);
    // Every other notice is read only once the next is queued: the window keeps falling behind.
    int handled = 0, notAbove = 0, bad = 0;
    unsigned last = 0;
    MSG m, next;
    for (DWORD start = GetTickCount(); handled < 400 && GetTickCount() - start < 120000;) {
        if (!PeekMessageA(&m, w_, QUORIN_WM_FRAME, QUORIN_WM_FRAME, PM_REMOVE) || !m.wParam) continue;
        for (DWORD t = GetTickCount(); handled % 2 == 0 && GetTickCount() - t < 2000;)
            if (PeekMessageA(&next, w_, QUORIN_WM_FRAME, QUORIN_WM_FRAME, PM_NOREMOVE)) break;
        const QuorinFrameInfo& info = *reinterpret_cast<const QuorinFrameInfo*>(m.wParam);
        notAbove += info.frameNumber <= last;
        bad += info.size != 32 || info.width != 320 || info.height != 240 || info.bitsPerPixel != 24 ||
               info.data != buf_.data();
        last = info.frameNumber;
        ++handled;
    }
    EXPECT_GE(handled, 200);
    EXPECT_EQ(notAbove, 0) << "of " << handled << " notices, frame numbers not above the previous one";
    EXPECT_EQ(bad, 0);
}

// A run lost to a stall or an unplug: the next call starts a new run once the camera is back, or
// fails with 13 while it is gone; never 1 with nothing running.
TEST_F(Hardening, CallsAfterALostRunStartANewOneOrFailWithThirteen) {
    enum { kStall, kReplug, kGone };
    for (int outage : {kStall, kReplug, kGone}) {
        for (int call = 0; call < 3; ++call) {  // CallBackPreview, Trigger, Record
            SCOPED_TRACE("outage " + std::to_string(outage) + ", call " + std::to_string(call));
            const std::string avi = dir_.File("lost" + std::to_string(outage * 3 + call) + ".avi");
            ASSERT_EQ(call == 1 ? Trigger() : Live(), 1);
            ASSERT_TRUE(outage == kStall ? cam_.sim.Fault(n_, M52SIM_FAULT_STALL) : cam_.sim.Detach(n_));
            ASSERT_NE(WaitForFrameError(w_, 13, 9000), 0u);
            ASSERT_EQ(DrainHistory(h_), std::vector<int>{13});
            if (outage != kGone) ASSERT_TRUE(outage == kStall ? cam_.sim.Fault(n_, M52SIM_FAULT_NONE) : cam_.sim.Attach(n_));
            const int result = call == 0 ? Live() : call == 1 ? Trigger() : Quorin_Record(h_, avi.c_str(), 800, 0);
            if (outage == kGone) {
                EXPECT_EQ(result, 0);
                EXPECT_EQ(DrainHistory(h_), std::vector<int>{13});
                EXPECT_NE(WaitForFrameError(w_, 13, 1000), 0u);
                ASSERT_TRUE(cam_.sim.Attach(n_));
            } else if (call < 2) {
                ASSERT_EQ(result, 1);
                if (call == 1) ASSERT_TRUE(Pulse());
                EXPECT_GE(Frames(w_, 4000, 1), 1u);
            } else {
                ASSERT_EQ(result, 1);
                ASSERT_TRUE(rectest::WaitUntilFinished(avi, 8000));
                EXPECT_GT(rectest::ProbeAvi(avi).frames, 0);
            }
            EXPECT_EQ(DrainHistory(h_), kNone);
            Quorin_StopPreview(h_);
        }
    }
}

TEST_F(Hardening, ARecordingThatCannotStartLeavesTheRunningPreviewAsItWas) {
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, parent_ = MakeParent(), 0, 0, 320, 240), 1);
    ASSERT_EQ(Live(), 1);
    CreateDirectoryA(dir_.File("taken.avi").c_str(), nullptr);
    for (const std::string& path : {dir_.File("no folder\\x.avi"), dir_.File("taken.avi")}) {
        EXPECT_EQ(Quorin_Record(h_, path.c_str(), 1000, 1), 0) << path;
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{12}) << path;
        EXPECT_TRUE(IsWindow(GetDlgItem(parent_, 6540))) << path << ": the preview window was destroyed";
        EXPECT_GE(Frames(w_, 4000, 2, buf_.data()), 2u) << path << ": frames stopped";
    }
}

TEST_F(Hardening, ATriggerPulseWhoseFrameFailsIsReportedAndAQuietWaitIsNot) {
    ASSERT_EQ(Trigger(), 1);
    for (uint32_t fault : {M52SIM_FAULT_SHORT, M52SIM_FAULT_FAIL}) {
        Sleep(300);
        ASSERT_TRUE(cam_.sim.Fault(n_, fault) && Pulse());
        EXPECT_NE(WaitForFrameError(w_, 8, 4000), 0u) << "fault " << fault;
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{8}) << "fault " << fault;
        ASSERT_TRUE(Pulse());
        EXPECT_GE(Frames(w_, 4000, 1), 1u) << "fault " << fault << ": the next pulse delivers";
        CollectFrames(w_, 500);  // a pulse the failed read left latched
    }
    // Ten seconds without pulses span three of the device's frame time-outs (3 s each), each
    // of which must pass in silence.
    EXPECT_EQ(CollectFrames(w_, 10000).size(), 0u) << "notices in ten seconds without pulses";
    EXPECT_EQ(DrainHistory(h_), kNone);
}

// The application destroys the preview's parent: the library must not release the device context
// the window took with it, which by then may serve another window.
TEST_F(Hardening, APreviewWindowDestroyedFromOutsideIsLeftAlone) {
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, parent_ = MakeParent(), 0, 0, 320, 240), 1);
    ASSERT_EQ(Live(), 1);
    ASSERT_GE(Frames(w_, 4000, 1), 1u);
    DestroyWindow(parent_);
    std::vector<HDC> mine;
    for (parent_ = MakeParent(); mine.size() < 8;) mine.push_back(GetDC(parent_));
    EXPECT_GE(Frames(w_, 4000, 3), 3u);
    EXPECT_EQ(Quorin_Close(h_), 1);
    for (HDC dc : mine) EXPECT_EQ(ReleaseDC(parent_, dc), 1) << "a device context was released by the library";
}

TEST_F(Hardening, FreeingTheLibraryOrExitingWithoutReleaseNeitherHangsNorCrashes) {
    for (const char* mode : {"free-live", "free-record", "exit-record"}) {
        const std::string avi = dir_.File(std::string(mode) + ".avi");
        const qtest::ChildResult r = qtest::RunChild(Child(n_, std::string(mode) + " \"" + avi + "\""), 60000);
        EXPECT_TRUE(r.Succeeded()) << mode << ": hung, crashed or failed: " << r.Describe();
        if (std::string(mode) == "free-live") continue;
        const rectest::Probe probe = rectest::ProbeAvi(avi);
        EXPECT_GT(probe.frames, 0) << mode << ": " << probe.text;
        EXPECT_EQ(int64_t(rectest::DecodeAvi(avi, 1360, 1024).size()), probe.frames) << mode;
        if (mode[0] == 'f')  // freed, not exited: the recording ran to its end
            EXPECT_TRUE(rectest::WaitUntilFinished(avi, 1000)) << "the recording was not finished";
    }
}

TEST_F(Hardening, ACameraHeldByAKilledProcessIsFreeForTheOthers) {
    const std::string name = "hardening_streaming_" + std::to_string(GetCurrentProcessId());
    HANDLE streaming = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    qtest::ChildProcess child;
    ASSERT_TRUE(child.Start(Child(n_, "stream " + name))) << child.Describe();
    const bool started = WaitForSingleObject(streaming, 60000) == WAIT_OBJECT_0;
    CloseHandle(streaming);
    ASSERT_TRUE(started) << child.Describe();
    TerminateProcess(child.Handle(), 9);
    child.Wait(10000);
    EXPECT_EQ(Live(), 1);
    EXPECT_GE(Frames(w_, 4000, 2), 2u);
    EXPECT_EQ(DrainHistory(h_), kNone);
}

}  // namespace
