// Demosaic kernels against a per-pixel reference written from the cell formula: the output pixel
// (x, y) describes the cell of columns x-1, x and rows y-1, y; green is the mean of its two greens;
// red and blue weigh the cell's own site 9, the sites two columns / two rows away across the cell
// centre 3 each and the diagonal one 1, times trunc(gain x 1.28), >> 11, clamped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/cpu_features.h"
#include "imaging/demosaic_avx2.h"
#include "imaging/demosaic_avx512.h"
#include "imaging/demosaic_kernels.h"
#include "imaging/demosaic_scalar.h"
#include "imaging/demosaic_sse2.h"
#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

namespace {

enum Site { kRed, kGreen, kBlue };

// Site colour at (x, y) from the flags: rowFlag = y parity ^ phase bit 0, colFlag = x parity ^
// phase bit 1; (1, 0) red, (0, 1) blue, equal flags green.
Site SiteAt(int x, int y, int phase) {
    const int rowFlag = (y & 1) ^ (phase & 1);
    const int colFlag = (x & 1) ^ ((phase >> 1) & 1);
    if (rowFlag == colFlag) return kGreen;
    return rowFlag ? kRed : kBlue;
}

// A coordinate off the image is replaced by the same-colour one four further in; on images
// smaller than that it steps back by two until inside (or stays at 0 on a one-pixel image).
int Substitute(int c, int size) {
    if (c < 0) {
        c += 4;
        while (c >= size && c >= 0) c -= 2;
    } else if (c >= size) {
        c -= 4;
        while (c < 0 && c < size) c += 2;
    }
    return (c < 0 || c >= size) ? 0 : c;
}

struct Mosaic {
    int width, height, bytes;  // bytes per sample: 1 or 2
    std::vector<uint8_t> data;  // tightly packed rows
    int At(int x, int y) const {
        x = Substitute(x, width);
        y = Substitute(y, height);
        const uint8_t* p = &data[(size_t(y) * width + x) * bytes];
        return bytes == 1 ? p[0] : p[0] | (p[1] << 8);
    }
};

struct Bgr {
    int b, g, r;
};

int Clamp(int64_t v, int maxValue) { return v < 0 ? 0 : v > maxValue ? maxValue : int(v); }

// trunc(gain x 1.28), held to the 32-bit range for absurd gains.
int64_t Factor(int gain) {
    const double f = std::trunc(gain * 1.28);
    return f > 2147483647.0 ? 2147483647 : f < -2147483648.0 ? -2147483648LL : int64_t(f);
}

// The 9/3/3/1 sum around the cell's site of the given colour.
int64_t WeightedSum(const Mosaic& m, int x, int y, int phase, Site colour) {
    for (int sy = y - 1; sy <= y; ++sy)
        for (int sx = x - 1; sx <= x; ++sx) {
            if (SiteAt(sx, sy, phase) != colour) continue;
            // The partner lies on the far side of the cell centre (x - 0.5, y - 0.5).
            const int px = sx == x ? sx - 2 : sx + 2;
            const int py = sy == y ? sy - 2 : sy + 2;
            return 9 * m.At(sx, sy) + 3 * m.At(px, sy) + 3 * m.At(sx, py) + m.At(px, py);
        }
    ADD_FAILURE() << "no site of colour " << colour << " in the cell at " << x << "," << y;
    return 0;
}

Bgr ReferencePixel(const Mosaic& m, int x, int y, const BayerParams& p) {
    const int maxValue = m.bytes == 1 ? 255 : 1023;
    int greenSum = 0;
    for (int sy = y - 1; sy <= y; ++sy)
        for (int sx = x - 1; sx <= x; ++sx)
            if (SiteAt(sx, sy, p.phase) == kGreen) greenSum += m.At(sx, sy);
    Bgr out;
    out.g = std::min(greenSum >> 1, maxValue);
    out.r = Clamp((WeightedSum(m, x, y, p.phase, kRed) * Factor(p.redGain)) >> 11, maxValue);
    out.b = Clamp((WeightedSum(m, x, y, p.phase, kBlue) * Factor(p.blueGain)) >> 11, maxValue);
    return out;
}

Mosaic RandomMosaic(int w, int h, int bytes, int maxValue, unsigned seed) {
    Mosaic m{w, h, bytes, std::vector<uint8_t>(size_t(w) * h * bytes)};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(0, maxValue);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        const int v = value(rng);
        m.data[i * bytes] = uint8_t(v);
        if (bytes == 2) m.data[i * 2 + 1] = uint8_t(v >> 8);
    }
    return m;
}

