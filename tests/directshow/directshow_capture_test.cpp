// The capture filter as DirectShow programs meet it: the category entries, capture graphs per media
// type and size, pixels against the SDK's own snapshot, properties, formats, files and faults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/directshow/capture_graph.h"

using namespace dshow_test;

namespace {

class DirectShowCapture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        // A broken bench fails: the driver and camera 0 must be there.
        ASSERT_GT(SimFramePeriodMs(0), 0.0) << "simulated camera 0 is not attached";
        SimFault(0, 0);
    }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(DirectShowCapture, CategoryListsEachCameraAndTheDefaultEntryAndEachBinds) {
    ASSERT_TRUE(SimAttach(3));
    ASSERT_EQ(S_OK, RegisterCaptureFilter());
    const std::vector<DeviceEntry> entries = ListVideoInputDevices();
    SimDetach(3);
    struct Expected { int index; const wchar_t* name; } expected[] = {
        {-1, L"M52DX-LTX (first free camera)"}, {0, L"M52DX-LTX camera 0"}, {3, L"M52DX-LTX camera 3"}};
    for (const Expected& e : expected) {
        bool found = false;
        for (const DeviceEntry& entry : entries) found = found || (entry.deviceIndex == e.index && entry.friendlyName == e.name);
        EXPECT_TRUE(found) << "no entry for camera " << e.index;
        IBaseFilter* filter = nullptr;
        EXPECT_EQ(S_OK, BindCaptureFilter(e.index, &filter)) << e.index;
        if (filter) filter->Release();
    }
    // Registering again after the unplug drops the camera's entry.
    ASSERT_EQ(S_OK, RegisterCaptureFilter());
    for (const DeviceEntry& entry : ListVideoInputDevices()) EXPECT_NE(3, entry.deviceIndex);
}

TEST_F(DirectShowCapture, FullSensorRgb24StreamsAtTheCamerasRate) {
    CaptureGraph graph;
    ASSERT_EQ(S_OK, graph.Build(0));
    ASSERT_EQ(S_OK, graph.Run());
    Sleep(4000);
    const Grabbed g = graph.Snapshot();
    const long dropped = graph.Dropped();
    EXPECT_LT(graph.StopMs(), 3000u);
    const double period = SimFramePeriodMs(0);
    ASSERT_GT(g.frames, 2);
    const double rate = (g.frames - 1) * 1000.0 / (g.lastTick - g.firstTick);
    std::printf("RGB24 1360x1024: %ld frames, %.2f fps (camera %.2f), latency mean %.1f ms max %.1f ms, dropped %ld\n",
                g.frames, rate, 1000.0 / period, g.latencySumMs / g.frames, g.latencyMaxMs, dropped);
    EXPECT_NEAR(rate, 1000.0 / period, 0.15 * 1000.0 / period);
    EXPECT_TRUE(g.timesIncrease);
    EXPECT_EQ(static_cast<size_t>(1360 * 1024 * 3), g.lastSample.size());
}

}  // namespace
