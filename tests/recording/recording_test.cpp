// Recording through the exports on the simulated camera, each file read back by ffprobe and
// decoded by ffmpeg: the measured rate, the frames of the scene, refused calls, a wide name, and
// every way a recording can end leaving a finished file.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "driver/m52sim_control.h"
#include "tests/acquisition/acquisition_support.h"
#include "tests/recording/recording_support.h"

using qtest::DrainHistory;
using rectest::ProbeAvi;
using rectest::ScratchFolder;
using rectest::WaitUntilFinished;

namespace {

const int kW = 1360, kH = 1024;

bool HasCode(const std::vector<int>& history, int code) {
    for (int c : history)
        if (c == code) return true;
    return false;
}

LONGLONG FileBytes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (LONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Waits until the recording at path holds at least `frames` frames of `frameBytes`.
bool WaitForFrames(const std::string& path, int frames, LONGLONG frameBytes, DWORD ms) {
    const DWORD start = GetTickCount();
    while (FileBytes(path) < 232 + frames * (frameBytes + 8)) {
        if (GetTickCount() - start > ms) return false;
        Sleep(20);
    }
    return true;
}

class Recording : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cam_.Open());
        h_ = cam_.handle;
    }
    void TearDown() override { cam_.Close(); }

    void SetScene(const std::vector<uint8_t>& rgb) { ASSERT_TRUE(qtest::SetPicture(0, rgb)); }

    qtest::CameraSession cam_;
    int h_ = 0;
};

}  // namespace

TEST_F(Recording, ThreeSecondsAtFastPacingPlayTheSceneAtTheMeasuredRate) {
    const std::vector<uint8_t> picture = acqtest::NoisePicture(52);
    SetScene(picture);
    ASSERT_TRUE(cam_.sim.Pace(0, M52SIM_PACE_FAST));
    // A preview rectangle is set, yet showWindow 0 records without any window.
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, cam_.window.Handle(), 0, 0, 320, 240), 1);
    ScratchFolder dir;
    const std::string path = dir.File("clip.avi");
    const int durationMs = 3000;
    ASSERT_EQ(Quorin_Record(h_, path.c_str(), durationMs, 0), 1);
    EXPECT_EQ(GetWindow(cam_.window.Handle(), GW_CHILD), nullptr);
    ASSERT_TRUE(WaitUntilFinished(path, durationMs + 20000));
    EXPECT_EQ(Quorin_StopPreview(h_), 1);
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});

    const rectest::Probe probe = ProbeAvi(path);
    ASSERT_TRUE(probe.read) << probe.text;
    EXPECT_EQ(probe.warnings, "");
    EXPECT_EQ(probe.width, kW);
    EXPECT_EQ(probe.height, kH);
    ASSERT_GE(probe.frames, 10) << probe.text;
    // The file's rate is the measured one: the frames over the recording's time, not the nominal 30.
    // That time is the 3 s, or up to a second more when a busy machine held the last frame back.
    const double expected = double(probe.frames) * 1000.0 / durationMs;
    EXPECT_LE(probe.rate, expected * 1.05) << probe.text;
    EXPECT_GE(probe.rate, double(probe.frames) * 1000.0 / (durationMs + 1000) * 0.95) << probe.text;

    // The scene is still, so every frame is the demosaic of the mosaic the camera reads from it.
    const std::vector<uint8_t> want = acqtest::DemosaicOf(acqtest::SimulatedMosaic(0, picture, false), 24);
    const std::vector<std::vector<uint8_t>> frames = rectest::DecodeAvi(path, kW, kH, 2);
    ASSERT_EQ(frames.size(), 2u);
    for (const std::vector<uint8_t>& frame : frames) EXPECT_TRUE(frame == want);
}