// Copies the mosaic into an image of the raw colour type.
void FillImage(CDibImage& image, const Mosaic& m) {
    ASSERT_EQ(1, image.Create(m.width, m.height, uint16_t(m.bytes * 8)));
    for (int y = 0; y < m.height; ++y)
        std::memcpy(image.bits + size_t(y) * image.stride, &m.data[size_t(y) * m.width * m.bytes],
                    size_t(m.width) * m.bytes);
}

int SampleOf(const CDibImage& image, int x, int y, int k) {
    const int bytesPerSample = image.bitCount >= 48 ? 2 : 1;
    const uint8_t* p = image.bits + size_t(y) * image.stride + size_t(x) * (image.bitCount / 8) +
                       k * bytesPerSample;
    return bytesPerSample == 1 ? p[0] : p[0] | (p[1] << 8);
}

// Runs Inner then Border over the whole mosaic, as the pipeline does.
void RunDemosaic(CDibImage& dst, const CDibImage& src, BayerParams params) {
    KernelParamSlot slot = &params;
    const bool wide = src.bitCount == 16;
    EXPECT_EQ(1, RunPixelKernel(dst, wide ? Demosaic16Inner : Demosaic8Inner, src, nullptr, 0, 0,
                                &slot, nullptr));
    EXPECT_EQ(1, RunPixelKernel(dst, wide ? Demosaic16Border : Demosaic8Border, src, nullptr, 0,
                                0, &slot, nullptr));
}

// Compares every pixel with the reference; reports the first mismatch only.
void ExpectMatchesReference(const Mosaic& m, const BayerParams& p, uint16_t dstBits) {
    CDibImage src, dst;
    FillImage(src, m);
    ASSERT_EQ(1, dst.Create(m.width, m.height, dstBits));
    RunDemosaic(dst, src, p);
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            const Bgr want = ReferencePixel(m, x, y, p);
            const int got[3] = {SampleOf(dst, x, y, 0), SampleOf(dst, x, y, 1),
                                SampleOf(dst, x, y, 2)};
            const int expected[3] = {want.b, want.g, want.r};
            for (int k = 0; k < 3; ++k)
                if (got[k] != expected[k]) {
                    ADD_FAILURE() << m.width << "x" << m.height << " to " << dstBits
                                  << " bpp, phase " << p.phase << ", gains " << p.redGain << "/"
                                  << p.blueGain << ": first mismatch at (" << x << ", " << y
                                  << ") channel " << k << ": got " << got[k] << ", want "
                                  << expected[k];
                    return;
                }
        }
}

struct Size {
    int w, h;
};

const Size kSizes[] = {{5, 5}, {6, 7}, {1001, 3}, {3, 1001}, {37, 29}, {64, 8}, {1360, 1024}};
const int kGains[] = {0, 1, 100, 200, 400};

TEST(DemosaicReference, EightBitAllSizesPhasesAndGains) {
    unsigned seed = 1;
    for (const Size& size : kSizes) {
        const Mosaic m = RandomMosaic(size.w, size.h, 1, 255, seed++);
        const bool large = size.w * size.h > 100000;
        for (int phase = 0; phase < 4; ++phase)
            for (int g = 0; g < 5; ++g) {
                // Red and blue gains run in opposite orders so every gain meets both channels.
                const BayerParams p = {phase, kGains[g], 100, kGains[4 - g]};
                ExpectMatchesReference(m, p, 24);
                if (!large || g == 2) {
                    ExpectMatchesReference(m, p, 32);
                }
            }
    }
}

