// Frames changing hands between the transfer thread and its consumer on the
// simulated camera, stopping against a camera that never answers, and the
// device's operations racing each other.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "tests/device/device_fixture.h"

using namespace simtest;
using namespace quorin;

namespace {

int WaitFor(CQuorinM52DXLTXSdk& device, int wanted, int attempts = 50) {
    int rc = -1;
    for (int i = 0; i < attempts; ++i) {
        rc = device.WaitFrame();
        if (rc == wanted || rc != WAIT_FRAME_AGAIN) break;
    }
    return rc;
}

// Polls until camera 0 has `count` frame reads pending (a reader is inside its read).
bool WaitForPendingReads(SimControl& sim, uint32_t count) {
    for (int i = 0; i < 500; ++i) {
        if (sim.Status(0).pending_reads == count) return true;
        Sleep(10);
    }
    return false;
}

// Runs its action when the scope ends, so a failed assertion never leaves a thread unjoined.
struct AtScopeEnd {
    std::function<void()> action;
    ~AtScopeEnd() { action(); }
};

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

}  // namespace

class FrameHandOver : public DeviceTest {};

TEST_F(FrameHandOver, SlowConsumerGetsWholeFramesEachNewerAndTheNewest) {
    // Every frame carries its number throughout; the camera runs as fast as
    // it can (small frames) while the consumer takes its time over each one.
    // Whole lines of 4-byte numbers: the window is made of whole numbers too.
    ASSERT_EQ(0, device_->SetCaptureWindow(0, 0, 320, 60, 0));
    ASSERT_TRUE(sim_.Stamp(0, M52SIM_STAMP_WHOLE));
    ASSERT_EQ(0, device_->StartTransfer());
    std::vector<uint8_t> frame(device_->WindowBytes());
    ASSERT_EQ(0u, frame.size() % 4);
    int64_t last = -1;
    int fetched = 0, torn = 0, older = 0, stale = 0;
    const uint32_t firstDelivered = sim_.Status(0).frames_delivered;
    const DWORD begin = GetTickCount();
    while (GetTickCount() - begin < 3000) {
        // Frames up to two before this count were complete in the ring before the wait.
        const uint32_t deliveredBefore = sim_.Status(0).frames_delivered;
        ASSERT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY));
        ASSERT_EQ(0, device_->FetchFrame(frame.data(), frame.size()));
        uint32_t number = 0;
        std::memcpy(&number, frame.data(), 4);
        for (size_t i = 4; i < frame.size(); i += 4) {
            if (std::memcmp(frame.data() + i, &number, 4) != 0) {
                ++torn;
                ADD_FAILURE() << "frame " << number << " mixed with another at byte " << i;
                break;
            }
        }
        if (int64_t(number) <= last) {
            ++older;
            ADD_FAILURE() << "frame " << number << " after frame " << last;
        }
        if (number + 2 < deliveredBefore) {
            ++stale;
            ADD_FAILURE() << "frame " << number << " handed over when " << deliveredBefore - 1
                          << " had been sent";
        }
        last = number;
        ++fetched;
        Sleep(20);  // a consumer slower than the camera
    }
    EXPECT_EQ(0, device_->StopTransfer());
    const uint32_t delivered = sim_.Status(0).frames_delivered - firstDelivered;
    std::printf("hand-over soak: %u frames sent, %d fetched, torn %d, older %d, stale %d\n", delivered,
                fetched, torn, older, stale);
    EXPECT_GT(fetched, 10);
    EXPECT_GT(delivered, uint32_t(fetched)) << "the consumer was not slower than the camera";
}

