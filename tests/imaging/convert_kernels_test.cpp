// Conversion, gray, repacking and scaling kernels, run through the runners over whole images.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/colour_kernels.h"
#include "imaging/cpu_features.h"
#include "imaging/display_rows.h"
#include "imaging/strip_pool.h"
#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

namespace {

uint8_t* PixelAt(CDibImage& image, int x, int row) {
    return image.bits + size_t(row) * image.stride + size_t(x) * (image.bitCount / 8);
}

int Sample16(const uint8_t* p, int k) { return p[2 * k] | (p[2 * k + 1] << 8); }

void SetSample16(uint8_t* p, int k, int v) {
    p[2 * k] = uint8_t(v);
    p[2 * k + 1] = uint8_t(v >> 8);
}

// Fills every byte with a reproducible pattern (16-bit samples kept to 10 bits when asked).
void FillRandom(CDibImage& image, unsigned seed, bool tenBitSamples) {
    std::mt19937 rng(seed);
    for (int r = 0; r < image.height; ++r)
        for (int i = 0; i < image.width * (image.bitCount / 8); i += tenBitSamples ? 2 : 1) {
            uint8_t* p = image.bits + size_t(r) * image.stride + i;
            if (tenBitSamples)
                SetSample16(p, 0, int(rng() % 1024));
            else
                p[0] = uint8_t(rng());
        }
}

int RunWhole(CDibImage& dst, PixelKernel kernel, const CDibImage& src) {
    return RunPixelKernel(dst, kernel, src, nullptr, 0, 0, nullptr, nullptr);
}

TEST(GrayKernels, ColourToGray8Weights) {
    CDibImage src, dst;
    ASSERT_EQ(1, src.Create(3, 1, 24));
    ASSERT_EQ(1, dst.Create(3, 1, 8));
    const uint8_t pixels[9] = {255, 0, 0, 255, 255, 255, 10, 20, 30};  // blue; white; mixed
    std::memcpy(src.bits, pixels, 9);
    EXPECT_EQ(1, RunWhole(dst, ColourToGray8, src));
    EXPECT_EQ(28, dst.bits[0]);
    EXPECT_EQ(255, dst.bits[1]);
    EXPECT_EQ((30 * 30 + 59 * 20 + 11 * 10) / 100, dst.bits[2]);
}

TEST(GrayKernels, ColourToGray8EveryPixelOfAnOddWidth) {
    CDibImage src, dst;
    ASSERT_EQ(1, src.Create(77, 9, 24));
    ASSERT_EQ(1, dst.Create(77, 9, 8));
    FillRandom(src, 3, false);
    ASSERT_EQ(1, RunWhole(dst, ColourToGray8, src));
    for (int r = 0; r < 9; ++r)
        for (int x = 0; x < 77; ++x) {
            const uint8_t* s = PixelAt(src, x, r);
            ASSERT_EQ((30 * s[2] + 59 * s[1] + 11 * s[0]) / 100, *PixelAt(dst, x, r)) << x << "," << r;
        }
}

TEST(GrayKernels, Gray16To8EdgeValuesAndRowOrder) {
    CDibImage src, dst;
    ASSERT_EQ(1, src.Create(2, 3, 16));
    ASSERT_EQ(1, dst.Create(2, 3, 8));
    const int values[3][2] = {{1023, 3}, {4, 512}, {1020, 0}};
    for (int r = 0; r < 3; ++r)
        for (int x = 0; x < 2; ++x) SetSample16(PixelAt(src, x, r), 0, values[r][x]);
    ASSERT_EQ(1, RunWhole(dst, Gray16To8, src));
    EXPECT_EQ(255, *PixelAt(dst, 0, 0));
    EXPECT_EQ(0, *PixelAt(dst, 1, 0));
    EXPECT_EQ(1, *PixelAt(dst, 0, 1));
    EXPECT_EQ(128, *PixelAt(dst, 1, 1));
    ASSERT_EQ(1, RunWhole(dst, Gray16To8Rev, src));
    EXPECT_EQ(255, *PixelAt(dst, 0, 0));  // row 2 -> row 0: 1020 >> 2
    EXPECT_EQ(255, *PixelAt(dst, 0, 2));  // row 0 -> row 2: 1023 >> 2
    EXPECT_EQ(128, *PixelAt(dst, 1, 1));
    ASSERT_EQ(1, RunWhole(dst, Gray16To8Hi12Rev, src));
    EXPECT_EQ(63, *PixelAt(dst, 0, 0));   // 1020 >> 4
    EXPECT_EQ(32, *PixelAt(dst, 1, 1));   // 512 >> 4
}

TEST(GrayKernels, Gray16Shifts) {
    CDibImage src, dst;
    ASSERT_EQ(1, src.Create(3, 2, 16));
    ASSERT_EQ(1, dst.Create(3, 2, 16));
    FillRandom(src, 4, true);
    ASSERT_EQ(1, RunWhole(dst, Gray16Shl4, src));
    for (int r = 0; r < 2; ++r)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Sample16(PixelAt(src, x, r), 0) << 4, Sample16(PixelAt(dst, x, r), 0));
    ASSERT_EQ(1, RunWhole(dst, Gray16Shl6, src));
    for (int r = 0; r < 2; ++r)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Sample16(PixelAt(src, x, r), 0) << 6, Sample16(PixelAt(dst, x, r), 0));
}