TEST(DemosaicReference, SixteenBitAllSizesPhasesAndGains) {
    unsigned seed = 100;
    for (const Size& size : kSizes) {
        const Mosaic m = RandomMosaic(size.w, size.h, 2, 1023, seed++);
        const bool large = size.w * size.h > 100000;
        for (int phase = 0; phase < 4; ++phase)
            for (int g = 0; g < 5; ++g) {
                const BayerParams p = {phase, kGains[g], 100, kGains[4 - g]};
                ExpectMatchesReference(m, p, 48);
                if (!large || g == 2) {
                    ExpectMatchesReference(m, p, 64);
                }
            }
    }
}

// Sixteen-bit storage can hold more than ten bits; such rows must still follow the formula
// (sums above the 16-bit range, green clamped to 1023).
TEST(DemosaicReference, SixteenBitSamplesBeyondTenBits) {
    const Mosaic m = RandomMosaic(83, 41, 2, 65535, 7);
    for (int phase = 0; phase < 4; ++phase) {
        ExpectMatchesReference(m, BayerParams{phase, 100, 100, 100}, 48);
        ExpectMatchesReference(m, BayerParams{phase, 37, 100, 263}, 64);
    }
}

// Gains the dialogs or the registry may hold outside 0..400, including negative ones.
TEST(DemosaicReference, GainsOutsideTheDialogRange) {
    const Mosaic m8 = RandomMosaic(45, 21, 1, 255, 11);
    const Mosaic m16 = RandomMosaic(45, 21, 2, 1023, 12);
    const int gains[][2] = {{-100, 100}, {100, -1}, {-400, -400}, {800, 1600}, {6400, 7000},
                            {-7000, 100}, {2000000000, -2000000000}};
    for (const auto& g : gains) {
        ExpectMatchesReference(m8, BayerParams{1, g[0], 100, g[1]}, 24);
        ExpectMatchesReference(m16, BayerParams{2, g[0], 100, g[1]}, 48);
    }
}

// Images below five pixels in a dimension: every read stays inside (checked by the sanitizers
// with tightly sized buffers) and the result follows the stepped-back substitution.
TEST(DemosaicReference, TinyImagesStayInside) {
    const Size sizes[] = {{1, 1}, {2, 2}, {3, 3}, {4, 3}, {4, 4}, {1, 7}, {7, 1}, {2, 9}};
    for (const Size& s : sizes)
        for (int bytes = 1; bytes <= 2; ++bytes) {
            const Mosaic m = RandomMosaic(s.w, s.h, bytes, bytes == 1 ? 255 : 1023, s.w * 10 + s.h);
            const int dstBpp = 3 * bytes;
            std::vector<uint8_t> dst(size_t(s.w) * s.h * dstBpp, 0xA5);
            std::vector<uint8_t> src(m.data);  // exactly w x h samples
            BayerParams p = {3, 150, 100, 50};
            KernelParamSlot slot = &p;
            const DibRect rect = {0, 0, s.w, s.h};
            PixelKernel inner = bytes == 1 ? Demosaic8Inner : Demosaic16Inner;
            PixelKernel border = bytes == 1 ? Demosaic8Border : Demosaic16Border;
            EXPECT_EQ(1, inner(dst.data(), src.data(), &rect, 0, 0, uint16_t(dstBpp), uint16_t(bytes),
                               s.w * dstBpp, s.w * bytes, &slot, nullptr));
            EXPECT_EQ(1, border(dst.data(), src.data(), &rect, 0, 0, uint16_t(dstBpp), uint16_t(bytes),
                                s.w * dstBpp, s.w * bytes, &slot, nullptr));
            for (int y = 0; y < s.h; ++y)
                for (int x = 0; x < s.w; ++x) {
                    const Bgr want = ReferencePixel(m, x, y, p);
                    const uint8_t* px = &dst[(size_t(y) * s.w + x) * dstBpp];
                    auto sample = [&](int k) { return bytes == 1 ? px[k] : px[2 * k] | (px[2 * k + 1] << 8); };
                    EXPECT_EQ(want.b, sample(0)) << s.w << "x" << s.h << " at " << x << "," << y;
                    EXPECT_EQ(want.g, sample(1)) << s.w << "x" << s.h << " at " << x << "," << y;
                    EXPECT_EQ(want.r, sample(2)) << s.w << "x" << s.h << " at " << x << "," << y;
                }
        }
}