TEST_F(Recording, ShowWindowRecordsThroughThePreviewWindow) {
    ScratchFolder dir;
    const std::string path = dir.File("shown.avi");
    // A parent that is not a window: no window, no recording, code 4.
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, reinterpret_cast<HWND>(0x1234), 0, 0, 320, 240), 1);
    EXPECT_EQ(Quorin_Record(h_, path.c_str(), 300, 1), 0);
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{QUORIN_ERR_WINDOW});

    ASSERT_EQ(Quorin_SetPreviewWindow(h_, cam_.window.Handle(), 0, 0, 320, 240), 1);
    ASSERT_EQ(Quorin_Record(h_, path.c_str(), 300, 1), 1);
    const HWND child = GetWindow(cam_.window.Handle(), GW_CHILD);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child), 6540);
    ASSERT_TRUE(WaitUntilFinished(path, 20000));
    EXPECT_EQ(Quorin_Close(h_), 1);
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
    const rectest::Probe probe = ProbeAvi(path);
    ASSERT_TRUE(probe.read) << probe.text;
    EXPECT_EQ(probe.warnings, "");
    EXPECT_GE(probe.frames, 1) << probe.text;
}

TEST_F(Recording, EveryColourTypeBecomesTheSameTwentyFourBitFrames) {
    SetScene(acqtest::NoisePicture(7));
    const int w = 320, h = 240;
    ASSERT_EQ(Quorin_SetCaptureWindowEx(h_, 1360, 0, w, 1024, 0, h), 1);
    // Blue, green, red of pixel x in a stored row of the output image, as 8-bit samples: 16-bit
    // samples hold 10 bits, of which the file keeps the upper 8.
    struct Case {
        int bits;
        int sampleBytes;
        int samples;  // per pixel
    };
    const Case cases[] = {{8, 1, 1}, {16, 2, 1}, {24, 1, 3}, {32, 1, 4}, {48, 2, 3}, {64, 2, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits");
        ASSERT_EQ(Quorin_SetColorMode(h_, c.bits), 1);
        ScratchFolder dir;
        const std::string path = dir.File("type.avi");
        ASSERT_EQ(Quorin_Record(h_, path.c_str(), 300, 0), 1);
        ASSERT_TRUE(WaitUntilFinished(path, 20000));
        // The scene is still: the latest output image is what every recorded frame shows.
        const int stride = (w * c.bits / 8 + 3) & ~3;
        std::vector<uint8_t> output(size_t(stride) * h);
        ASSERT_EQ(Quorin_GetImage(h_, output.data(), int(output.size()), 1), 1);
        ASSERT_EQ(Quorin_StopPreview(h_), 1);
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{});

        std::vector<uint8_t> want(size_t(w) * 3 * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 3; ++k) {
                    const uint8_t* s = &output[size_t(y) * stride + size_t(x) * c.samples * c.sampleBytes +
                                               size_t(c.samples == 1 ? 0 : k) * c.sampleBytes];
                    const unsigned v = c.sampleBytes == 1 ? s[0] : ((s[0] | s[1] << 8) >> 2) & 0xFF;
                    want[(size_t(y) * w + x) * 3 + k] = uint8_t(v);
                }
        const std::vector<std::vector<uint8_t>> frames = rectest::DecodeAvi(path, w, h, 1);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_TRUE(frames[0] == want);
    }
}