// Expected destination bytes of one pixel for the 8-bit colour kernels.
struct ByteCase {
    const char* name;
    PixelKernel kernel;
    uint16_t srcBits, dstBits;
    bool reversed;
    int order[4];  // destination byte k = source byte order[k]; -1: 255 - source byte 3
};

TEST(ColourKernels, EightBitKernelsPerPixelAndRows) {
    const ByteCase cases[] = {
        {"Rgb32To24", Rgb32To24, 32, 24, false, {0, 1, 2}},
        {"Rgb24Rev/24", Rgb24Rev, 24, 24, true, {0, 1, 2}},
        {"Rgb24Rev/32", Rgb24Rev, 32, 24, true, {0, 1, 2}},
        {"Rgb24Swap/24", Rgb24Swap, 24, 24, false, {2, 1, 0}},
        {"Rgb24Swap/32", Rgb24Swap, 32, 24, false, {2, 1, 0}},
        {"Rgb32InvAlpha", Rgb32InvAlpha, 32, 32, false, {0, 1, 2, -1}},
    };
    for (const ByteCase& c : cases) {
        CDibImage src, dst;
        ASSERT_EQ(1, src.Create(13, 5, c.srcBits));
        ASSERT_EQ(1, dst.Create(13, 5, c.dstBits));
        FillRandom(src, 9, false);
        ASSERT_EQ(1, RunWhole(dst, c.kernel, src)) << c.name;
        const int n = c.dstBits / 8;
        for (int r = 0; r < 5; ++r)
            for (int x = 0; x < 13; ++x) {
                const uint8_t* s = PixelAt(src, x, c.reversed ? 4 - r : r);
                const uint8_t* d = PixelAt(dst, x, r);
                for (int k = 0; k < n; ++k)
                    ASSERT_EQ(c.order[k] < 0 ? 255 - s[3] : s[c.order[k]], d[k])
                        << c.name << " at " << x << "," << r << " byte " << k;
            }
    }
}

struct WideCase {
    const char* name;
    PixelKernel kernel;
    uint16_t dstBits;
    int shift;
    bool swap;
};

TEST(ColourKernels, SixteenBitSampleKernels) {
    const WideCase cases[] = {
        {"Rgb48Shl4", Rgb48Shl4, 48, 4, false},     {"Rgb48Shl4Swap", Rgb48Shl4Swap, 48, 4, true},
        {"Rgb48Shl6", Rgb48Shl6, 48, 6, false},     {"Rgb48Shl6Swap", Rgb48Shl6Swap, 48, 6, true},
        {"Rgb64Shl4", Rgb64Shl4, 64, 4, false},     {"Rgb64Shl4Swap", Rgb64Shl4Swap, 64, 4, true},
        {"Rgb64Shl6", Rgb64Shl6, 64, 6, false},     {"Rgb64Shl6Swap", Rgb64Shl6Swap, 64, 6, true},
    };
    for (uint16_t srcBits : {uint16_t(48), uint16_t(64)})
        for (const WideCase& c : cases) {
            CDibImage src, dst;
            ASSERT_EQ(1, src.Create(11, 4, srcBits));
            ASSERT_EQ(1, dst.Create(11, 4, c.dstBits));
            FillRandom(src, 21, true);
            ASSERT_EQ(1, RunWhole(dst, c.kernel, src)) << c.name;
            for (int r = 0; r < 4; ++r)
                for (int x = 0; x < 11; ++x) {
                    const uint8_t* s = PixelAt(src, x, r);
                    const uint8_t* d = PixelAt(dst, x, r);
                    const int first = c.swap ? 2 : 0, last = c.swap ? 0 : 2;
                    ASSERT_EQ(Sample16(s, first) << c.shift, Sample16(d, 0)) << c.name;
                    ASSERT_EQ(Sample16(s, 1) << c.shift, Sample16(d, 1)) << c.name;
                    ASSERT_EQ(Sample16(s, last) << c.shift, Sample16(d, 2)) << c.name;
                    if (c.dstBits == 64) {
                        ASSERT_EQ(65535, Sample16(d, 3)) << c.name;
                    }
                }
        }
}

