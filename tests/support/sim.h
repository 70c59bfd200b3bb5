// The simulated camera seen from a test: one driver client (SimControl, from the driver's control
// device), a camera made ready or the bench reported broken, trigger pulses (once or on a
// period), faults, pace, attach and detach, and waits on what the camera delivered.
//
//   qtest::SimCamera cam(qtest::TestCamera(), M52SIM_PACE_FAST);
//   ASSERT_TRUE(cam.Ready());                        // fails: driver missing / cannot attach
//   cam.Control().Fault(cam.Number(), M52SIM_FAULT_STALL);
//   cam.Control().TriggerEvery(cam.Number(), 100);   // a pulse every 100 ms (the driver's timer)
//   EXPECT_TRUE(qtest::WaitForDelivered(cam.Number(), 5, 5000));
//
// A test program runs on camera TestCamera(): QUORIN_TEST_CAMERA when set, else 0. (Quorin_Initialize
// always opens camera 0 first, so programs on the SDK share camera 0 and CTest runs them one at a
// time; the number serves programs that talk to the driver or the device object only.)
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "driver/m52sim_control.h"
#include "tests/device/sim_camera.h"

namespace qtest {

using simtest::LoggedBlock;
using simtest::SimControl;

// The camera number this program was given (QUORIN_TEST_CAMERA, default 0).
uint32_t TestCamera();

// The process's one driver client, opened on first use.
SimControl& Sim();

// Success when the driver's control device is open and camera is plugged in and back at its
// defaults; else a failure naming the broken part of the bench ("the simulated camera driver is
// not installed", "camera 3 cannot be attached").
::testing::AssertionResult SimReady(uint32_t camera);

// A camera of the simulator held for one test: plugged in, defaults and the given pace on
// Ready(); at the end back at its defaults and plugged in, or unplugged with unplugAtEnd (a
// camera a test adds must not stay for the programs after it).
class SimCamera {
public:
    explicit SimCamera(uint32_t camera = TestCamera(), uint32_t pace = M52SIM_PACE_REALTIME, bool unplugAtEnd = false)
        : camera_(camera), pace_(pace), unplugAtEnd_(unplugAtEnd) {}
    ~SimCamera();
    ::testing::AssertionResult Ready();
    uint32_t Number() const { return camera_; }
    SimControl& Control() { return Sim(); }
    M52SimStatus Status() { return Sim().Status(camera_); }

private:
    uint32_t camera_;
    uint32_t pace_;
    bool unplugAtEnd_;
    bool ready_ = false;
};

// Software trigger pulses to a camera, at once (SimControl::TriggerEvery sends them on a period).
bool TriggerPulses(uint32_t camera, uint32_t count);

// Writes a 24-bit bottom-up BMP of rgb (R, G, B bytes, top line first).
bool WriteBmp(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
// Makes rgb (1360 x 1024, R, G, B bytes, top line first) the camera's sensor picture (uploaded
// as m52sim.exe uploads a BMP it has read); fails naming what went wrong.
::testing::AssertionResult SetPicture(uint32_t camera, const std::vector<uint8_t>& rgb);

// Waits up to ms until the camera has delivered `count` more frames than `since` (a
// frames_delivered value read before); true when it did.
bool WaitForDelivered(uint32_t camera, uint32_t count, DWORD ms, uint32_t since = 0);

}  // namespace qtest
