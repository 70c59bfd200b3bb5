// Cycles of what an application does with a camera leave the process as they found it: handles,
// GDI and USER objects and committed private memory back at their baseline within a small margin.
// Two tables of cycles: 200 starts of a stream on one open camera (preview window, caller buffer,
// stop, close), and whole lives of a camera (open, stream, close, release). Opening a camera
// programs the sensor and takes over a second, so the test runs 16 whole lives (a leak of one
// object a life shows four times over the allowance) unless
// QUORIN_RESOURCE_CYCLES asks for more (the soak's figure is 200).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/support/camera.h"
#include "tools/soak/process_resources.h"

namespace {

constexpr int kFrameBytes = 4080 * 1024;  // 24 bits at 1360 x 1024

void Print(const char* label, const ProcessResources& r) {
    std::printf("%s: handles %ld, GDI %ld, USER %ld, committed private %.2f MiB\n", label, r.handles, r.gdiObjects,
                r.userObjects, double(r.committedPrivate) / 1048576.0);
}

int WholeLifeCycles() {
    const char* value = std::getenv("QUORIN_RESOURCE_CYCLES");
    const int cycles = value ? std::atoi(value) : 0;
    return cycles > 0 ? cycles : 16;
}

class ResourceBaseline : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Ready());
        qtest::ClearProductKey();
    }

    // One stream on an open camera: preview window under ours, frames into our buffer, then stop
    // and close (which closes the driver channel and the window).
    void Stream(int handle, int n) {
        ASSERT_EQ(Quorin_SetPreviewWindow(handle, window_.Handle(), 0, 0, 160, 120), 1);
        ASSERT_EQ(Quorin_CallBackPreview(handle, window_.Handle(), buffer_.data(), kFrameBytes, 1), 1) << "cycle " << n;
        ASSERT_TRUE(qtest::WaitForFrame(window_.Handle(), 10000)) << "no frame in cycle " << n;
        EXPECT_EQ(Quorin_StopPreview(handle), 1);
        EXPECT_EQ(Quorin_Close(handle), 1);
        EXPECT_EQ(Quorin_GetLastError(handle), 0) << "cycle " << n;
        TestWindow::Drain();
    }

    // Three warm-up cycles (what is made once per process belongs in the baseline), then the
    // cycles, then the comparison.
    void Measure(const char* what, int cycles, const std::function<void(int)>& cycle) {
        for (int n = 0; n < 3 && !HasFatalFailure(); ++n) cycle(n);
        const ProcessResources before = SampleProcessResources();
        for (int n = 0; n < cycles && !HasFatalFailure(); ++n) cycle(n);
        const ProcessResources after = SampleProcessResources();
        const ResourceMeasures measures = DescribeResourceMeasures();
        std::printf("%s, %d cycles (handles by %s; GDI by %s; USER by %s)\n", what, cycles, measures.handles,
                    measures.gdi, measures.user);
        Print("  baseline", before);
        Print("  after", after);
        EXPECT_LE(after.handles - before.handles, 4);
        EXPECT_LE(after.userObjects - before.userObjects, 1);
        if (after.gdiObjects >= 0) EXPECT_LE(after.gdiObjects - before.gdiObjects, 4);
        EXPECT_LE(double(after.committedPrivate) - double(before.committedPrivate), 4.0 * 1048576.0);
    }

    qtest::SimCamera sim_{0, M52SIM_PACE_FAST};
    TestWindow window_;
    std::vector<BYTE> buffer_ = std::vector<BYTE>(kFrameBytes);
};

}  // namespace

// 100 streams (QUORIN_RESOURCE_CYCLES x 4 when set): a leak of one object per stream shows 25
// times over the allowance.
TEST_F(ResourceBaseline, HundredsOfStreamsOnOneCamera) {
    const int handle = Quorin_Initialize(window_.Handle());
    ASSERT_NE(handle, 0);
    Measure("stream, stop, close", 4 * WholeLifeCycles(), [&](int n) { Stream(handle, n); });
    EXPECT_EQ(Quorin_Release(handle), 1);
}

TEST_F(ResourceBaseline, WholeLivesOfACamera) {
    Measure("open, stream, close, release", WholeLifeCycles(), [&](int n) {
        const int handle = Quorin_Initialize(window_.Handle());
        ASSERT_NE(handle, 0) << "cycle " << n;
        Stream(handle, n);
        EXPECT_EQ(Quorin_Release(handle), 1);
    });
}
