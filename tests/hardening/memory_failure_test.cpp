// Memory that runs out where only a test can make it: the camera's image objects at open, and the
// device's frame buffers at a preparation. Every acquisition call then fails with 5 instead of
// running without buffers (or touching image objects that were never made).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "camera/quorin_camera.h"
#include "device/frame_buffers.h"
#include "tests/device/sim_camera.h"

namespace {

const char kProductKey[] = "Software\\Zudada\\QuorinM52DXLTXSdk";

class TestCamera : public CQuorin {
public:
    int failImageNumber = 0;  // the image object (1 for the first) that cannot be made

protected:
    CDibImage* MakeImage() override { return ++made_ == failImageNumber ? nullptr : CQuorin::MakeImage(); }

private:
    int made_ = 0;
};

struct AcquisitionCall {
    const char* name;
    std::function<int(CQuorin&)> call;
};

std::vector<AcquisitionCall> Calls(std::vector<BYTE>& buffer) {
    const int size = static_cast<int>(buffer.size());
    return {
        {"StartPreview", [](CQuorin& c) { return c.StartPreview(); }},
        {"Preview", [](CQuorin& c) { return c.Preview(); }},
        {"CallBackPreview", [&, size](CQuorin& c) { return c.CallBackPreview(nullptr, buffer.data(), size, 1); }},
        {"Capture", [](CQuorin& c) { return c.Capture(); }},
        {"SnapShot", [&, size](CQuorin& c) { return c.SnapShot(buffer.data(), size, 1); }},
        {"Trigger", [&, size](CQuorin& c) { return c.Trigger(nullptr, buffer.data(), size, 1); }},
        {"Record", [](CQuorin& c) { return c.Record("Z:\\tmp\\hardening_never.avi", 100, 0); }},
        {"GetImage", [&, size](CQuorin& c) { return c.GetImage(buffer.data(), size, 1); }},
        {"SaveImage", [](CQuorin& c) { return c.SaveImage("Z:\\tmp\\hardening_never.bmp", 0); }},
    };
}

std::vector<int> History(CQuorin& camera) {
    std::vector<int> codes;
    for (int code; codes.size() < 25 && (code = camera.PopError()) != 0;) codes.push_back(code);
    return codes;
}

class MemoryFailure : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.IsOpen()) << "the simulated camera driver is not installed";
        ASSERT_TRUE(sim_.Attach(0) && sim_.Reset(0));
        RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);  // first-run settings
    }
    void TearDown() override { quorin::FailNextFrameBufferAllocations(0); }

    simtest::SimControl sim_;
    std::vector<BYTE> buffer_ = std::vector<BYTE>(4080 * 1024);
};

TEST_F(MemoryFailure, ACameraWithoutItsImageObjectsFailsEveryAcquisitionCallWithFive) {
    TestCamera camera;
    camera.failImageNumber = 3;
    ASSERT_EQ(camera.Initialize(nullptr), 0);
    ASSERT_EQ(History(camera), std::vector<int>{5});
    for (const AcquisitionCall& c : Calls(buffer_)) {
        EXPECT_EQ(c.call(camera), 0) << c.name;
        EXPECT_EQ(History(camera), std::vector<int>{5}) << c.name;
    }
}

TEST_F(MemoryFailure, FrameBuffersThatCannotBeMadeFailThePreparationWithFive) {
    TestCamera camera;
    ASSERT_EQ(camera.Initialize(nullptr), 1);
    ASSERT_EQ(History(camera), std::vector<int>{});
    const char* starts[] = {"StartPreview", "Capture", "SnapShot", "Trigger"};
    for (const AcquisitionCall& c : Calls(buffer_)) {
        if (std::find_if(std::begin(starts), std::end(starts), [&](const char* s) { return !strcmp(s, c.name); }) ==
            std::end(starts))
            continue;
        quorin::FailNextFrameBufferAllocations(1);
        EXPECT_EQ(c.call(camera), 0) << c.name;
        EXPECT_EQ(History(camera), (std::vector<int>{1, 5})) << c.name << ": 5 from the preparation, then 1";
        camera.StopPreview();
    }
    // With memory back, the next start makes the buffers and runs.
    EXPECT_EQ(camera.StartPreview(), 1);
    EXPECT_EQ(camera.StopPreview(), 1);
    EXPECT_EQ(History(camera), std::vector<int>{});
}

}  // namespace
