// RunPixelKernel's clipping and GDI-to-memory-row conversion, RunScaleKernel's defaults, seen
// through a kernel that records what it was given.
#include <gtest/gtest.h>

#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

namespace {

struct KernelCall {
    int calls;
    const uint8_t* dstBits;
    const uint8_t* srcBits;
    DibRect rect;
    int dstX, dstRow;
    uint16_t dstBpp, srcBpp;
    int dstStride, srcStride;
    KernelParamSlot* params;
    void* spare;
};
KernelCall g_call;

int RecordingKernel(PIXEL_KERNEL_ARGS) {
    ++g_call.calls;
    g_call.dstBits = dstBits;
    g_call.srcBits = srcBits;
    g_call.rect = *rect;
    g_call.dstX = dstX;
    g_call.dstRow = dstRow;
    g_call.dstBpp = dstBytesPerPixel;
    g_call.srcBpp = srcBytesPerPixel;
    g_call.dstStride = dstStride;
    g_call.srcStride = srcStride;
    g_call.params = params;
    g_call.spare = spare;
    return 77;
}

struct ScaleCall {
    int calls;
    DibRect dstRect, srcRect;
    DibSize dstSize, srcSize;
    uint16_t dstBpp, srcBpp;
};
ScaleCall g_scale;

int RecordingScaleKernel(SCALE_KERNEL_ARGS) {
    ++g_scale.calls;
    g_scale.dstRect = *dstRect;
    g_scale.srcRect = *srcRect;
    g_scale.dstSize = dstSize;
    g_scale.srcSize = srcSize;
    g_scale.dstBpp = dstBytesPerPixel;
    g_scale.srcBpp = srcBytesPerPixel;
    return 5;
}

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_call = KernelCall();
        g_call.dstX = g_call.dstRow = -12345;
        g_scale = ScaleCall();
    }
};

void ExpectRect(const DibRect& r, int left, int top, int right, int bottom) {
    EXPECT_EQ(left, r.left);
    EXPECT_EQ(top, r.top);
    EXPECT_EQ(right, r.right);
    EXPECT_EQ(bottom, r.bottom);
}

TEST_F(RunnerTest, NullRectangleOverEqualImagesIsTheWholeImage) {
    CDibImage dst, src;
    ASSERT_EQ(1, dst.Create(64, 48, 24));
    ASSERT_EQ(1, src.Create(64, 48, 8));
    int marker = 0;
    KernelParamSlot slot = &marker;
    EXPECT_EQ(77, RunPixelKernel(dst, RecordingKernel, src, nullptr, 0, 0, &slot, nullptr));
    ASSERT_EQ(1, g_call.calls);
    ExpectRect(g_call.rect, 0, 0, 64, 48);
    EXPECT_EQ(0, g_call.dstX);
    EXPECT_EQ(0, g_call.dstRow);
    EXPECT_EQ(3, g_call.dstBpp);
    EXPECT_EQ(1, g_call.srcBpp);
    EXPECT_EQ(dst.stride, g_call.dstStride);
    EXPECT_EQ(src.stride, g_call.srcStride);
    EXPECT_EQ(dst.bits, g_call.dstBits);
    EXPECT_EQ(src.bits, g_call.srcBits);
    EXPECT_EQ(&slot, g_call.params);
    EXPECT_EQ(nullptr, g_call.spare);
}

TEST_F(RunnerTest, WindowInsideTheSameImageBecomesMemoryRows) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(100, 100, 8));
    const DibRect window = {10, 20, 30, 40};
    EXPECT_EQ(77, RunPixelKernel(image, RecordingKernel, image, &window, 10, 20, nullptr, nullptr));
    ASSERT_EQ(1, g_call.calls);
    ExpectRect(g_call.rect, 10, 60, 30, 80);
    EXPECT_EQ(10, g_call.dstX);
    EXPECT_EQ(60, g_call.dstRow);
}

TEST_F(RunnerTest, PositionsOutsideTheDestinationCallNothing) {
    CDibImage dst, src;
    ASSERT_EQ(1, dst.Create(50, 40, 8));
    ASSERT_EQ(1, src.Create(50, 40, 8));
    const int positions[][2] = {{50, 0}, {500, 0}, {0, 40}, {-50, 0}, {0, -40}, {-60, -60}};
    for (const auto& pos : positions)
        EXPECT_EQ(0, RunPixelKernel(dst, RecordingKernel, src, nullptr, pos[0], pos[1], nullptr, nullptr))
            << pos[0] << "," << pos[1];
    EXPECT_EQ(0, g_call.calls);
}

TEST_F(RunnerTest, SourceRectangleOutsideTheSourceCallsNothing) {
    CDibImage dst, src;
    ASSERT_EQ(1, dst.Create(100, 100, 8));
    ASSERT_EQ(1, src.Create(20, 20, 8));
    const DibRect beyond = {30, 0, 40, 10};
    EXPECT_EQ(0, RunPixelKernel(dst, RecordingKernel, src, &beyond, 0, 0, nullptr, nullptr));
    EXPECT_EQ(0, g_call.calls);
}

TEST_F(RunnerTest, RightOverhangShrinksBothBoxes) {
    CDibImage dst, src;
    ASSERT_EQ(1, dst.Create(100, 80, 24));
    ASSERT_EQ(1, src.Create(100, 80, 24));
    // 100 x 80 at x = 70: only 30 columns fit.
    EXPECT_EQ(77, RunPixelKernel(dst, RecordingKernel, src, nullptr, 70, 0, nullptr, nullptr));
    ExpectRect(g_call.rect, 0, 0, 30, 80);
    EXPECT_EQ(70, g_call.dstX);
    EXPECT_EQ(0, g_call.dstRow);
}

