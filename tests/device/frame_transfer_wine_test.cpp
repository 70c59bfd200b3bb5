// Frames from the simulated camera: snapshots, the transfer thread and its
// ring, the window copy, failures and recovery.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "driver/model/m52_scene.h"
#include "tests/device/device_fixture.h"

using namespace simtest;
using namespace quorin;

namespace {

M52SceneParams SceneOf(const M52SimStatus& status, uint32_t frameNumber) {
    M52SceneParams p = {};
    p.scene = status.scene;
    p.frame_number = frameNumber;
    p.exposure_lines = status.exposure_lines;
    p.gain = status.gain;
    return p;
}

// The whole transfer the camera sends for frame `frameNumber`.
std::vector<uint8_t> RenderTransfer(const M52SimStatus& status, uint32_t frameNumber, int wordMode) {
    const M52SceneParams p = SceneOf(status, frameNumber);
    std::vector<uint8_t> frame(size_t(status.transfer_size) * (wordMode ? 2 : 1));
    m52_scene_render(&p, frame.data(), status.transfer_size, wordMode);
    return frame;
}

// The packed window (x, y, w, h) of frame `frameNumber`, from the scene itself.
std::vector<uint8_t> SceneWindow(const M52SimStatus& status, uint32_t frameNumber, int x, int y, int w,
                                 int h, int wordMode) {
    const M52SceneParams p = SceneOf(status, frameNumber);
    std::vector<uint8_t> out;
    for (int row = 0; row < h; ++row) {
        for (int col = 0; col < w; ++col) {
            const unsigned s = m52_scene_sample(&p, unsigned(x + col), unsigned(y + row));
            if (wordMode) {
                out.push_back(uint8_t(s));
                out.push_back(uint8_t(s >> 8));
            } else {
                out.push_back(uint8_t(s >> 2));
            }
        }
    }
    return out;
}

// Which frame number between first and last (inclusive) `data` shows, or -1.
int64_t MatchingFrame(const std::vector<uint8_t>& data, const M52SimStatus& status, uint32_t first,
                      uint32_t last, int x, int y, int w, int h, int wordMode) {
    for (uint32_t k = last + 1; k-- > first;) {
        if (SceneWindow(status, k, x, y, w, h, wordMode) == data) return k;
    }
    return -1;
}

// Open handles of this process. Wine does not answer GetProcessHandleCount,
// so every handle value is asked for its information instead.
DWORD HandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
    for (uintptr_t value = 4; value < 0x20000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

// WaitFrame until it gives `wanted` or something other than "call again".
int WaitFor(CQuorinM52DXLTXSdk& device, int wanted, int attempts = 50) {
    int rc = -1;
    for (int i = 0; i < attempts; ++i) {
        rc = device.WaitFrame();
        if (rc == wanted || rc != WAIT_FRAME_AGAIN) break;
    }
    return rc;
}

// Consumes frames until the run reports a failure (1) or is over (0).
int DrainUntilFailure(CQuorinM52DXLTXSdk& device, int attempts = 400) {
    std::vector<uint8_t> frame(device.WindowBytes());
    int rc = WAIT_FRAME_READY;
    for (int i = 0; i < attempts && (rc == WAIT_FRAME_READY || rc == WAIT_FRAME_AGAIN); ++i) {
        rc = device.WaitFrame();
        if (rc == WAIT_FRAME_READY) device.FetchFrame(frame.data(), frame.size());
    }
    return rc;
}

}  // namespace

class FrameTransfer : public DeviceTest {};

TEST_F(FrameTransfer, SnapshotIsExactlyTheSimulatedFrameIn8And16BitMode) {
    for (int word : {0, 1}) {
        SCOPED_TRACE(word ? "16-bit" : "8-bit");
        device_->SetWordMode(word);
        const M52SimStatus before = sim_.Status(0);
        ASSERT_EQ(word ? 16u : 8u, before.pixel_bits);
        ASSERT_EQ(0, device_->SnapFrame());
        const std::vector<uint8_t> expected = RenderTransfer(before, before.frames_delivered, word);
        ASSERT_EQ(expected.size(), size_t(device_->TransferSize()) * (word ? 2 : 1));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), device_->RawBuffer()));

        std::vector<uint8_t> window(device_->WindowBytes(), 0);
        ASSERT_EQ(0, device_->FetchSnapFrame(window.data(), window.size()));
        EXPECT_TRUE(window == expected);  // the full window is the whole frame
    }
    EXPECT_EQ(1u, sim_.Status(0).open_handles);  // the snapshot handle stays open
    device_->CloseSnapHandle();
    EXPECT_EQ(0u, sim_.Status(0).open_handles);
}