TEST_F(FrameHandOver, StopEndsAReadTheStalledCameraNeverAnswers) {
    // The fault stays on: only the stop itself can end the pending read.
    const struct {
        const char* name;
        bool destroy;
    } cases[] = {{"StopTransfer", false}, {"destructor", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_STALL));
        ASSERT_EQ(0, device_->StartTransfer());
        ASSERT_TRUE(WaitForPendingReads(sim_, 1));
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        if (c.destroy) {
            device_.reset();
        } else {
            EXPECT_EQ(0, device_->StopTransfer());
        }
        const double ms = MillisecondsSince(start);
        std::printf("stop with the camera stalled (%s): %.0f ms\n", c.name, ms);
        EXPECT_LT(ms, 3000.0);
        const M52SimStatus status = sim_.Status(0);
        EXPECT_EQ(M52SIM_FAULT_STALL, status.fault);
        EXPECT_EQ(0u, status.pending_reads);
        EXPECT_EQ(0u, status.open_handles);
        ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_NONE));
        if (!c.destroy) {
            // The stopped device streams again.
            EXPECT_EQ(WAIT_FRAME_NOT_STREAMING, device_->WaitFrame());
            ASSERT_EQ(0, device_->StartTransfer());
            EXPECT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY));
            EXPECT_EQ(0, device_->StopTransfer());
        }
    }
}

TEST_F(FrameHandOver, StopWakesAConsumerWaitingForAFrame) {
    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_STALL));
    ASSERT_EQ(0, device_->StartTransfer());
    std::atomic<int> first{-1}, second{-1};
    std::thread consumer([&] {
        first.store(device_->WaitFrame());
        second.store(device_->WaitFrame());
    });
    AtScopeEnd joinConsumer{[&] {
        device_->StopTransfer();
        if (consumer.joinable()) consumer.join();
    }};
    ASSERT_TRUE(WaitForPendingReads(sim_, 1));
    EXPECT_EQ(0, device_->StopTransfer());
    consumer.join();
    // Woken by the stop ("call again", or "not streaming" if it came late),
    // never left to run into the time-out.
    EXPECT_TRUE(first.load() == WAIT_FRAME_AGAIN || first.load() == WAIT_FRAME_NOT_STREAMING)
        << first.load();
    EXPECT_EQ(WAIT_FRAME_NOT_STREAMING, second.load());
}

TEST_F(FrameHandOver, ReprogrammingIsRefusedWhileStreamingAndNothingIsSent) {
    ASSERT_TRUE(sim_.Pace(0, M52SIM_PACE_REALTIME));  // few frame requests in the log
    const M52SimStatus before = sim_.Status(0);
    const struct {
        const char* name;
        std::function<int(CQuorinM52DXLTXSdk&)> call;
    } cases[] = {
        {"InitializeDevice", [](CQuorinM52DXLTXSdk& d) { return d.InitializeDevice(0); }},
        {"SetWordMode", [](CQuorinM52DXLTXSdk& d) { return d.SetWordMode(1); }},
        {"SetHalfClock", [](CQuorinM52DXLTXSdk& d) { return d.SetHalfClock(1); }},
        {"SetCaptureWindow", [](CQuorinM52DXLTXSdk& d) { return d.SetCaptureWindow(0, 0, 640, 480, 0); }},
        {"SetGeometry", [](CQuorinM52DXLTXSdk& d) { return d.SetGeometry(640, 0, 640, 480, 0, 480, 4); }},
    };
    ASSERT_EQ(0, device_->StartTransfer());
    TakeLog();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DEV_ALREADY_STREAMING, c.call(*device_));
        for (const std::string& block : TakeLog()) EXPECT_EQ(Command(2), block) << "sent while streaming";
    }
    device_->FreeBuffers();
    EXPECT_EQ(4, device_->RingCount());
    EXPECT_EQ(0, device_->GetWordMode());
    EXPECT_EQ(1360, device_->Geometry().imageWidth);
    const M52SimStatus during = sim_.Status(0);
    EXPECT_EQ(before.pixel_bits, during.pixel_bits);
    EXPECT_EQ(before.clock_hz, during.clock_hz);
    EXPECT_EQ(before.transfer_size, during.transfer_size);
    EXPECT_EQ(before.sensor_resets, during.sensor_resets);
    // The run goes on untouched.
    std::vector<uint8_t> frame(device_->WindowBytes());
    ASSERT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY));
    EXPECT_EQ(0, device_->FetchFrame(frame.data(), frame.size()));
    EXPECT_EQ(0, device_->StopTransfer());
    EXPECT_EQ(1, device_->SetWordMode(1));
    EXPECT_EQ(16u, sim_.Status(0).pixel_bits);
}