// Uniform mosaics: the examples every colour path relies on.
int UniformResult(int value, int bytes, int redGain, int blueGain, int channel) {
    Mosaic m{9, 8, bytes, std::vector<uint8_t>(size_t(72) * bytes)};
    for (int i = 0; i < 72; ++i) {
        m.data[i * bytes] = uint8_t(value);
        if (bytes == 2) m.data[i * 2 + 1] = uint8_t(value >> 8);
    }
    CDibImage src, dst;
    FillImage(src, m);
    dst.Create(9, 8, uint16_t(bytes * 24));
    RunDemosaic(dst, src, BayerParams{0, redGain, 100, blueGain});
    const int first = SampleOf(dst, 0, 0, channel);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 9; ++x)
            if (SampleOf(dst, x, y, channel) != first) return -1;  // not uniform
    return first;
}

TEST(DemosaicUniform, UnityGainsKeepTheLevel) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(100, UniformResult(100, 1, 100, 100, k));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(100, UniformResult(100, 2, 100, 100, k));
}

TEST(DemosaicUniform, RedGainScalesAndClamps) {
    EXPECT_EQ(200, UniformResult(100, 1, 200, 100, 2));  // (1600 x 256) >> 11
    EXPECT_EQ(100, UniformResult(100, 1, 200, 100, 0));
    EXPECT_EQ(255, UniformResult(100, 1, 400, 100, 2));
    EXPECT_EQ(400, UniformResult(100, 2, 400, 100, 2));  // 1023 leaves room in 16 bits
    EXPECT_EQ(0, UniformResult(100, 1, 0, 100, 2));
    EXPECT_EQ((1600 * 1) >> 11, UniformResult(100, 1, 1, 100, 2));
    EXPECT_EQ((16 * 255 * 1) >> 11, UniformResult(255, 1, 1, 100, 2));
    EXPECT_EQ(0, UniformResult(100, 1, -100, 100, 2));  // negative gains clamp at 0
    EXPECT_EQ(0, UniformResult(100, 2, 100, -50, 0));
}

TEST(DemosaicUniform, SixteenBitBlueClampsAt1023) {
    EXPECT_EQ(1023, UniformResult(1023, 2, 100, 400, 0));
    EXPECT_EQ(1023, UniformResult(1023, 2, 100, 400, 1));
}

// A flat colour laid out in each phase's arrangement comes back as that colour everywhere.
TEST(DemosaicPhases, FlatColourRoundTripsInEveryArrangement) {
    const int red = 200, green = 100, blue = 50;
    for (int phase = 0; phase < 4; ++phase) {
        Mosaic m{11, 9, 1, std::vector<uint8_t>(99)};
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 11; ++x) {
                const Site s = SiteAt(x, y, phase);
                m.data[size_t(y) * 11 + x] = uint8_t(s == kRed ? red : s == kGreen ? green : blue);
            }
        CDibImage src, dst;
        FillImage(src, m);
        dst.Create(11, 9, 24);
        RunDemosaic(dst, src, BayerParams{phase, 100, 100, 100});
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 11; ++x) {
                ASSERT_EQ(blue, SampleOf(dst, x, y, 0)) << "phase " << phase << " at " << x << "," << y;
                ASSERT_EQ(green, SampleOf(dst, x, y, 1)) << "phase " << phase << " at " << x << "," << y;
                ASSERT_EQ(red, SampleOf(dst, x, y, 2)) << "phase " << phase << " at " << x << "," << y;
            }
    }
}

