// A camera opened through the exports as a first run would open it, for the Wine-side tests. The
// bench must be whole: a missing driver, a camera that cannot be attached, no camera object or a
// camera that did not open cleanly FAIL the test (they are never skips).
//
//   class MyTest : public qtest::CameraTest {};     // camera TestCamera(), fast pace
//   TEST_F(MyTest, Streams) {
//       ASSERT_EQ(Quorin_CallBackPreview(h_, window_.Handle(), nullptr, 0, 1), 1);
//       EXPECT_FALSE(qtest::CollectFrames(window_.Handle(), 5000, 2).empty());
//   }
//
// Or as a member: qtest::CameraSession cam; ASSERT_TRUE(cam.Open()); ... cam.handle ...
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/support/messages.h"
#include "tests/support/product_key.h"
#include "tests/support/sim.h"

namespace qtest {

// Error codes in a handle's history, newest first (at most 25).
std::vector<int> DrainHistory(int handle);

// A camera handle on a simulated camera with first-run settings (colour 24 bits, wait 1 ms,
// clock mode 2, neutral filters) and a window for its notices.
class CameraSession {
public:
    ~CameraSession() { Close(); }
    // Readies the simulated camera, clears the product key, initialises the SDK (notices to
    // notify, which may be window.Handle()) and selects the camera (when it is not 0); fails with
    // one line naming what is broken.
    ::testing::AssertionResult Open(uint32_t camera = TestCamera(), uint32_t pace = M52SIM_PACE_REALTIME,
                                    HWND notify = nullptr);
    // Releases the handle, and puts the simulated camera back (plugged in, defaults).
    void Close();
    int handle = 0;
    uint32_t camera = 0;
    TestWindow window;
    SimControl& sim = Sim();
};

// A gtest fixture around a CameraSession: h_ is the open handle, window_ its notice window.
class CameraTest : public ::testing::Test {
protected:
    explicit CameraTest(uint32_t pace = M52SIM_PACE_FAST) : pace_(pace) {}
    void SetUp() override {
        ASSERT_TRUE(cam_.Open(TestCamera(), pace_));
        h_ = cam_.handle;
    }
    void TearDown() override { cam_.Close(); }

    CameraSession cam_;
    int h_ = 0;
    TestWindow& window_ = cam_.window;
    uint32_t pace_;
};

}  // namespace qtest
