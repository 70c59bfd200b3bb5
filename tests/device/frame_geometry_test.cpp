// Frame geometry, transfer size and the window copy out of raw frames.
#include <gtest/gtest.h>

#include <vector>

#include "device/device_protocol.h"
#include "device/frame_geometry.h"

using namespace quorin;

namespace {

// A raw frame whose every byte tells where it came from.
std::vector<uint8_t> NumberedFrame(size_t bytes) {
    std::vector<uint8_t> frame(bytes);
    for (size_t i = 0; i < bytes; ++i) frame[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    return frame;
}

}  // namespace

TEST(FrameGeometryCheck, RejectsEachBadFieldWithItsCode) {
    const FrameGeometry full = {1360, 0, 1360, 1024, 0, 1024, 4};
    EXPECT_EQ(DEV_OK, CheckFrameGeometry(full));
    auto with = [&](auto change) { FrameGeometry g = full; change(g); return CheckFrameGeometry(g); };
    EXPECT_EQ(DEV_BAD_RING_OR_WINDOW, with([](FrameGeometry& g) { g.ringCount = 1; }));
    EXPECT_EQ(DEV_BAD_RING_OR_WINDOW, with([](FrameGeometry& g) { g.ringCount = 1024; }));  // beyond 10-bit indices
    EXPECT_EQ(DEV_OK, with([](FrameGeometry& g) { g.ringCount = 1023; }));
    EXPECT_EQ(DEV_BAD_WIDTH, with([](FrameGeometry& g) { g.imageWidth = 1361; }));
    EXPECT_EQ(DEV_BAD_WIDTH, with([](FrameGeometry& g) { g.lineWidth = 0; }));
    EXPECT_EQ(DEV_BAD_WIDTH, with([](FrameGeometry& g) { g.imageWidth = 0; }));
    EXPECT_EQ(DEV_BAD_WIDTH, with([](FrameGeometry& g) { g.xOffset = -1; g.imageWidth = 100; }));
    EXPECT_EQ(DEV_BAD_WIDTH, with([](FrameGeometry& g) { g.xOffset = 1; }));  // X + W > L
    EXPECT_EQ(DEV_BAD_LINES, with([](FrameGeometry& g) { g.yOffset = 1; }));  // Y + H > T
    EXPECT_EQ(DEV_BAD_LINES, with([](FrameGeometry& g) { g.yOffset = -1; g.imageHeight = 10; }));
    EXPECT_EQ(DEV_BAD_LINES, with([](FrameGeometry& g) { g.totalLines = 0; }));
    EXPECT_EQ(DEV_BAD_LINES, with([](FrameGeometry& g) { g.imageHeight = 0; }));
    // Width is judged before lines, lines before the ring.
    EXPECT_EQ(DEV_BAD_WIDTH, CheckFrameGeometry({10, 0, 20, 0, 0, 0, 0}));
    EXPECT_EQ(DEV_BAD_LINES, CheckFrameGeometry({10, 0, 10, 5, 0, 6, 0}));
    // A frame too large for a 32-bit transfer length in 16-bit mode.
    EXPECT_EQ(DEV_BAD_LINES, CheckFrameGeometry({0x40000, 0, 1, 0x40000, 0, 0x40000, 4}));
}

TEST(TransferSize, RoundsUpToWhole1024ByteBlocks) {
    EXPECT_EQ(2048u, TransferSizeOf({1025, 0, 1, 1, 0, 1, 4}));
    EXPECT_EQ(2048u, TransferSizeOf({2048, 0, 1, 1, 0, 1, 4}));
    EXPECT_EQ(2048u, TransferSizeOf({1024, 0, 1, 2, 1, 1, 4}));  // lines above the window count
    EXPECT_EQ(1360u * 1024u, TransferSizeOf({1360, 0, 1360, 1024, 0, 1024, 4}));
    EXPECT_EQ(1390592u, TransferSizeOf({1339, 50, 1280, 1040, 10, 1028, 4}));
}

TEST(CopyWindow, WholeFrameIsOneCopy) {
    const FrameGeometry g = {1360, 0, 1360, 1024, 0, 1024, 4};
    const std::vector<uint8_t> src = NumberedFrame(1360 * 1024);
    std::vector<uint8_t> dst(src.size(), 0);
    EXPECT_EQ(DEV_OK, CopyFrameWindow(dst.data(), dst.size(), src.data(), g, 1));
    EXPECT_EQ(src, dst);
}

TEST(CopyWindow, BaseDefaultsIn16BitModeStartAtByte26880) {
    const FrameGeometry g = {1339, 50, 1280, 1040, 10, 1028, 4};
    const std::vector<uint8_t> src = NumberedFrame(size_t(TransferSizeOf(g)) * 2);
    std::vector<uint8_t> dst(1280 * 1028 * 2, 0);
    ASSERT_EQ(DEV_OK, CopyFrameWindow(dst.data(), dst.size(), src.data(), g, 2));
    EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + 2560, src.begin() + 26880));
    const size_t lastRow = 1027;
    const size_t from = ((10 + lastRow) * 1339 + 50) * 2;
    EXPECT_TRUE(std::equal(dst.begin() + lastRow * 2560, dst.end(), src.begin() + from));
    EXPECT_LE(from + 2560, src.size());
    EXPECT_EQ(from + 2560, WindowSourceBytes(g, 2));
}