// The documented 2 x 2 arrangements at the origin, memory row order.
TEST(DemosaicPhases, ArrangementsAtTheOrigin) {
    const char* expected[4] = {"GBRG", "RGGB", "BGGR", "GRBG"};
    for (int phase = 0; phase < 4; ++phase) {
        std::string got;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) got += "RGB"[SiteAt(x, y, phase)];
        EXPECT_EQ(expected[phase], got) << "phase " << phase;
    }
}

// Inner writes only the interior and Border only the frame; neither touches the fourth sample.
TEST(DemosaicWrites, InnerAndBorderKeepToTheirPixelsAndThreeSamples) {
    for (int bytes = 1; bytes <= 2; ++bytes) {
        const Mosaic m = RandomMosaic(23, 13, bytes, bytes == 1 ? 255 : 1023, 5);
        CDibImage src, dst;
        FillImage(src, m);
        dst.Create(23, 13, uint16_t(32 * bytes));
        std::memset(dst.bits, 0xA5, size_t(dst.stride) * dst.height);
        BayerParams p = {2, 120, 100, 90};
        KernelParamSlot slot = &p;
        RunPixelKernel(dst, bytes == 1 ? Demosaic8Inner : Demosaic16Inner, src, nullptr, 0, 0, &slot, nullptr);
        const int pixelBytes = dst.bitCount / 8;
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 23; ++x) {
                const uint8_t* px = dst.bits + size_t(y) * dst.stride + size_t(x) * pixelBytes;
                const bool interior = x >= 2 && x <= 20 && y >= 2 && y <= 10;
                if (!interior) {
                    for (int k = 0; k < pixelBytes; ++k) ASSERT_EQ(0xA5, px[k]) << x << "," << y;
                }
                for (int k = 3 * bytes; k < pixelBytes; ++k) ASSERT_EQ(0xA5, px[k]) << x << "," << y;
            }
        RunPixelKernel(dst, bytes == 1 ? Demosaic8Border : Demosaic16Border, src, nullptr, 0, 0, &slot, nullptr);
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 23; ++x) {
                const uint8_t* px = dst.bits + size_t(y) * dst.stride + size_t(x) * pixelBytes;
                for (int k = 3 * bytes; k < pixelBytes; ++k) ASSERT_EQ(0xA5, px[k]) << x << "," << y;
            }
    }
}

TEST(DemosaicWrites, MissingParametersDoNothing) {
    CDibImage src, dst24;
    src.Create(8, 8, 8);
    dst24.Create(8, 8, 24);
    std::memset(dst24.bits, 0x5A, size_t(dst24.stride) * 8);
    EXPECT_EQ(0, RunPixelKernel(dst24, Demosaic8Inner, src, nullptr, 0, 0, nullptr, nullptr));
    KernelParamSlot empty = nullptr;
    EXPECT_EQ(0, RunPixelKernel(dst24, Demosaic8Border, src, nullptr, 0, 0, &empty, nullptr));
    for (int i = 0; i < dst24.stride * 8; ++i) ASSERT_EQ(0x5A, dst24.bits[i]);
}

