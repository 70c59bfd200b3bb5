// Memory that runs out where only a test can make it run out: the camera's image objects at open
// (a subclass fails MakeImage), and the device's frame buffers at a preparation (the device
// library's allocation hook). Every acquisition call then fails with 5.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "camera/quorin_camera.h"
#include "device/frame_buffers.h"
#include "tests/support/product_key.h"
#include "tests/support/sim.h"

namespace {

class TestCamera : public CQuorin {
public:
    int failImage = 0;  // the image object (1 for the first) that cannot be made

protected:
    CDibImage* MakeImage() override { return ++made_ == failImage ? nullptr : CQuorin::MakeImage(); }
    int made_ = 0;
};

std::vector<int> History(CQuorin& c) {
    std::vector<int> codes;
    for (int code; codes.size() < 25 && (code = c.PopError()) != 0;) codes.push_back(code);
    return codes;
}

std::vector<BYTE> g_buffer(4080 * 1024);
const int kSize = int(g_buffer.size());
// The starts (which prepare) first, then the calls that only use the images.
const std::function<int(CQuorin&)> kCalls[] = {
    [](CQuorin& c) { return c.StartPreview(); },
    [](CQuorin& c) { return c.Capture(); },
    [](CQuorin& c) { return c.SnapShot(g_buffer.data(), kSize, 1); },
    [](CQuorin& c) { return c.Trigger(nullptr, g_buffer.data(), kSize, 1); },
    [](CQuorin& c) { return c.Preview(); },
    [](CQuorin& c) { return c.CallBackPreview(nullptr, g_buffer.data(), kSize, 1); },
    [](CQuorin& c) { return c.Record("Z:\\tmp\\hardening_never.avi", 100, 0); },
    [](CQuorin& c) { return c.GetImage(g_buffer.data(), kSize, 1); },
    [](CQuorin& c) { return c.SaveImage("Z:\\tmp\\hardening_never.bmp", 0); },
};

TEST(MemoryFailure, EveryAcquisitionCallFailsWithFive) {
    qtest::SimCamera sim;
    ASSERT_TRUE(sim.Ready());
    qtest::ClearProductKey();
    TestCamera noImages;
    noImages.failImage = 3;
    ASSERT_EQ(noImages.Initialize(nullptr), 0);
    ASSERT_EQ(History(noImages), std::vector<int>{5});
    for (const auto& call : kCalls) {
        EXPECT_EQ(call(noImages), 0);
        EXPECT_EQ(History(noImages), std::vector<int>{5});
    }

    TestCamera noFrameBuffers;
    ASSERT_EQ(noFrameBuffers.Initialize(nullptr), 1);
    if (sim.Number() != 0) ASSERT_EQ(noFrameBuffers.SetDeviceNumber(int(sim.Number())), 1);
    for (int i = 0; i < 4; ++i) {
        quorin::FailNextFrameBufferAllocations(1);
        EXPECT_EQ(kCalls[i](noFrameBuffers), 0) << "start " << i;
        EXPECT_EQ(History(noFrameBuffers), (std::vector<int>{1, 5})) << "start " << i;
        noFrameBuffers.StopPreview();
    }
    EXPECT_EQ(noFrameBuffers.StartPreview(), 1) << "with memory back the buffers are made";
    EXPECT_EQ(History(noFrameBuffers), std::vector<int>{});
}

}  // namespace