TEST_F(FrameTransfer, CroppedWindowReturnsExactlyItsPixels) {
    // A window away from the origin, narrower than the sensor.
    const int x = 101, y = 43, w = 640, h = 480;
    for (int word : {0, 1}) {
        SCOPED_TRACE(word ? "16-bit" : "8-bit");
        ASSERT_EQ(0, device_->SetCaptureWindow(x, y, w, h, 0));
        device_->SetWordMode(word);
        EXPECT_EQ(711680u, sim_.Status(0).transfer_size);  // 523 full lines, rounded up
        const M52SimStatus before = sim_.Status(0);
        ASSERT_EQ(0, device_->SnapFrame());
        std::vector<uint8_t> window(size_t(w) * h * (word ? 2 : 1), 0);
        ASSERT_EQ(window.size(), device_->WindowBytes());
        ASSERT_EQ(0, device_->FetchSnapFrame(window.data(), window.size()));
        EXPECT_TRUE(window == SceneWindow(before, before.frames_delivered, x, y, w, h, word));

        // The same window out of the streaming ring.
        ASSERT_EQ(0, device_->StartTransfer());
        ASSERT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY));
        std::fill(window.begin(), window.end(), 0);
        ASSERT_EQ(0, device_->FetchFrame(window.data(), window.size()));
        const uint32_t last = sim_.Status(0).frames_delivered;
        ASSERT_EQ(0, device_->StopTransfer());
        EXPECT_GE(MatchingFrame(window, before, before.frames_delivered + 1, last, x, y, w, h, word), 0);
    }
}

TEST_F(FrameTransfer, CopyWindowUsesTheBaseDefaultsMargins) {
    device_->ResetDefaults();
    device_->SetWordMode(1);
    const FrameGeometry& g = device_->Geometry();
    ASSERT_EQ(1339, g.lineWidth);
    ASSERT_EQ(1028, g.imageHeight);
    std::vector<uint8_t> src(size_t(TransferSizeOf(g)) * 2);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i % 251);
    std::vector<uint8_t> dst(1280 * 1028 * 2 + 16, 0xEE);
    EXPECT_EQ(DEV_NO_BUFFER, device_->CopyWindow(dst.data(), 1280 * 1028 * 2 - 1, src.data()));
    EXPECT_EQ(0xEE, dst[0]);
    ASSERT_EQ(0, device_->CopyWindow(dst.data(), dst.size(), src.data()));
    EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + 2560, src.begin() + 26880));
    EXPECT_TRUE(std::equal(dst.begin() + 2560, dst.begin() + 5120, src.begin() + 26880 + 1339 * 2));
    EXPECT_EQ(0xEE, dst[1280 * 1028 * 2]);
}

TEST_F(FrameTransfer, StreamingHandsOutTheNewestFrameAndNeverRefillsIt) {
    ASSERT_TRUE(sim_.Pace(0, M52SIM_PACE_REALTIME));
    EXPECT_EQ(0, device_->StopTransfer());  // nothing runs yet
    EXPECT_EQ(WAIT_FRAME_NOT_STREAMING, device_->WaitFrame());
    const M52SimStatus start = sim_.Status(0);
    ASSERT_EQ(0, device_->StartTransfer());
    EXPECT_EQ(DEV_ALREADY_STREAMING, device_->StartTransfer());
    EXPECT_EQ(DEV_ALREADY_STREAMING, device_->SetGeometry(1360, 0, 1360, 1024, 0, 1024, 4));
    EXPECT_EQ(DEV_ALREADY_STREAMING, device_->SetCaptureWindow(0, 0, 640, 480, 0));

    std::vector<uint8_t> frame(device_->WindowBytes());
    int64_t previous = -1;
    for (int round = 0; round < 3; ++round) {
        // Let the ring overflow: the reader skips to the newest frame.
        Sleep(400);
        ASSERT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY));
        const int32_t held = device_->ReadIndex();
        ASSERT_GE(held, 0);
        ASSERT_LT(held, 4);
        const uint32_t delivered = sim_.Status(0).frames_delivered;
        const std::vector<uint8_t> kept(device_->RingBuffer(held), device_->RingBuffer(held) + frame.size());
        const int64_t shown = MatchingFrame(kept, start, delivered >= 3 ? delivered - 3 : 0, delivered - 1, 0, 0,
                                            1360, 1024, 0);
        ASSERT_GE(shown, 0) << "the held entry is not one of the newest frames; it is frame "
                            << MatchingFrame(kept, start, 0, delivered + 2, 0, 0, 1360, 1024, 0) << " of "
                            << delivered;
        EXPECT_GT(shown, previous + 1) << "older frames are skipped";
        previous = shown;

        // The writer goes round the ring several times without touching the held entry.
        const uint32_t target = delivered + 6;
        for (int i = 0; i < 100 && sim_.Status(0).frames_delivered < target; ++i) Sleep(50);
        ASSERT_GE(sim_.Status(0).frames_delivered, target);
        EXPECT_TRUE(std::equal(kept.begin(), kept.end(), device_->RingBuffer(held)));

        ASSERT_EQ(0, device_->FetchFrame(frame.data(), frame.size()));
        EXPECT_TRUE(frame == kept);
        EXPECT_EQ((held + 1) % 4, device_->ReadIndex());
    }
    EXPECT_EQ(0, device_->StopTransfer());
    EXPECT_EQ(WAIT_FRAME_NOT_STREAMING, device_->WaitFrame());
    EXPECT_EQ(0, device_->StopTransfer());
    EXPECT_EQ(0u, sim_.Status(0).open_handles);
    EXPECT_EQ(start.frames_failed, sim_.Status(0).frames_failed);
}