TEST(ColourKernels, SixteenBitToPreviewBytes) {
    for (uint16_t srcBits : {uint16_t(48), uint16_t(64)}) {
        CDibImage src, dst;
        ASSERT_EQ(1, src.Create(9, 6, srcBits));
        ASSERT_EQ(1, dst.Create(9, 6, 24));
        FillRandom(src, 33, true);
        SetSample16(PixelAt(src, 0, 0), 2, 1023);
        ASSERT_EQ(1, RunWhole(dst, Rgb48To24, src));
        EXPECT_EQ(255, PixelAt(dst, 0, 0)[2]);
        for (int r = 0; r < 6; ++r)
            for (int x = 0; x < 9; ++x)
                for (int k = 0; k < 3; ++k)
                    ASSERT_EQ(Sample16(PixelAt(src, x, r), k) >> 2, PixelAt(dst, x, r)[k]);
        ASSERT_EQ(1, RunWhole(dst, Rgb48To24Rev, src));
        for (int r = 0; r < 6; ++r)
            for (int x = 0; x < 9; ++x)
                for (int k = 0; k < 3; ++k)
                    ASSERT_EQ(Sample16(PixelAt(src, x, 5 - r), k) >> 2, PixelAt(dst, x, r)[k]);
    }
}

TEST(ColourKernels, RowCopyRevCopiesTheShorterStride) {
    CDibImage src, dst;
    ASSERT_EQ(1, src.Create(10, 4, 32));  // stride 40
    ASSERT_EQ(1, dst.Create(10, 4, 24));  // stride 32 (30 + padding)
    FillRandom(src, 5, false);
    ASSERT_EQ(1, RunWhole(dst, RowCopyRev, src));
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(0, std::memcmp(dst.bits + r * dst.stride, src.bits + (3 - r) * src.stride, 32)) << r;
}

TEST(ColourKernels, MismatchedPixelSizesAreRefused) {
    CDibImage gray8, gray16, rgb24, rgb48;
    ASSERT_EQ(1, gray8.Create(8, 8, 8));
    ASSERT_EQ(1, gray16.Create(8, 8, 16));
    ASSERT_EQ(1, rgb24.Create(8, 8, 24));
    ASSERT_EQ(1, rgb48.Create(8, 8, 48));
    std::memset(gray8.bits, 0x11, size_t(gray8.stride) * 8);
    EXPECT_EQ(0, RunWhole(gray8, Rgb48To24, rgb48));     // destination must be 24 bpp
    EXPECT_EQ(0, RunWhole(rgb24, Rgb48To24, rgb24));     // source must be 48 or 64 bpp
    EXPECT_EQ(0, RunWhole(gray8, ColourToGray8, gray16));
    EXPECT_EQ(0, RunWhole(gray8, Gray16To8, rgb24));
    EXPECT_EQ(0, RunWhole(gray16, RepackRows8, gray16));
    for (int i = 0; i < gray8.stride * 8; ++i) ASSERT_EQ(0x11, gray8.bits[i]);
}

TEST(RepackKernels, PackedFrameSpreadsToTheStride) {
    for (int bytes = 1; bytes <= 2; ++bytes) {
        const int w = 13, h = 7;  // 13 and 26 bytes per row: both need padding
        CDibImage image;
        ASSERT_EQ(1, image.Create(w, h, uint16_t(8 * bytes)));
        ASSERT_GT(image.stride, w * bytes);
        std::vector<uint8_t> packed(size_t(w) * h * bytes);
        for (size_t i = 0; i < packed.size(); ++i) packed[i] = uint8_t(i * 7 + 1);
        std::memcpy(image.bits, packed.data(), packed.size());
        ASSERT_EQ(1, RunWhole(image, bytes == 1 ? RepackRows8 : RepackRows16, image));
        for (int r = 0; r < h; ++r)
            ASSERT_EQ(0, std::memcmp(image.bits + r * image.stride, &packed[size_t(r) * w * bytes], size_t(w) * bytes))
                << "row " << r << ", " << bytes << " bytes per pixel";
    }
}

TEST(ScaleKernels, NearestPicksTruncatedPositionsAndReversesRows) {
    CDibImage src, dst;
    ASSERT_EQ(1, src.Create(10, 6, 24));
    ASSERT_EQ(1, dst.Create(4, 4, 24));
    for (int r = 0; r < 6; ++r)
        for (int x = 0; x < 10; ++x) {
            uint8_t* p = PixelAt(src, x, r);
            p[0] = uint8_t(x);
            p[1] = uint8_t(r);
            p[2] = 99;
        }
    ASSERT_EQ(1, RunScaleKernel(dst, ScaleNearest24, src, nullptr, nullptr, nullptr, nullptr));
    // fx = 2.5: columns 0, 2, 5, 7; fy = 1.5: sy 0, 1, 3, 4 -> memory rows 5, 4, 2, 1.
    const int cols[4] = {0, 2, 5, 7};
    const int rows[4] = {5, 4, 2, 1};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(cols[j], PixelAt(dst, j, i)[0]) << i << "," << j;
            EXPECT_EQ(rows[i], PixelAt(dst, j, i)[1]) << i << "," << j;
            EXPECT_EQ(99, PixelAt(dst, j, i)[2]);
        }
}