TEST_F(RunnerTest, LeftAndTopOverhangsMoveTheSourceBox) {
    CDibImage dst, src;
    ASSERT_EQ(1, dst.Create(100, 80, 8));
    ASSERT_EQ(1, src.Create(100, 80, 8));
    // GDI position (-10, -5): source GDI box (10, 5, 100, 80) lands at (0, 0).
    EXPECT_EQ(77, RunPixelKernel(dst, RecordingKernel, src, nullptr, -10, -5, nullptr, nullptr));
    // Memory rows: top = 80 - 80 = 0, bottom = 80 - 5 = 75; destination bottom GDI row 75 -> row 5.
    ExpectRect(g_call.rect, 10, 0, 100, 75);
    EXPECT_EQ(0, g_call.dstX);
    EXPECT_EQ(5, g_call.dstRow);
}

TEST_F(RunnerTest, BottomOverhangIntoASmallerDestination) {
    CDibImage dst, src;
    ASSERT_EQ(1, dst.Create(40, 30, 8));
    ASSERT_EQ(1, src.Create(40, 50, 8));
    // Source GDI rows 0..49 at y = 0: only GDI rows 0..29 fit, i.e. source memory rows 20..49.
    EXPECT_EQ(77, RunPixelKernel(dst, RecordingKernel, src, nullptr, 0, 0, nullptr, nullptr));
    ExpectRect(g_call.rect, 0, 20, 40, 50);
    EXPECT_EQ(0, g_call.dstRow);
}

TEST_F(RunnerTest, InvertedRectangleAndNullKernelFail) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(30, 30, 8));
    const DibRect inverted = {20, 0, 10, 10};
    EXPECT_EQ(0, RunPixelKernel(image, RecordingKernel, image, &inverted, 20, 0, nullptr, nullptr));
    EXPECT_EQ(0, RunPixelKernel(image, nullptr, image, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(0, g_call.calls);
}

TEST_F(RunnerTest, EmptyImagesNeverReachTheKernel) {
    CDibImage empty, image;
    ASSERT_EQ(1, image.Create(30, 30, 8));
    EXPECT_EQ(0, RunPixelKernel(empty, RecordingKernel, image, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(0, RunPixelKernel(image, RecordingKernel, empty, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(0, g_call.calls);
}

TEST_F(RunnerTest, PositionsNearTheIntegerLimitsDoNotWrap) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(30, 30, 8));
    EXPECT_EQ(0, RunPixelKernel(image, RecordingKernel, image, nullptr, INT32_MAX - 5, 0, nullptr, nullptr));
    EXPECT_EQ(0, RunPixelKernel(image, RecordingKernel, image, nullptr, INT32_MIN + 5, 0, nullptr, nullptr));
    EXPECT_EQ(0, g_call.calls);
}

TEST_F(RunnerTest, ScaleRunnerDefaultsToWholeImagesWithoutClipping) {
    CDibImage dst, src;
    ASSERT_EQ(1, dst.Create(80, 60, 24));
    ASSERT_EQ(1, src.Create(1360, 1024, 24));
    EXPECT_EQ(5, RunScaleKernel(dst, RecordingScaleKernel, src, nullptr, nullptr, nullptr, nullptr));
    ASSERT_EQ(1, g_scale.calls);
    ExpectRect(g_scale.dstRect, 0, 0, 80, 60);
    ExpectRect(g_scale.srcRect, 0, 0, 1360, 1024);
    EXPECT_EQ(80, g_scale.dstSize.width);
    EXPECT_EQ(60, g_scale.dstSize.height);
    EXPECT_EQ(1360, g_scale.srcSize.width);
    EXPECT_EQ(1024, g_scale.srcSize.height);
    EXPECT_EQ(3, g_scale.dstBpp);
    EXPECT_EQ(3, g_scale.srcBpp);

    const DibRect part = {10, 10, 20, 20};
    EXPECT_EQ(5, RunScaleKernel(dst, RecordingScaleKernel, src, &part, &part, nullptr, nullptr));
    ExpectRect(g_scale.dstRect, 10, 10, 20, 20);
    ExpectRect(g_scale.srcRect, 10, 10, 20, 20);
    EXPECT_EQ(0, RunScaleKernel(dst, nullptr, src, nullptr, nullptr, nullptr, nullptr));
}

TEST(RectUtilities, FullRectAndFullBox) {
    const DibRect r = CDibImage::FullRect(nullptr, 640, 480);
    ExpectRect(r, 0, 0, 640, 480);
    const DibRect given = {5, 6, 15, 26};
    ExpectRect(CDibImage::FullRect(&given, 640, 480), 5, 6, 15, 26);
    const DibBox box = CDibImage::FullBox(&given, 640, 480);
    EXPECT_EQ(5, box.x);
    EXPECT_EQ(6, box.y);
    EXPECT_EQ(10, box.w);
    EXPECT_EQ(20, box.h);
    const DibBox whole = CDibImage::FullBox(nullptr, 640, 480);
    EXPECT_EQ(640, whole.w);
    EXPECT_EQ(480, whole.h);
}

}  // namespace
