// The recorder driven on a camera object linked in directly, for what the exports cannot reach:
// recordings longer than one file (the file limit lowered) and work images that cannot be made.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "camera/quorin_camera.h"
#include "camera/recording_file.h"
#include "driver/m52sim_control.h"
#include "imaging/dib_image.h"
#include "tests/recording/recording_support.h"
#include "tests/support/product_key.h"
#include "tests/support/sim.h"

using rectest::ScratchFolder;

namespace {

const int kW = 320, kH = 240;
const uint32_t kFrameBytes = kW * 3 * kH;

class TestCamera : public CQuorin {
public:
    using CQuorin::SetRecordFileLimit;
    bool failImages = false;

protected:
    CDibImage* MakeImage() override { return failImages ? nullptr : CQuorin::MakeImage(); }
};

class RecorderParts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(qtest::SimReady(0));
        qtest::ClearProductKey();  // first-run settings
        ASSERT_EQ(cam_.Initialize(nullptr), 1);
        // 8-bit frames, whose first bytes are the camera's frame number: gray pixels in the file.
        ASSERT_EQ(cam_.SetColorMode(8), 1);
        ASSERT_EQ(cam_.SetCaptureWindowEx(1360, 0, kW, 1024, 0, kH), 1);
    }
    void TearDown() override {
        cam_.Close();
        sim_.Reset(0);
    }

    simtest::SimControl& sim_ = qtest::Sim();
    TestCamera cam_;
};

// The frame number the camera stamped over the first four samples, read from the top line.
uint32_t StampOf(const std::vector<uint8_t>& bgr) {
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) n |= uint32_t(bgr[size_t(i) * 3]) << (8 * i);
    return n;
}

}  // namespace

TEST_F(RecorderParts, LongRecordingContinuesInNumberedFilesWithoutLosingAFrame) {
    // At the camera's own pace each frame outlasts the recorder's poll, so it takes every frame:
    // the stamped numbers run on without a gap across the files.
    const M52SimStatus status = sim_.Status(0);
    ASSERT_GT(status.frame_period_us, 25000u) << "frames faster than the recorder polls";
    ASSERT_TRUE(sim_.Stamp(0, 4));
    const int perFile = 4;
    cam_.SetRecordFileLimit(232 + perFile * (8 + uint64_t{kFrameBytes}) + 8 + perFile * 16);
    ScratchFolder dir;
    const std::string path = dir.File("long.avi");
    ASSERT_EQ(cam_.Record(path.c_str(), 1500, 0), 1);
    Sleep(2500);
    ASSERT_EQ(cam_.StopPreview(), 1);
    EXPECT_EQ(cam_.PopError(), 0);

    const std::vector<std::string> files = rectest::RecordingFiles(path);
    ASSERT_GE(files.size(), 3u);
    std::vector<uint32_t> numbers;
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        const rectest::Probe probe = rectest::ProbeAvi(files[i]);
        ASSERT_TRUE(probe.read) << probe.text;
        EXPECT_EQ(probe.warnings, "");
        // Every file but the last is full.
        if (i + 1 < files.size()) {
            EXPECT_EQ(probe.frames, perFile);
        }
        const std::vector<std::vector<uint8_t>> frames = rectest::DecodeAvi(files[i], kW, kH);
        ASSERT_EQ(int64_t(frames.size()), probe.frames);
        for (const std::vector<uint8_t>& f : frames) numbers.push_back(StampOf(f));
    }
    ASSERT_GT(numbers.size(), size_t(2 * perFile));
    for (size_t i = 1; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], numbers[i - 1] + 1) << "frame " << i;
}

TEST_F(RecorderParts, WorkImagesThatCannotBeMadeEndTheRecordingWithAFinishedFile) {
    ScratchFolder dir;
    const std::string path = dir.File("nomemory.avi");
    cam_.failImages = true;
    ASSERT_EQ(cam_.Record(path.c_str(), 5000, 0), 1);
    ASSERT_TRUE(rectest::WaitUntilFinished(path, 10000));
    ASSERT_EQ(cam_.StopPreview(), 1);
    EXPECT_EQ(cam_.PopError(), QUORIN_ERR_MEMORY);
    EXPECT_EQ(cam_.PopError(), 0);
    // The empty recording is complete: headers, "movi" with no chunk, an empty index.
    std::string bytes;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    char buffer[512];
    DWORD got = 0;
    ReadFile(f, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(f);
    bytes.assign(buffer, got);
    ASSERT_EQ(bytes.size(), 240u);
    EXPECT_EQ(bytes.substr(232, 4), "idx1");
    EXPECT_EQ(uint8_t(bytes[4]), 232u);  // RIFF size: the file less its 8-byte header
}

TEST(RecordingRate, HundredthsOfAFramePerSecondWithoutOverflowOrDivisionByZero) {
    struct Case {
        uint64_t frames;
        uint32_t elapsedMs;
        uint32_t rate;
    };
    const Case cases[] = {
        {100, 4000, 2500},          // 25.00 frames per second
        {300, 10000, 3000},
        {50000, 1000000, 5000},     // frames x 100000 no longer fits 32 bits
        {2, 0, 200000},             // two frames within one millisecond
        {1, 200000, 1},             // slower than 1/100 frame per second: the slowest rate, not "nominal"
        {100000, 1, 0xFFFFFFFFu},   // clamped
    };
    for (const Case& c : cases)
        EXPECT_EQ(CRecordingFile::MeasuredRate(c.frames, c.elapsedMs), c.rate) << c.frames << " / " << c.elapsedMs;
}

TEST(RecordingRate, TheEndTestHoldsAcrossTheTimerWrap) {
    struct Case {
        uint32_t start, now, duration;
        bool passed;
    };
    const Case cases[] = {
        {1000, 3999, 3000, false},
        {1000, 4001, 3000, true},
        {0xFFFFF000u, 0x00000100u, 3000, true},    // 4352 ms across the wrap
        {0xFFFFF000u, 0x00000100u, 5000, false},
        {0xFFFFF000u, 0xFFFFF100u, 5000, false},   // an end time start + duration wraps below now here
        {0xFFFFFFFFu, 0x00000000u, 0, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CRecordingFile::DurationPassed(c.start, c.now, c.duration), c.passed)
            << c.start << " -> " << c.now << " over " << c.duration;
}

TEST(RecordingFileNames, ContinuationGoesBeforeAPlainExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\rec\\clip.avi", "C:\\rec\\clip_002.avi"},
        {"C:\\rec.d\\clip", "C:\\rec.d\\clip_002"},          // the dot of a folder is no extension
        {"clip.\x83\x5C", "clip.\x83\x5C_002"},                // double-byte name after a dot
        {"C:\\rec\\clip.v2.AVI", "C:\\rec\\clip.v2_002.AVI"},
    };
    for (const auto& c : cases) EXPECT_EQ(CRecordingFile::ContinuationName(c.first, 2), c.second);
}
