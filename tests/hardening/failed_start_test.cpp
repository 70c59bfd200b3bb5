// Failures that must leave what runs alone, or be said: a recording that cannot start beside a
// running preview, trigger pulses whose frame fails, and a preview window destroyed from outside.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/acquisition/acquisition_support.h"
#include "tests/recording/recording_support.h"

namespace {

using acqtest::CollectFrames;
using acqtest::DrainHistory;

size_t FrameCount(const std::vector<acqtest::FrameNotice>& notices, const void* data = nullptr) {
    size_t n = 0;
    for (const acqtest::FrameNotice& f : notices) n += f.hasInfo && (!data || f.info.data == data) ? 1 : 0;
    return n;
}

// A visible top-level window of the test, to hold a child preview window.
HWND MakeParentWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HardeningParent";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG m;
    do {
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

class FailedStart : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(cam_.SetUp(&why)) << why;
        h_ = cam_.handle;
        w_ = cam_.window.Handle();
        buffer_.assign(acqtest::FrameBytes(24), 0);
    }
    void TearDown() override {
        Quorin_Close(h_);
        if (parent_) DestroyWindow(parent_);
        cam_.TearDown();
        Pump(0);
    }
    int Size() const { return static_cast<int>(buffer_.size()); }

    acqtest::CameraFixture cam_;
    rectest::ScratchFolder folder_;
    int h_ = 0;
    HWND w_ = nullptr;
    HWND parent_ = nullptr;
    std::vector<uint8_t> buffer_;
};

TEST_F(FailedStart, ARecordingThatCannotStartLeavesTheRunningPreviewAsItWas) {
    parent_ = MakeParentWindow();
    ASSERT_NE(parent_, nullptr);
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, parent_, 0, 0, 320, 240), 1);
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, buffer_.data(), Size(), 1), 1);
    ASSERT_EQ(FrameCount(CollectFrames(w_, 4000, 1)), 1u);
    const HWND preview = GetDlgItem(parent_, 6540);
    ASSERT_NE(preview, nullptr);
    CreateDirectoryA(folder_.File("taken.avi").c_str(), nullptr);
    const std::string refused[] = {folder_.File("no such folder\\x.avi"), folder_.File("taken.avi")};
    for (const std::string& path : refused) {
        EXPECT_EQ(Quorin_Record(h_, path.c_str(), 1000, 1), 0) << path;
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{QUORIN_ERR_FILE}) << path;
        EXPECT_TRUE(IsWindow(preview)) << path << ": the preview window was destroyed";
        EXPECT_GE(FrameCount(CollectFrames(w_, 4000, 2), buffer_.data()), 2u) << path << ": frames stopped";
    }
    EXPECT_EQ(GetFileAttributesA(refused[0].c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FailedStart, ATriggerPulseWhoseFrameFailsIsReportedAndTheNextPulseDelivers) {
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Quorin_Trigger(h_, w_, buffer_.data(), Size(), 1), 1);
    const uint32_t faults[] = {M52SIM_FAULT_SHORT, M52SIM_FAULT_FAIL};
    for (uint32_t fault : faults) {
        Sleep(300);  // the worker waits for a pulse
        ASSERT_TRUE(cam_.sim.Fault(0, fault));
        ASSERT_TRUE(acqtest::TriggerPulses(1));
        EXPECT_NE(acqtest::WaitForFrameError(w_, QUORIN_ERR_FRAME_READ, 4000), 0u) << "fault " << fault;
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{QUORIN_ERR_FRAME_READ}) << "fault " << fault;
        ASSERT_TRUE(acqtest::TriggerPulses(1));
        EXPECT_GE(FrameCount(CollectFrames(w_, 4000, 1)), 1u) << "fault " << fault;
        CollectFrames(w_, 500);  // a pulse the failed read left latched
    }
    // A quiet minute without pulses: the reads end at the trigger time-out without a word.
    const std::vector<acqtest::FrameNotice> quiet = CollectFrames(w_, 60000);
    EXPECT_TRUE(quiet.empty()) << quiet.size() << " notices, the first with code " << quiet[0].code;
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
    ASSERT_TRUE(acqtest::TriggerPulses(1));
    EXPECT_EQ(FrameCount(CollectFrames(w_, 4000, 1)), 1u) << "the run ended in the quiet minute";
}

// The application destroys the parent of the preview: the library must not release the device
// context the window took with it, which by then may serve another window.
TEST_F(FailedStart, APreviewWindowDestroyedFromOutsideIsLeftAlone) {
    parent_ = MakeParentWindow();
    ASSERT_NE(parent_, nullptr);
    ASSERT_TRUE(cam_.sim.Pace(0, M52SIM_PACE_FAST));
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, parent_, 0, 0, 320, 240), 1);
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
    ASSERT_EQ(FrameCount(CollectFrames(w_, 4000, 1)), 1u);
    DestroyWindow(parent_);
    // Device contexts of another window, taken from the system's cache the dead window's went
    // back to.
    parent_ = MakeParentWindow();
    std::vector<HDC> mine;
    for (int i = 0; i < 8; ++i) mine.push_back(GetDC(parent_));
    EXPECT_GE(FrameCount(CollectFrames(w_, 4000, 3)), 3u) << "streaming goes on without the window";
    EXPECT_EQ(Quorin_Close(h_), 1);
    for (HDC dc : mine) EXPECT_EQ(ReleaseDC(parent_, dc), 1) << "a device context was released by the library";
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
}

}  // namespace