TEST_F(Recording, RefusedCallsLeaveTheRunningRecordingAlone) {
    ScratchFolder dir;
    const std::string running = dir.File("running.avi"), second = dir.File("second.avi");
    struct Case {
        const char* what;
        std::function<int()> call;
        int code;
    };
    const Case refused[] = {
        {"null path", [&] { return Quorin_Record(h_, nullptr, 1000, 0); }, QUORIN_ERR_PARAMETER},
        {"empty path", [&] { return Quorin_Record(h_, "", 1000, 0); }, QUORIN_ERR_PARAMETER},
        {"negative duration", [&] { return Quorin_Record(h_, second.c_str(), -1, 0); }, QUORIN_ERR_PARAMETER},
        {"empty wide path", [&] { return Quorin_RecordW(h_, L"", 1000, 0); }, QUORIN_ERR_PARAMETER},
        {"while recording", [&] { return Quorin_Record(h_, second.c_str(), 1000, 0); }, QUORIN_ERR_FILE},
    };
    ASSERT_EQ(Quorin_SetCaptureWindowEx(h_, 1360, 0, 320, 1024, 0, 240), 1);
    ASSERT_EQ(Quorin_Record(h_, running.c_str(), 1500, 0), 1);
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), 0);
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{c.code});
    }
    EXPECT_EQ(GetFileAttributesA(second.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(WaitUntilFinished(running, 20000));
    const rectest::Probe probe = ProbeAvi(running);
    ASSERT_TRUE(probe.read) << probe.text;
    EXPECT_EQ(probe.warnings, "");
    EXPECT_GE(probe.frames, 3);
    // Once the recording has ended by itself the next one may start on the running live picture.
    ASSERT_EQ(Quorin_Record(h_, second.c_str(), 300, 0), 1);
    ASSERT_TRUE(WaitUntilFinished(second, 20000));
    EXPECT_TRUE(ProbeAvi(second).read);
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
    // And at once, as soon as the finished file is seen: the ending recorder does not refuse it.
    for (int round = 0; round < 5; ++round) {
        const std::string next = dir.File("next" + std::to_string(round) + ".avi");
        ASSERT_EQ(Quorin_Record(h_, next.c_str(), 200, 0), 1)
            << "round " << round << ", history " << ::testing::PrintToString(DrainHistory(h_));
        ASSERT_TRUE(WaitUntilFinished(next, 20000));
    }
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
}

TEST_F(Recording, WideJapaneseFileName) {
    // The wide form converts to the ANSI code page; this program's manifest makes it UTF-8.
    if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is not UTF-8 here";
    ScratchFolder dir;
    const std::wstring wideDir(dir.Windows().begin(), dir.Windows().end());
    const std::wstring name = L"\x9332\x753B\x30C6\x30B9\x30C8.avi";  // "recording test" in Japanese
    ASSERT_EQ(Quorin_SetCaptureWindowEx(h_, 1360, 0, 320, 1024, 0, 240), 1);
    ASSERT_EQ(Quorin_RecordW(h_, (wideDir + name).c_str(), 500, 0), 1);
    const std::string utf8 = dir.File("\xE9\x8C\xB2\xE7\x94\xBB\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.avi");
    ASSERT_TRUE(WaitUntilFinished(utf8, 20000));
    EXPECT_NE(GetFileAttributesW((wideDir + name).c_str()), INVALID_FILE_ATTRIBUTES);
    const rectest::Probe probe = ProbeAvi(utf8);
    ASSERT_TRUE(probe.read) << probe.text;
    EXPECT_EQ(probe.warnings, "");
    EXPECT_GE(probe.frames, 1);
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
}

TEST_F(Recording, EveryWayOutLeavesAFinishedPlayableFile) {
    struct Case {
        const char* what;
        std::function<void(qtest::CameraSession&)> end;
        int code;  // in the history afterwards, or 0
    };
    const Case cases[] = {
        {"stop", [](qtest::CameraSession& c) { EXPECT_EQ(Quorin_StopPreview(c.handle), 1); }, 0},
        {"close", [](qtest::CameraSession& c) { EXPECT_EQ(Quorin_Close(c.handle), 1); }, 0},
        {"unplug", [](qtest::CameraSession& c) { EXPECT_TRUE(c.sim.Detach(0)); }, QUORIN_ERR_DEVICE_LOST},
        {"release", [](qtest::CameraSession& c) {
             EXPECT_EQ(Quorin_Release(c.handle), 1);
             c.handle = 0;
         }, 0},
    };
    const int w = 320, h = 240;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(cam_.Open());
        ScratchFolder dir;
        const std::string path = dir.File("cut.avi");
        ASSERT_EQ(Quorin_SetCaptureWindowEx(cam_.handle, 1360, 0, w, 1024, 0, h), 1);
        ASSERT_EQ(Quorin_Record(cam_.handle, path.c_str(), 60000, 0), 1);
        ASSERT_TRUE(WaitForFrames(path, 3, LONGLONG(w) * 3 * h, 20000));
        c.end(cam_);
        ASSERT_TRUE(WaitUntilFinished(path, 15000));
        if (cam_.handle) {
            const std::vector<int> history = DrainHistory(cam_.handle);
            if (c.code) {
                EXPECT_TRUE(HasCode(history, c.code));
            }
            EXPECT_FALSE(HasCode(history, QUORIN_ERR_FILE));
        }
        const rectest::Probe probe = ProbeAvi(path);
        ASSERT_TRUE(probe.read) << probe.text;
        EXPECT_EQ(probe.warnings, "");
        EXPECT_GE(probe.frames, 3);
        EXPECT_EQ(rectest::DecodeAvi(path, w, h).size(), size_t(probe.frames));
    }
}