TEST_F(FrameHandOver, StartsAndStopsRaceWindowChangesWithoutABadFrameRead) {
    const M52SimStatus start = sim_.Status(0);
    std::atomic<bool> done{false};
    std::atomic<int> changed{0}, refused{0}, failed{0};
    std::thread changer([&] {
        for (bool small = true; !done.load(); small = !small) {
            const int rc = small ? device_->SetCaptureWindow(8, 4, 640, 480, 0)
                                 : device_->SetCaptureWindow(0, 0, 1360, 1024, 0);
            if (rc == 0) {
                ++changed;
            } else {
                ++(rc == DEV_ALREADY_STREAMING ? refused : failed);
                Sleep(1);
            }
        }
    });
    AtScopeEnd joinChanger{[&] {
        done.store(true);
        if (changer.joinable()) changer.join();
    }};
    std::vector<uint8_t> frame(1360 * 1024);
    int started = 0;
    for (int round = 0; round < 25; ++round) {
        const int rc = device_->StartTransfer();
        if (rc != 0) {
            ADD_FAILURE() << "round " << round << ": StartTransfer gave " << rc;
            break;
        }
        ++started;
        EXPECT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY)) << "round " << round;
        EXPECT_EQ(0, device_->FetchFrame(frame.data(), frame.size())) << "round " << round;
        EXPECT_EQ(0, device_->StopTransfer()) << "round " << round;
    }
    done.store(true);
    changer.join();
    const M52SimStatus end = sim_.Status(0);
    std::printf("start/stop race: %d runs, %d window changes, %d refused while streaming\n", started,
                changed.load(), refused.load());
    EXPECT_EQ(0, failed.load());
    EXPECT_GT(changed.load(), 0);
    // A run reading with another length than the camera sends would show here.
    EXPECT_EQ(start.refused_requests, end.refused_requests);
    EXPECT_EQ(start.frames_failed, end.frames_failed);
    EXPECT_EQ(0u, end.open_handles);
}

TEST_F(FrameHandOver, SnapshotInProgressKeepsItsBufferAndEndsWhenItsHandleIsClosed) {
    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_STALL));
    std::atomic<int> snap{-1};
    std::thread snapper([&] { snap.store(device_->SnapFrame()); });
    AtScopeEnd joinSnapper{[&] {
        sim_.Fault(0, M52SIM_FAULT_NONE);
        if (snapper.joinable()) snapper.join();
    }};
    ASSERT_TRUE(WaitForPendingReads(sim_, 1));
    const uint8_t* buffer = device_->RawBuffer();
    EXPECT_EQ(DEV_ALREADY_STREAMING, device_->SetCaptureWindow(0, 0, 640, 480, 0));
    EXPECT_EQ(DEV_ALREADY_STREAMING, device_->SnapFrame());
    device_->FreeBuffers();
    EXPECT_EQ(buffer, device_->RawBuffer());
    EXPECT_EQ(1, device_->SetGain(100));  // commands are not held up by the waiting snapshot
    device_->CloseSnapHandle();
    snapper.join();
    EXPECT_EQ(DEV_FRAME_FAILED, snap.load());
    EXPECT_EQ(0u, sim_.Status(0).open_handles);
    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_NONE));
    EXPECT_EQ(0, device_->SnapFrame());
    device_->CloseSnapHandle();
    EXPECT_EQ(0u, sim_.Status(0).open_handles);
}