TEST(ScaleKernels, NearestEightBitEnlarges) {
    CDibImage src, dst;
    ASSERT_EQ(1, src.Create(3, 2, 8));
    ASSERT_EQ(1, dst.Create(7, 5, 8));
    for (int r = 0; r < 2; ++r)
        for (int x = 0; x < 3; ++x) *PixelAt(src, x, r) = uint8_t(10 * r + x);
    ASSERT_EQ(1, RunScaleKernel(dst, ScaleNearest8, src, nullptr, nullptr, nullptr, nullptr));
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 7; ++j) {
            const int sx = int(float(j) * (3.0f / 7.0f));
            const int sy = int(float(i) * (2.0f / 5.0f));
            EXPECT_EQ(10 * (1 - sy) + sx, *PixelAt(dst, j, i)) << i << "," << j;
        }
}

TEST(ScaleKernels, PreviewSizeFromTheFullFrameStaysInside) {
    CDibImage src, dst;
    ASSERT_EQ(1, src.Create(1360, 1024, 24));
    ASSERT_EQ(1, dst.Create(801, 599, 24));
    FillRandom(src, 8, false);
    ASSERT_EQ(1, RunScaleKernel(dst, ScaleNearest24, src, nullptr, nullptr, nullptr, nullptr));
    const float fx = 1360.0f / 801.0f, fy = 1024.0f / 599.0f;
    for (int i = 0; i < 599; i += 37)
        for (int j = 0; j < 801; j += 41) {
            const int sx = int(float(j) * fx), sy = int(float(i) * fy);
            ASSERT_EQ(0, std::memcmp(PixelAt(dst, j, i), PixelAt(src, sx, 1023 - sy), 3)) << i << "," << j;
        }
}

TEST(ScaleKernels, RectanglesBeyondTheImagesAreKeptInside) {
    CDibImage src, dst;
    ASSERT_EQ(1, src.Create(20, 20, 8));
    ASSERT_EQ(1, dst.Create(10, 10, 8));
    const DibRect huge = {-5, -5, 40, 40};
    EXPECT_EQ(1, RunScaleKernel(dst, ScaleNearest8, src, &huge, &huge, nullptr, nullptr));
    EXPECT_EQ(0, RunScaleKernel(dst, ScaleNearest24, src, nullptr, nullptr, nullptr, nullptr));
}

// The preview's widening to 32 bits, in strips on the pool, at every instruction-set level the
// processor has: each pixel is its three bytes and a zero, rows end exactly at the width (the bytes
// after it stay as they were), and widths around the vector loop's 16-pixel groups and its two-pixel
// tail are served.
TEST(DisplayRows, WidenFrame24To32EveryPixelAtEveryLevel) {
    const int widths[] = {1, 2, 15, 16, 17, 18, 33, 34, 1360};
    const CpuVectorLevel levels[] = {CpuVectorLevel::Scalar, CpuVectorLevel::Avx2};
    StripPool::Shared().Acquire();
    for (CpuVectorLevel level : levels) {
        if (level == CpuVectorLevel::Avx2 && !CpuHasAvx2()) continue;
        const CpuVectorLevel previous = CpuLimitKernelLevel(level);
        for (int w : widths) {
            const int h = 9, srcStride = (w * 3 + 3) & ~3, dstStride = w * 4 + 8;
            std::vector<uint8_t> src(size_t(srcStride) * h), dst(size_t(dstStride) * h, 0xA5);
            std::mt19937 pattern(static_cast<unsigned>(w));
            for (uint8_t& b : src) b = uint8_t(pattern());
            WidenFrame24To32(src.data(), srcStride, dst.data(), dstStride, w, h);
            int wrong = 0;
            for (int y = 0; y < h; ++y) {
                const uint8_t* s = &src[size_t(y) * srcStride];
                const uint8_t* d = &dst[size_t(y) * dstStride];
                for (int x = 0; x < w; ++x)
                    wrong += d[4 * x] != s[3 * x] || d[4 * x + 1] != s[3 * x + 1] || d[4 * x + 2] != s[3 * x + 2] ||
                             d[4 * x + 3] != 0;
                for (int i = w * 4; i < dstStride; ++i) wrong += d[i] != 0xA5;
            }
            EXPECT_EQ(0, wrong) << "width " << w << " at " << CpuVectorLevelName(level);
        }
        CpuLimitKernelLevel(previous);
    }
    StripPool::Shared().Release();
}

}  // namespace