TEST_F(FrameTransfer, FetchMovesTheReadIndexOnAndRefusesMissingBuffers) {
    std::vector<uint8_t> frame(device_->WindowBytes());
    ASSERT_EQ(0, device_->StartTransfer());
    bool sawLastEntry = false;
    for (int i = 0; i < 400 && !sawLastEntry; ++i) {
        if (WaitFor(*device_, WAIT_FRAME_READY) != WAIT_FRAME_READY) break;
        const int32_t read = device_->ReadIndex();
        EXPECT_EQ(DEV_NO_BUFFER, device_->FetchFrame(nullptr, frame.size()));
        EXPECT_EQ(DEV_NO_BUFFER, device_->FetchFrame(frame.data(), frame.size() - 1));
        EXPECT_EQ(read, device_->ReadIndex());
        ASSERT_EQ(0, device_->FetchFrame(frame.data(), frame.size()));
        if (read == 3) {
            sawLastEntry = true;
            EXPECT_EQ(0, device_->ReadIndex());
        }
    }
    EXPECT_TRUE(sawLastEntry);
    EXPECT_EQ(0, device_->StopTransfer());
}

TEST_F(FrameTransfer, StalledCameraTimesOutAfterSixSeconds) {
    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_STALL));
    ASSERT_EQ(0, device_->StartTransfer());
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    EXPECT_EQ(WAIT_FRAME_FAILED, device_->WaitFrame());
    QueryPerformanceCounter(&end);
    const double seconds = double(end.QuadPart - begin.QuadPart) / double(frequency.QuadPart);
    EXPECT_GE(seconds, 5.999) << "the lost camera is reported only after six seconds";
    EXPECT_LT(seconds, 7.0) << "and not much later";
    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_NONE));  // the pending read completes
    EXPECT_EQ(0, device_->StopTransfer());
    EXPECT_EQ(0u, sim_.Status(0).open_handles);
}