TEST(CopyWindow, NeverWritesPastASmallDestination) {
    const FrameGeometry g = {16, 2, 8, 6, 1, 4, 2};
    const std::vector<uint8_t> src = NumberedFrame(1024);
    std::vector<uint8_t> dst(8 * 4 + 1, 0xEE);
    EXPECT_EQ(DEV_NO_BUFFER, CopyFrameWindow(dst.data(), 8 * 4 - 1, src.data(), g, 1));
    for (uint8_t b : dst) EXPECT_EQ(0xEE, b);
    EXPECT_EQ(DEV_NO_BUFFER, CopyFrameWindow(nullptr, 1000, src.data(), g, 1));
    EXPECT_EQ(DEV_NO_BUFFER, CopyFrameWindow(dst.data(), dst.size(), nullptr, g, 1));
    ASSERT_EQ(DEV_OK, CopyFrameWindow(dst.data(), 8 * 4, src.data(), g, 1));
    EXPECT_EQ(0xEE, dst.back());
    for (size_t row = 0; row < 4; ++row) {
        for (size_t col = 0; col < 8; ++col) {
            EXPECT_EQ(src[(1 + row) * 16 + 2 + col], dst[row * 8 + col]) << row << "," << col;
        }
    }
}

TEST(CaptureWindowCheck, WindowMustLieOnTheSensor) {
    EXPECT_TRUE(IsCaptureWindowValid({0, 0, 1360, 1024, 0}));
    EXPECT_TRUE(IsCaptureWindowValid({1356, 1021, 4, 3, 3}));
    EXPECT_FALSE(IsCaptureWindowValid({1, 0, 1360, 1024, 0}));
    EXPECT_FALSE(IsCaptureWindowValid({0, 0, 3, 1024, 0}));
    EXPECT_FALSE(IsCaptureWindowValid({0, 0, 1360, 2, 0}));
    EXPECT_FALSE(IsCaptureWindowValid({0, 1, 1360, 1024, 0}));
    EXPECT_FALSE(IsCaptureWindowValid({-4, 0, 100, 100, 0}));
    EXPECT_FALSE(IsCaptureWindowValid({0, -3, 100, 100, 0}));
    EXPECT_FALSE(IsCaptureWindowValid({0, 0, 100, 100, 4}));
    EXPECT_FALSE(IsCaptureWindowValid({0, 0, 100, 100, -1}));
    // Sub-sampling mode 2 reads every fourth line: fewer than 4 lines give no line at all.
    EXPECT_FALSE(IsCaptureWindowValid({0, 0, 100, 3, 2}));
    EXPECT_TRUE(IsCaptureWindowValid({0, 0, 100, 4, 2}));
    EXPECT_TRUE(IsCaptureWindowValid({0, 0, 100, 3, 1}));
    EXPECT_FALSE(IsCaptureWindowValid({0x7FFFFFF0, 0, 0x20, 100, 0}));  // no overflow
}

TEST(CaptureWindowGeometry, FullWindowIsTheWholeFrame) {
    const FrameGeometry g = GeometryForCaptureWindow({0, 0, 1360, 1024, 0});
    EXPECT_EQ(DEV_OK, CheckFrameGeometry(g));
    EXPECT_EQ(1360, g.lineWidth);
    EXPECT_EQ(1360, g.imageWidth);
    EXPECT_EQ(g.imageHeight, g.totalLines);
    EXPECT_EQ(0, g.xOffset);
    EXPECT_EQ(0, g.yOffset);
    EXPECT_EQ(4, g.ringCount);
    EXPECT_EQ(1360u * 1024u, TransferSizeOf(g));
}

TEST(CaptureWindowGeometry, OffsetWindowStreamsFullLinesDownToItsBottom) {
    const FrameGeometry g = GeometryForCaptureWindow({100, 40, 640, 480, 0});
    EXPECT_EQ(DEV_OK, CheckFrameGeometry(g));
    EXPECT_EQ((FrameGeometry{1360, 100, 640, 520, 40, 480, 4}).totalLines, g.totalLines);
    EXPECT_EQ(1360, g.lineWidth);
    EXPECT_EQ(100, g.xOffset);
    EXPECT_EQ(640, g.imageWidth);
    EXPECT_EQ(40, g.yOffset);
    EXPECT_EQ(480, g.imageHeight);
    EXPECT_EQ(707584u, TransferSizeOf(g));  // 520 whole lines from the sensor top, rounded up
}

TEST(CaptureWindowGeometry, SubSamplingQuartersLinesAndOrigin) {
    const FrameGeometry full = GeometryForCaptureWindow({0, 0, 1360, 1024, 2});
    EXPECT_EQ(256, full.imageHeight);
    EXPECT_EQ(1360u * 256u, TransferSizeOf(full));
    const FrameGeometry g = GeometryForCaptureWindow({8, 101, 200, 403, 2});
    EXPECT_EQ(25, g.yOffset);
    EXPECT_EQ(100, g.imageHeight);
    EXPECT_EQ(125, g.totalLines);
    EXPECT_EQ(DEV_OK, CheckFrameGeometry(g));
    // Every valid window gives a geometry inside the sensor's transfer.
    for (int mode : {0, 1, 2, 3}) {
        const CaptureWindow w = {1356, mode == 2 ? 1020 : 1021, 4, mode == 2 ? 4 : 3, mode};
        ASSERT_TRUE(IsCaptureWindowValid(w)) << mode;
        const FrameGeometry edge = GeometryForCaptureWindow(w);
        EXPECT_EQ(DEV_OK, CheckFrameGeometry(edge)) << mode;
        EXPECT_LE(TransferSizeOf(edge), 1360u * 1024u) << mode;
    }
}