// Every source and destination pixel size a runner can pass (1 to 8 bytes) except the kernel's
// own: nothing is written and nothing read past the source, which is sized exactly for the pixel
// size given (the sanitizers see any over-read).
TEST(DemosaicWrites, MismatchedSampleOrPixelSizesWriteNothing) {
    struct Family {
        const char* name;
        PixelKernel kernel;
        int sampleBytes;
    };
    const Family families[] = {{"Demosaic8Inner", Demosaic8Inner, 1}, {"Demosaic8Border", Demosaic8Border, 1},
                               {"Demosaic16Inner", Demosaic16Inner, 2}, {"Demosaic16Border", Demosaic16Border, 2}};
    const int w = 24, h = 9;
    BayerParams p = {1, 100, 100, 100};
    KernelParamSlot slot = &p;
    const DibRect rect = {0, 0, w, h};
    int accepted = 0;
    for (const Family& f : families)
        for (int srcBpp = 1; srcBpp <= 8; ++srcBpp)
            for (int dstBpp = 1; dstBpp <= 8; ++dstBpp) {
                const bool fits = srcBpp == f.sampleBytes &&
                                  (dstBpp == 3 * f.sampleBytes || dstBpp == 4 * f.sampleBytes);
                std::vector<uint8_t> src(size_t(w) * h * srcBpp, 0x40);
                std::vector<uint8_t> dst(size_t(w) * h * dstBpp, 0xA5);
                const int result = f.kernel(dst.data(), src.data(), &rect, 0, 0, uint16_t(dstBpp),
                                            uint16_t(srcBpp), w * dstBpp, w * srcBpp, &slot, nullptr);
                const bool untouched = std::all_of(dst.begin(), dst.end(), [](uint8_t b) { return b == 0xA5; });
                if (fits) {
                    ++accepted;
                    EXPECT_EQ(1, result) << f.name << " " << srcBpp << " -> " << dstBpp;
                    EXPECT_FALSE(untouched) << f.name << " " << srcBpp << " -> " << dstBpp;
                } else {
                    EXPECT_EQ(0, result) << f.name << " " << srcBpp << " -> " << dstBpp;
                    EXPECT_TRUE(untouched) << f.name << " " << srcBpp << " -> " << dstBpp;
                }
            }
    EXPECT_EQ(8, accepted);
}

// Restores the kernels' instruction-set cap when a test ends.
class KernelLevelCap {
public:
    explicit KernelLevelCap(CpuVectorLevel level) : previous_(CpuLimitKernelLevel(level)) {}
    ~KernelLevelCap() { CpuLimitKernelLevel(previous_); }

private:
    CpuVectorLevel previous_;
};

// Inner then Border through the runner under an instruction-set cap; the level the kernels
// report for the call must be the one asked for.
std::vector<uint8_t> DemosaicUnderCap(CpuVectorLevel cap, const Mosaic& m, const BayerParams& p,
                                      uint16_t dstBits) {
    KernelLevelCap limit(cap);
    CDibImage src, dst;
    FillImage(src, m);
    dst.Create(m.width, m.height, dstBits);
    std::memset(dst.bits, 0xC3, size_t(dst.stride) * dst.height);
    // 16-bit mosaics have no AVX-512 interior: AVX2 serves them there.
    const CpuVectorLevel expected = cap == CpuVectorLevel::Avx512 && m.bytes == 2 ? CpuVectorLevel::Avx2 : cap;
    EXPECT_EQ(expected, DemosaicInteriorLevel(uint16_t(dstBits / 8), uint16_t(m.bytes), p))
        << CpuVectorLevelName(cap);
    RunDemosaic(dst, src, p);
    return std::vector<uint8_t>(dst.bits, dst.bits + size_t(dst.stride) * dst.height);
}

// The kernels with the wider variant switched off through the CPU check give the same bytes as
// with it: AVX2 against SSE2 (AVX2 processors only), SSE2 against scalar. Phase, odd sizes, both
// destination sizes per depth, the full sensor frame and samples beyond ten bits.
void CompareCappedRuns(CpuVectorLevel wide, CpuVectorLevel narrow) {
    const Size sizes[] = {{5, 5}, {37, 29}, {50, 7}, {1360, 1024}};
    unsigned seed = 300;
    for (const Size& s : sizes)
        for (int bytes = 1; bytes <= 2; ++bytes)
            for (int phase = 0; phase < 4; ++phase) {
                const bool full = s.w * s.h > 100000;
                if (full && phase != 1) continue;
                const int maxValue = bytes == 1 ? 255 : phase == 3 ? 4095 : 1023;
                const Mosaic m = RandomMosaic(s.w, s.h, bytes, maxValue, seed++);
                const BayerParams p = {phase, 130 + 20 * phase, 100, 170 - 10 * phase};
                for (int pixelSamples = 3; pixelSamples <= 4; ++pixelSamples) {
                    const uint16_t dstBits = uint16_t(pixelSamples * 8 * bytes);
                    const std::vector<uint8_t> a = DemosaicUnderCap(wide, m, p, dstBits);
                    const std::vector<uint8_t> b = DemosaicUnderCap(narrow, m, p, dstBits);
                    ASSERT_EQ(a.size(), b.size());
                    const auto diff = std::mismatch(a.begin(), a.end(), b.begin());
                    EXPECT_TRUE(diff.first == a.end())
                        << CpuVectorLevelName(wide) << " and " << CpuVectorLevelName(narrow) << " differ, "
                        << s.w << "x" << s.h << " to " << dstBits << " bpp, phase " << phase
                        << ", first at byte " << (diff.first - a.begin());
                }
            }
}