TEST_F(FrameTransfer, OneShortFrameIsDroppedASecondEndsTheRun) {
    // Frames come one per trigger pulse, so each step is seen on its own.
    device_->SetDriverParameter(20000);  // a read waits this long for its pulse
    ASSERT_EQ(1, device_->SetTriggerMode(1));
    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_SHORT));
    const M52SimStatus start = sim_.Status(0);
    ASSERT_EQ(0, device_->StartTransfer());
    ASSERT_TRUE(sim_.Trigger(0, 1));
    // The short frame went by and the thread asked for the same slot again.
    M52SimStatus now = sim_.Status(0);
    for (int i = 0; i < 500 && !(now.frames_failed == start.frames_failed + 1 && now.pending_reads == 1); ++i) {
        Sleep(10);
        now = sim_.Status(0);
    }
    ASSERT_EQ(start.frames_failed + 1, now.frames_failed);
    ASSERT_EQ(1u, now.pending_reads);
    ASSERT_EQ(0u, now.fault);
    EXPECT_EQ(0, device_->ReadIndex());

    // No frame event came with it: the consumer wakes only for the good frame
    // that a later pulse brings.
    std::thread pulse([this] {
        Sleep(200);
        sim_.Trigger(0, 1);
    });
    const int first = device_->WaitFrame();
    const uint32_t deliveredAtWake = sim_.Status(0).frames_delivered;
    pulse.join();
    EXPECT_EQ(WAIT_FRAME_AGAIN, first);
    EXPECT_EQ(start.frames_delivered + 1, deliveredAtWake) << "the consumer woke before the good frame";

    ASSERT_EQ(WAIT_FRAME_READY, device_->WaitFrame());
    EXPECT_EQ(0, device_->ReadIndex()) << "the short frame's slot holds the good frame";
    std::vector<uint8_t> frame(device_->WindowBytes());
    ASSERT_EQ(0, device_->FetchFrame(frame.data(), frame.size()));
    EXPECT_TRUE(frame == RenderTransfer(start, start.frames_delivered, 0));

    // A second short frame in the same run ends it with 19.
    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_SHORT));
    ASSERT_TRUE(sim_.Trigger(0, 1));
    EXPECT_EQ(WAIT_FRAME_FAILED, WaitFor(*device_, WAIT_FRAME_FAILED));
    EXPECT_EQ(start.frames_delivered + 1, sim_.Status(0).frames_delivered);
    EXPECT_EQ(DEV_FRAME_FAILED, device_->StopTransfer());
    EXPECT_EQ(0, device_->StopTransfer());
    EXPECT_EQ(WAIT_FRAME_NOT_STREAMING, device_->WaitFrame());

    // A new run has its own allowance and streams again.
    ASSERT_EQ(1, device_->SetTriggerMode(0));
    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_SHORT));
    ASSERT_EQ(0, device_->StartTransfer());
    EXPECT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY));
    EXPECT_EQ(0, device_->StopTransfer());
}

TEST_F(FrameTransfer, FailedReadIsNeverHandedOnAsAFrame) {
    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_FAIL));
    ASSERT_EQ(0, device_->StartTransfer());
    EXPECT_EQ(WAIT_FRAME_FAILED, WaitFor(*device_, WAIT_FRAME_FAILED));
    EXPECT_EQ(0, device_->WriteIndex());  // the failed slot was not advanced over
    EXPECT_EQ(DEV_FRAME_FAILED, device_->StopTransfer());
    EXPECT_EQ(0u, sim_.Status(0).open_handles);

    ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_FAIL));
    EXPECT_EQ(DEV_FRAME_FAILED, device_->SnapFrame());
    EXPECT_EQ(0u, sim_.Status(0).open_handles);  // closed, so the next snapshot reopens
    EXPECT_EQ(0, device_->SnapFrame());
}

TEST_F(FrameTransfer, DetachedCameraEndsTheRunAndTheDeviceRecoversOnReattach) {
    const DWORD handlesBefore = HandleCount();
    ASSERT_GT(handlesBefore, 0u);
    ASSERT_EQ(0, device_->StartTransfer());
    ASSERT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY));
    ASSERT_TRUE(sim_.Detach(0));
    EXPECT_EQ(WAIT_FRAME_FAILED, DrainUntilFailure(*device_));
    EXPECT_EQ(DEV_FRAME_FAILED, device_->StopTransfer());

    // No camera: the thread cannot open it and ends at once; stopping reaps it
    // (0 once the thread has ended, its end code 10 if the stop came first).
    ASSERT_EQ(0, device_->StartTransfer());
    const int stopped = device_->StopTransfer();
    EXPECT_TRUE(stopped == 0 || stopped == DEV_NO_HANDLE) << stopped;
    EXPECT_EQ(WAIT_FRAME_NOT_STREAMING, device_->WaitFrame());
    EXPECT_EQ(DEV_NO_HANDLE, device_->SnapFrame());

    ASSERT_TRUE(sim_.Attach(0));
    ASSERT_TRUE(sim_.Pace(0, M52SIM_PACE_FAST));
    ASSERT_EQ(0, device_->InitializeDevice(0));
    ASSERT_EQ(0, device_->StartTransfer());
    EXPECT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY));
    EXPECT_EQ(0, device_->StopTransfer());
    EXPECT_EQ(0, device_->SnapFrame());
    device_->CloseSnapHandle();
    EXPECT_EQ(handlesBefore, HandleCount());
}