TEST(DemosaicCpuLevel, Avx512SwitchedOffGivesTheSameBytes) {
    if (CpuKernelLevel() < CpuVectorLevel::Avx512) GTEST_SKIP() << "this processor has no AVX-512 (F, BW, VL, VBMI)";
    CompareCappedRuns(CpuVectorLevel::Avx512, CpuVectorLevel::Avx2);
}

TEST(DemosaicCpuLevel, Avx2SwitchedOffGivesTheSameBytes) {
    if (!CpuHasAvx2()) GTEST_SKIP() << "this processor has no AVX2";
    CompareCappedRuns(CpuVectorLevel::Avx2, CpuVectorLevel::Sse2);
}

TEST(DemosaicCpuLevel, Sse2SwitchedOffGivesTheSameBytes) {
    if (CpuKernelLevel() < CpuVectorLevel::Sse2) GTEST_SKIP() << "no SSE2 kernels in this build";
    CompareCappedRuns(CpuVectorLevel::Sse2, CpuVectorLevel::Scalar);
}

// Every interior variant on its own (the kernels pick one per CPU, so on a given machine the
// others would otherwise go untested), against the same reference.
typedef bool (*DemosaicVariant)(const DemosaicJob&);
struct NamedDemosaicVariant {
    const char* name;
    DemosaicVariant run;
    int bytes;
};

void CheckInteriorVariants(const std::vector<NamedDemosaicVariant>& variants) {
    typedef NamedDemosaicVariant Named;
    std::string names;
    for (const Named& v : variants) names += std::string(" ") + v.name;
    std::printf("interior variants checked:%s\n", names.c_str());
    const Size sizes[] = {{5, 5}, {6, 7}, {21, 6}, {37, 9}, {200, 7}};
    for (const Named& v : variants)
        for (const Size& s : sizes)
            for (int dstBpp : {3 * v.bytes, 4 * v.bytes})
                for (int phase = 0; phase < 8; ++phase) {
                    // Phases 4..7 repeat 0..3 with 16-bit samples beyond ten bits.
                    const int maxValue = v.bytes == 1 ? 255 : phase < 4 ? 1023 : 65535;
                    const Mosaic m = RandomMosaic(s.w, s.h, v.bytes, maxValue,
                                                  unsigned(s.w * 100 + s.h + phase));
                    std::vector<uint8_t> dst(size_t(s.w) * s.h * dstBpp, 0);
                    DemosaicJob job = {m.data.data(), s.w * v.bytes, dst.data(), s.w * dstBpp, dstBpp,
                                       s.w, s.h, (phase & 1) != 0, (phase & 2) != 0,
                                       BayerGainFactor(170), BayerGainFactor(60)};
                    ASSERT_TRUE(v.run(job)) << v.name;
                    const BayerParams p = {phase & 3, 170, 100, 60};
                    for (int y = 2; y < s.h - 2; ++y)
                        for (int x = 2; x < s.w - 2; ++x) {
                            const Bgr want = ReferencePixel(m, x, y, p);
                            const uint8_t* px = &dst[(size_t(y) * s.w + x) * dstBpp];
                            auto sample = [&](int k) { return v.bytes == 1 ? px[k] : px[2 * k] | (px[2 * k + 1] << 8); };
                            ASSERT_EQ(want.b, sample(0)) << v.name << " " << s.w << "x" << s.h << " phase " << phase << " at " << x << "," << y;
                            ASSERT_EQ(want.g, sample(1)) << v.name << " " << s.w << "x" << s.h << " phase " << phase << " at " << x << "," << y;
                            ASSERT_EQ(want.r, sample(2)) << v.name << " " << s.w << "x" << s.h << " phase " << phase << " at " << x << "," << y;
                        }
                }
}

TEST(DemosaicVariants, EachInteriorVariantMatchesTheReference) {
    auto scalar8 = [](const DemosaicJob& job) { DemosaicInner8Scalar(job); return true; };
    auto scalar16 = [](const DemosaicJob& job) { DemosaicInner16Scalar(job); return true; };
    CheckInteriorVariants({{"scalar8", scalar8, 1}, {"sse2-8", DemosaicInner8Sse2, 1},
                           {"scalar16", scalar16, 2}, {"sse2-16", DemosaicInner16Sse2, 2}});
}

TEST(DemosaicVariants, EachAvx2InteriorVariantMatchesTheReference) {
    if (!CpuHasAvx2()) GTEST_SKIP() << "this processor has no AVX2";
    CheckInteriorVariants({{"avx2-8", DemosaicInner8Avx2, 1}, {"avx2-16", DemosaicInner16Avx2, 2}});
}

TEST(DemosaicVariants, EachAvx512InteriorVariantMatchesTheReference) {
    if (CpuKernelLevel() < CpuVectorLevel::Avx512) GTEST_SKIP() << "this processor has no AVX-512 (F, BW, VL, VBMI)";
    CheckInteriorVariants({{"avx512-8", DemosaicInner8Avx512, 1}});
}

// The vector variants decline what they cannot compute exactly and leave it to the scalar twin.
TEST(DemosaicVariants, VectorVariantsDeclineGainsBeyondTheirRange) {
    std::vector<uint8_t> src(64 * 64 * 2, 1), dst(64 * 64 * 8, 0x33);
    DemosaicJob job = {src.data(), 64, dst.data(), 64 * 3, 3, 64, 64, false, false, 8192, 128};
    EXPECT_FALSE(DemosaicInner8Sse2(job));
    if (CpuHasAvx2()) {
        EXPECT_FALSE(DemosaicInner8Avx2(job));
    }
    if (CpuKernelLevel() >= CpuVectorLevel::Avx512) {
        EXPECT_FALSE(DemosaicInner8Avx512(job));
    }
    job.redFactor = 128;
    job.dstBytesPerPixel = 5;
    EXPECT_FALSE(DemosaicInner8Sse2(job));
    job.srcStride = 128;
    job.dstBytesPerPixel = 6;
    job.dstStride = 64 * 6;
    job.blueFactor = -1025;
    EXPECT_FALSE(DemosaicInner16Sse2(job));
    if (CpuHasAvx2()) {
        EXPECT_FALSE(DemosaicInner16Avx2(job));
    }
    for (uint8_t b : dst) ASSERT_EQ(0x33, b);
}

TEST(DemosaicGain, FactorIsTruncatedTimes128Percent) {
    EXPECT_EQ(0, BayerGainFactor(0));
    EXPECT_EQ(1, BayerGainFactor(1));
    EXPECT_EQ(128, BayerGainFactor(100));
    EXPECT_EQ(256, BayerGainFactor(200));
    EXPECT_EQ(512, BayerGainFactor(400));
    EXPECT_EQ(-128, BayerGainFactor(-100));
    EXPECT_EQ(-1, BayerGainFactor(-1));
    EXPECT_EQ(INT32_MAX, BayerGainFactor(INT32_MAX));
}

}  // namespace