// 250 frames in the suite (a few hundred command pairs cross each frame boundary); set
// QUORIN_TRANSFER_SOAK_FRAMES for a longer soak.
TEST_F(FrameTransfer, SoakStreamsFramesWhileCommandsInterleave) {
    const char* given = std::getenv("QUORIN_TRANSFER_SOAK_FRAMES");
    const uint32_t frames = given && std::atoi(given) > 0 ? uint32_t(std::atoi(given)) : 250u;
    const DWORD handlesBefore = HandleCount();
    ASSERT_GT(handlesBefore, 0u);
    const M52SimStatus start = sim_.Status(0);
    std::atomic<bool> stop{false};
    std::atomic<int> commandFailures{0};
    std::atomic<int> commandsSent{0};
    ASSERT_EQ(0, device_->StartTransfer());
    // Two senders, like the automatic exposure and a dialog, each crossing the
    // shutter's range boundary often.
    auto sender = [&](uint32_t seed) {
        while (!stop.load()) {
            seed = seed * 1103515245u + 12345u;
            const uint16_t gain = uint16_t((seed >> 8) % 1024);
            const uint16_t shutter = uint16_t((seed & 0x100) ? 1069 + (seed >> 20) % 6 : 8 + (seed >> 20) % 1000);
            if (!device_->SetGain(gain)) ++commandFailures;
            if (!device_->SetShutter(shutter)) ++commandFailures;
            commandsSent += 2;
        }
    };
    std::thread first(sender, 12345u);
    std::thread second(sender, 777u);
    std::vector<uint8_t> frame(device_->WindowBytes());
    int failures = 0, fetched = 0;
    while (sim_.Status(0).frames_delivered - start.frames_delivered < frames) {
        const int rc = device_->WaitFrame();
        if (rc == WAIT_FRAME_READY) {
            if (device_->FetchFrame(frame.data(), frame.size()) == 0) ++fetched;
        } else if (rc != WAIT_FRAME_AGAIN) {
            ++failures;
            break;
        }
    }
    stop.store(true);
    first.join();
    second.join();
    EXPECT_EQ(0, failures);
    EXPECT_EQ(0, device_->StopTransfer());
    const M52SimStatus end = sim_.Status(0);
    EXPECT_EQ(start.frames_failed, end.frames_failed) << "a frame read failed";
    EXPECT_EQ(start.refused_requests, end.refused_requests);
    EXPECT_EQ(0, commandFailures.load());
    EXPECT_GT(commandsSent.load(), 0);
    EXPECT_GT(fetched, 0);
    // Shutter registers never end up half switched: the camera decodes what was stored.
    EXPECT_EQ(uint32_t(device_->GetShutter()), end.shutter);
    EXPECT_EQ(uint32_t(device_->GetGain()), end.gain);
    EXPECT_EQ(0u, end.open_handles);
    EXPECT_EQ(handlesBefore, HandleCount());
    printf("soak: %u frames, %d fetched, %d commands\n", end.frames_delivered - start.frames_delivered, fetched,
           commandsSent.load());
}

TEST_F(FrameTransfer, MissingOrOutgrownBuffersAreRefusedInsteadOfOverrun) {
    std::vector<uint8_t> frame(1360 * 1024 * 2);
    device_->FreeBuffers();
    EXPECT_EQ(DEV_NO_BUFFER, device_->StartTransfer());
    EXPECT_EQ(WAIT_FRAME_NOT_STREAMING, device_->WaitFrame());
    EXPECT_EQ(DEV_NO_BUFFER, device_->SnapFrame());
    EXPECT_EQ(DEV_NO_BUFFER, device_->FetchFrame(frame.data(), frame.size()));
    EXPECT_EQ(DEV_NO_BUFFER, device_->FetchSnapFrame(frame.data(), frame.size()));
    EXPECT_EQ(0u, sim_.Status(0).open_handles);

    // Buffers sized for a small window; the defaults then describe a larger frame.
    ASSERT_EQ(0, device_->SetCaptureWindow(0, 0, 100, 100, 0));
    device_->ResetDefaults();
    ASSERT_GT(size_t(device_->TransferSize()), size_t(100 * 1360 * 2));
    EXPECT_EQ(DEV_NO_BUFFER, device_->SnapFrame());
    EXPECT_EQ(DEV_NO_BUFFER, device_->StartTransfer());
    EXPECT_EQ(DEV_NO_BUFFER, device_->FetchSnapFrame(frame.data(), frame.size()));

    // A window restores everything.
    ASSERT_EQ(0, device_->SetCaptureWindow(0, 0, 1360, 1024, 0));
    EXPECT_EQ(0, device_->SnapFrame());
    ASSERT_EQ(0, device_->StartTransfer());
    EXPECT_EQ(WAIT_FRAME_READY, WaitFor(*device_, WAIT_FRAME_READY));
    EXPECT_EQ(0, device_->StopTransfer());
}
