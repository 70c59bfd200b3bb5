// Filter and measurement kernels against per-pixel references written from their formulas
// (double, float or integer maths as each filter defines it), run through RunPixelKernel on
// random images of odd and even sizes, every phase, 8 and 16 bits, with samples and typed values
// beyond their ranges; then the defining examples, the kernels' refusals, a table allocation that
// fails, and two threads with different saturations.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/filter_kernels.h"
#include "imaging/pixel_runner.h"

// While set, nothrow array allocations (the kernels' per-call tables) fail.
static std::atomic<bool> g_failTableAllocation(false);

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failTableAllocation.load()) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

const int kSizes[][2] = {{1, 1}, {2, 1}, {1, 3}, {2, 2}, {3, 3}, {4, 5}, {5, 4}, {6, 6},
                         {7, 5}, {8, 9}, {17, 10}, {64, 33}, {131, 70}};

int SampleBytes(const CDibImage& im) { return (im.bitCount == 16 || im.bitCount >= 48) ? 2 : 1; }
int Channels(const CDibImage& im) { return im.bitCount <= 16 ? 1 : 3; }

uint8_t* SampleAddress(const CDibImage& im, int x, int y, int c) {
    return im.bits + size_t(y) * im.stride + size_t(x) * (im.bitCount / 8) + size_t(c) * SampleBytes(im);
}
int Get(const CDibImage& im, int x, int y, int c = 0) {
    const uint8_t* p = SampleAddress(im, x, y, c);
    return SampleBytes(im) == 1 ? p[0] : p[0] | (p[1] << 8);
}
void Set(CDibImage& im, int x, int y, int c, int v) {
    uint8_t* p = SampleAddress(im, x, y, c);
    p[0] = uint8_t(v);
    if (SampleBytes(im) == 2) p[1] = uint8_t(v >> 8);
}

int Clamp(int64_t v, int64_t top) { return int(v < 0 ? 0 : v > top ? top : v); }

// Every byte random (padding and fourth samples included); 16-bit samples mostly 0..1023 with its
// ends, one in eight above it.
void FillRandom(CDibImage& im, std::mt19937& rng) {
    for (size_t i = 0; i < size_t(im.stride) * im.height; ++i) im.bits[i] = uint8_t(rng());
    if (SampleBytes(im) == 1) return;
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x)
            for (int c = 0; c < Channels(im); ++c) {
                const unsigned pick = rng() % 16;
                Set(im, x, y, c, pick == 0 ? 0 : pick == 1 ? 1023 : pick < 4 ? int(rng() % 65536) : int(rng() % 1024));
            }
}

void Copy(CDibImage& dst, const CDibImage& src) {
    ASSERT_EQ(1, dst.CreateLike(&src));
    std::memcpy(dst.bits, src.bits, size_t(src.stride) * src.height);
}

::testing::AssertionResult SameImage(const CDibImage& expected, const CDibImage& actual) {
    for (int y = 0; y < expected.height; ++y)
        for (int i = 0; i < expected.stride; ++i) {
            const size_t at = size_t(y) * expected.stride + i;
            if (expected.bits[at] != actual.bits[at])
                return ::testing::AssertionFailure()
                       << "byte " << i << " of row " << y << ": expected " << int(expected.bits[at])
                       << ", got " << int(actual.bits[at]);
        }
    return ::testing::AssertionSuccess();
}

int RunFilter(CDibImage& dst, PixelKernel kernel, const CDibImage& src, void* block) {
    KernelParamSlot slot = block;
    return RunPixelKernel(dst, kernel, src, nullptr, 0, 0, block ? &slot : nullptr, nullptr);
}

// Runs a kernel on a random image and compares every byte with the original whose touched
// samples went through reference(x, y, c, original). In place, or (sharpness) from a copy into a
// destination that starts out different: the kernel must write every sample it owns, borders
// included, and no other byte.
void CheckKernel(PixelKernel kernel, int bitCount, int w, int h, void* block, unsigned seed,
                 const std::function<int(int, int, int, const CDibImage&)>& reference,
                 const std::string& label, bool fromCopy = false) {
    SCOPED_TRACE(label + " " + std::to_string(w) + "x" + std::to_string(h));
    std::mt19937 rng(seed);
    CDibImage image, original, expected;
    ASSERT_EQ(1, image.Create(w, h, uint16_t(bitCount)));
    FillRandom(image, rng);
    Copy(original, image);
    Copy(expected, image);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < Channels(image); ++c) Set(expected, x, y, c, reference(x, y, c, original));
    if (fromCopy) {
        FillRandom(image, rng);
        const int bpp = image.bitCount / 8, owned = Channels(image) * SampleBytes(image);
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < image.stride; ++i)
                if (i >= w * bpp || i % bpp >= owned)
                    image.bits[size_t(y) * image.stride + i] = expected.bits[size_t(y) * expected.stride + i];
    }
    ASSERT_EQ(1, RunFilter(image, kernel, fromCopy ? original : image, block));
    EXPECT_TRUE(SameImage(expected, image));
}

// --- References -------------------------------------------------------------------------

int RefBrightness(int b, int sample, int top) {
    const float k = b > 0 ? float(1 + b * 0.0392156862745098)
                    : b < 0 ? float(1 - std::fabs(double(b)) * 0.00392156862745098) : 1.0f;
    const double out = std::trunc(double(float(sample) * k));
    return out < 0 ? 0 : out > top ? top : int(out);
}

// bits 0: the 8-bit table.
int RefContrast(int m, int sample, int bits) {
    const int n = bits == 0 ? 8 : bits < 8 ? 8 : bits > 16 ? 16 : bits;
    const int64_t L = int64_t(1) << n;
    const int64_t o = int64_t(m) * (L / 256);
    const int64_t i = sample >= L ? L - 1 : sample;
    if (i < o) return 0;
    if (i > L - o - 1) return int(L - 1);
    return int(std::trunc(double(L) / double(L - 2 * o) * double(i - o)));
}

int RefGamma(int g, int sample, int bits, bool rgb8) {
    double e = g > 100 ? (g - 100) / 10.0 + 1 : g / 100.0;
    if (rgb8) e = std::fmin(std::fmax(e, 0.001), 99.999);
    const int64_t L = bits == 0 ? 256 : int64_t(1) << (bits < 8 ? 8 : bits > 16 ? 16 : bits);
    const double base = bits == 0 ? sample / 255.0 : std::fmin(sample, double(L - 1)) / double(L);
    const double v = std::trunc(std::pow(base, e) * double(bits == 0 ? 255 : L - 1));
    return v >= double(L - 1) ? int(L - 1) : v > 0 ? int(v) : 0;  // typed exponents below 0
}

void RefHueSat(int hue, int saturation, int bgr[3]) {
    const int64_t a = int64_t(hue) * 65536 / 360;
    const int u = int(a & 0xFFFF), x = (u * 6) >> 8, k3 = (x + 256) >> 9;
    int m = x % 512;
    if (m >= 256) m -= 512;
    int shift = m + 510 * (k3 % 3);
    shift += shift < 0 ? 1530 : shift >= 1530 ? -1530 : 0;
    const int hueSector = shift / 255, hueRem = shift % 255;
    static const uint32_t mask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
    static const int mult[6] = {-1, 256, -65536, 1, -256, 65536};
    const int b = bgr[0], g = bgr[1], r = bgr[2];
    int sector = r >= g ? 1 : 3, hi = r >= g ? r : g, lo = r >= g ? g : r, pos = r >= g ? g - b : b - r;
    if (b > hi) sector = 5, hi = b, pos = r - g;
    const int mn = std::min(lo, b), ch = hi - mn, s = hi + mn;
    if (pos < 0) sector -= 1, pos += ch;
    const int64_t satProduct = ((int64_t(saturation) + 256) * 256) * ch + 32768;
    const int satEntry = satProduct < 0 ? 0 : Clamp(satProduct >> 16, 255);
    const int ch2 = std::min(satEntry, std::min(s, 511 - s));
    const int k = (s - ch2) >> 1, w = ((s + ch2) >> 1) - k;
    uint32_t p = uint32_t(k) * 0x010101u;
    if (ch != 0) {
        int v = int(((0xFF0000u / unsigned(ch)) * unsigned(pos) + 32768) >> 16) + hueRem;
        int idx = sector + hueSector;
        if (v >= 255) v -= 255, idx += 1;
        p += ((uint32_t(w) * 0x010101u) & mask[idx % 6]) + uint32_t(((w * v + 128) >> 8) * mult[idx % 6]);
    }
    bgr[0] = p & 0xFF, bgr[1] = (p >> 8) & 0xFF, bgr[2] = (p >> 16) & 0xFF;
}

int RefSharpen(const CDibImage& src, int x, int y, int c, int a, int top, bool wideColumns) {
    const int w = src.width, h = src.height, v = Get(src, x, y, c);
    if (x < 2 || y < 2 || x > w - 3 || y > h - 3) return v;
    const int cols[4] = {x - 2, wideColumns ? x : x - 1, wideColumns ? x + 2 : x,
                         wideColumns ? std::min(x + 4, w - 1) : x + 1};
    int sum = 0;
    for (int dy = -2; dy <= 1; ++dy)
        for (int col : cols) sum += Get(src, col, y + dy, c);
    const int index = Clamp(int64_t(v) - (sum >> 4) + top, 2 * top + 1);
    return Clamp(v + int64_t(a) * (index - top) / 10, top);
}

// Mosaic class of (x, y): rowFlag * 2 + colFlag.
int SiteClass(int x, int y, int phase) { return ((y & 1) ^ (phase & 1)) * 2 + ((x & 1) ^ ((phase >> 1) & 1)); }

int GrayTop(int bits) { return bits == 10 ? 1023 : bits == 12 ? 4095 : bits == 14 ? 16383 : 65535; }

// --- Per-pixel comparisons ----------------------------------------------------------------

const int kBrightness[] = {0, 1, -1, 77, -77, 255, -255, 256, 1000, -1000, INT_MAX, INT_MIN};
const int kContrast[] = {0, 1, -1, 64, -50, 127, -127, 128, 129, -128, 1000, -1000, INT_MAX, INT_MIN};
const int kGamma[] = {0, 1, 50, 99, 101, 137, 200, 201, 1000, -1, -50, INT_MAX, INT_MIN};
const int kSharpness[] = {0, 1, 10, 30, 31, 100, -5, -100, INT_MAX, INT_MIN};

enum Tone { kBright, kContr, kGam };
struct ToneKernel {
    const char* name;
    PixelKernel kernel;
    int bitCount;
    Tone tone;
};
const ToneKernel kToneKernels[] = {
    {"Brightness8", Brightness8, 8, kBright},       {"BrightnessRgb8", BrightnessRgb8, 24, kBright},
    {"BrightnessRgb8/32", BrightnessRgb8, 32, kBright}, {"Brightness16", Brightness16, 16, kBright},
    {"BrightnessRgb16", BrightnessRgb16, 48, kBright}, {"BrightnessRgb16/64", BrightnessRgb16, 64, kBright},
    {"Contrast8", Contrast8, 8, kContr},            {"ContrastRgb8", ContrastRgb8, 32, kContr},
    {"Contrast16", Contrast16, 16, kContr},         {"ContrastRgb16", ContrastRgb16, 48, kContr},
    {"ContrastRgb16/64", ContrastRgb16, 64, kContr}, {"Gamma8", Gamma8, 8, kGam},
    {"GammaRgb8", GammaRgb8, 24, kGam},             {"Gamma16", Gamma16, 16, kGam},
    {"GammaRgb16", GammaRgb16, 64, kGam},
};

TEST(FilterKernels, ToneCurvesMatchTheirFormulasSampleBySample) {
    unsigned seed = 1;
    for (const ToneKernel& t : kToneKernels) {
        const bool sixteen = t.bitCount == 16 || t.bitCount >= 48;
        const int* values = t.tone == kBright ? kBrightness : t.tone == kContr ? kContrast : kGamma;
        const size_t count = t.tone == kBright ? std::size(kBrightness)
                             : t.tone == kContr ? std::size(kContrast) : std::size(kGamma);
        for (int bits : sixteen ? std::vector<int>{10, 16, 3} : std::vector<int>{10})
            for (size_t i = 0; i < count; ++i)
                for (const auto& size : kSizes) {
                    if (bits != 10 && (&size - kSizes) % 4 != 3) continue;  // other widths: a few sizes
                    FilterParams block = {values[i], bits};
                    const int top = sixteen ? (1 << std::min(std::max(bits, 8), 16)) - 1 : 255;
                    auto ref = [&](int x, int y, int c, const CDibImage& o) {
                        const int s = Get(o, x, y, c);
                        if (t.tone == kBright) return RefBrightness(block.value, s, top);
                        if (t.tone == kContr) return RefContrast(block.value, s, sixteen ? bits : 0);
                        return RefGamma(block.value, s, sixteen ? bits : 0, t.kernel == GammaRgb8);
                    };
                    CheckKernel(t.kernel, t.bitCount, size[0], size[1], &block, seed++, ref,
                                 std::string(t.name) + " value " + std::to_string(values[i]) +
                                     " bits " + std::to_string(bits));
                }
    }
}

TEST(FilterKernels, GrayGainsMatchTheirFormulaInEveryPhase) {
    const GrayParams gainSets[] = {
        {0, 128, 128, 128, 128, 0, 0, 0, 0, 0},       {0, 255, 0, 400, 1, 0, -20, 255, -255, 0},
        {0, 200, 100, 64, 300, 5, 10, -5, 20, 0},     {0, INT_MAX, INT_MIN, -7, 400, INT_MAX, INT_MIN, 3, -3, 0},
    };
    unsigned seed = 100;
    for (int bitCount : {8, 16})
        for (int bits : bitCount == 8 ? std::vector<int>{8} : std::vector<int>{10, 12, 14, 16, 8})
            for (int phase = 0; phase < 4; ++phase)
                for (const GrayParams& set : gainSets)
                    for (const auto& size : kSizes) {
                        GrayParams block = set;
                        block.phase = phase, block.bits = bits;
                        const int64_t gains[8] = {block.gainR,   block.gainG1,   block.gainG2,   block.gainB,
                                                  block.offsetR, block.offsetG1, block.offsetG2, block.offsetB};
                        const int byClass[4] = {1, 0, 3, 2};  // G1, R, B, G2 -> field index
                        auto ref = [&](int x, int y, int, const CDibImage& o) {
                            const int f = byClass[SiteClass(x, y, phase)];
                            const int64_t out = gains[4 + f] + gains[f] * Get(o, x, y) / 128;
                            return Clamp(out, bitCount == 8 ? 255 : GrayTop(bits));
                        };
                        CheckKernel(bitCount == 8 ? ApplyGrayGains8 : ApplyGrayGains16, bitCount,
                                     size[0], size[1], &block, seed++, ref,
                                     "gray gains phase " + std::to_string(phase) + " bits " + std::to_string(bits));
                    }
}

TEST(FilterKernels, HueAndSaturationMatchTheHexconeFormula) {
    const int hues[] = {0, 1, 60, 120, -120, 179, -359, 360, -360, 1000, INT_MAX, INT_MIN};
    const int saturations[] = {0, 100, -100, 255, -255, -256, -257, 256, 1000, -1000};
    unsigned seed = 200;
    for (int bitCount : {24, 32, 48, 64})
        for (int hue : hues)
            for (int saturation : saturations)
                for (const int* size : {kSizes[0], kSizes[6], kSizes[10]}) {
                    HueSatParams block = {hue, 0, saturation, bitCount >= 48 && seed % 2 ? 12 : 10};
                    const int down = bitCount >= 48 ? block.bits - 8 : 0;
                    auto ref = [&](int x, int y, int c, const CDibImage& o) {
                        int bgr[3];
                        for (int k = 0; k < 3; ++k) bgr[k] = std::min(Get(o, x, y, k) >> down, 255);
                        RefHueSat(hue, saturation, bgr);
                        return bgr[c] << down;
                    };
                    CheckKernel(bitCount >= 48 ? HueSatRgb16 : HueSatRgb8, bitCount, size[0], size[1],
                                 &block, seed++, ref,
                                 "hue " + std::to_string(hue) + " saturation " + std::to_string(saturation));
                }
}

struct SharpenKernel {
    PixelKernel kernel;
    int bitCount;
};

void CheckSharpen(const SharpenKernel& s, int w, int h, int value, int bits, unsigned seed) {
    const int top = s.bitCount == 16 || s.bitCount >= 48 ? (1 << std::min(std::max(bits, 8), 16)) - 1 : 255;
    FilterParams block = {value, bits};
    CheckKernel(s.kernel, s.bitCount, w, h, &block, seed, [&](int x, int y, int c, const CDibImage& o) {
        return RefSharpen(o, x, y, c, value, top, s.kernel == SharpenRgb16);
    }, "sharpen " + std::to_string(s.bitCount) + " bpp value " + std::to_string(value) + " bits " +
           std::to_string(bits), true);
}

TEST(FilterKernels, SharpnessMatchesTheUnsharpMaskFormula) {
    const SharpenKernel kernels[] = {{Sharpen8, 8}, {SharpenRgb8, 24}, {SharpenRgb8, 32},
                                     {Sharpen16, 16}, {SharpenRgb16, 48}, {SharpenRgb16, 64}};
    unsigned seed = 300;
    for (const SharpenKernel& s : kernels)
        for (int value : kSharpness)
            for (const auto& size : kSizes) {
                CheckSharpen(s, size[0], size[1], value, seed % 3 ? 10 : 12, seed);
                ++seed;
            }
}

TEST(FilterKernels, FullFrameSizeInEveryLayout) {
    const int w = 1360, h = 1024;
    FilterParams gamma = {137, 10}, contrast = {-40, 10};
    CheckKernel(GammaRgb16, 48, w, h, &gamma, 1, [](int x, int y, int c, const CDibImage& o) {
        return RefGamma(137, Get(o, x, y, c), 10, false);
    }, "gamma 48");
    CheckKernel(ContrastRgb8, 24, w, h, &contrast, 2, [](int x, int y, int c, const CDibImage& o) {
        return RefContrast(-40, Get(o, x, y, c), 0);
    }, "contrast 24");
    HueSatParams hueSat = {-77, 0, 90, 10};
    CheckKernel(HueSatRgb8, 24, w, h, &hueSat, 3, [](int x, int y, int c, const CDibImage& o) {
        int bgr[3] = {Get(o, x, y, 0), Get(o, x, y, 1), Get(o, x, y, 2)};
        RefHueSat(-77, 90, bgr);
        return bgr[c];
    }, "hue/saturation 24");
    CheckSharpen({SharpenRgb16, 48}, w, h, 17, 10, 4);
    CheckSharpen({Sharpen8, 8}, w - 1, h - 1, 30, 10, 5);
}

// --- Measurements -------------------------------------------------------------------------

TEST(FilterKernels, MeasurementsMatchTheirFormulas) {
    unsigned seed = 400;
    for (int bitCount : {8, 16})
        for (int phase = 0; phase < 4; ++phase)
            for (const auto& size : kSizes) {
                std::mt19937 rng(seed++);
                CDibImage im;
                ASSERT_EQ(1, im.Create(size[0], size[1], uint16_t(bitCount)));
                FillRandom(im, rng);
                SCOPED_TRACE(std::to_string(bitCount) + " bit phase " + std::to_string(phase) + " " +
                             std::to_string(size[0]) + "x" + std::to_string(size[1]));
                // Gray gains: class sums of the samples that are neither 0 nor top.
                const int bits = bitCount == 8 ? 8 : 10, top = bitCount == 8 ? 255 : 1023;
                double sum[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
                double wbSum[4] = {0, 0, 0, 0}, wbCount[4] = {0, 0, 0, 0};
                for (int y = 0; y < im.height; ++y)
                    for (int x = 0; x < im.width; ++x) {
                        const int v = Get(im, x, y), c = SiteClass(x, y, phase);
                        wbSum[c] += v, wbCount[c] += 1;
                        if (v != 0 && v != top) sum[c] += v, count[c] += 1;
                    }
                GrayParams gray = {phase, 1, 2, 3, 4, 5, 6, 7, 8, bits};
                GrayParams expected = gray;
                if (count[0] && count[1] && count[2] && count[3]) {
                    const double aR = sum[1] / count[1], aG1 = sum[0] / count[0], aG2 = sum[3] / count[3],
                                 aB = sum[2] / count[2];
                    double hi = aR;
                    for (double a : {aG1, aG2, aB}) hi = a > hi ? a : hi;
                    expected.gainR = int(hi / aR * 128), expected.gainG1 = int(hi / aG1 * 128);
                    expected.gainG2 = int(hi / aG2 * 128), expected.gainB = int(hi / aB * 128);
                }
                EXPECT_EQ(1, RunFilter(im, MeasureGrayGains, im, &gray));
                EXPECT_EQ(0, std::memcmp(&expected, &gray, sizeof gray));
                // White balance: blue (0, 1), red (1, 0), both greens together.
                WbMeasure wb = {-1, -2, -3, phase};
                const double aB = wbSum[1] / wbCount[1], aR = wbSum[2] / wbCount[2],
                             aG = (wbSum[0] + wbSum[3]) / (wbCount[0] + wbCount[3]);
                const bool usable = wbCount[1] && wbCount[2] && aB > 0 && aR > 0 && aG > 0;
                const double s = aG + aB + aR;
                const WbMeasure wbExpected =
                    usable ? WbMeasure{int(((s / aB) / 3 * 100) / ((s / aG) / 3)), 100,
                                       int(((s / aR) / 3 * 100) / ((s / aG) / 3)), phase}
                           : wb;
                EXPECT_EQ(usable ? 1 : 0, RunFilter(im, bitCount == 8 ? MeasureWb8 : MeasureWb16, im, &wb));
                EXPECT_EQ(0, std::memcmp(&wbExpected, &wb, sizeof wb));
                // Mean level of a window given in GDI coordinates, as the exposure control asks.
                const int l = int(rng() % im.width), t = int(rng() % im.height);
                const DibRect window = {l, t, l + 1 + int(rng() % (im.width - l)), t + 1 + int(rng() % (im.height - t))};
                uint64_t levelSum = 0;
                for (int y = im.height - window.bottom; y < im.height - window.top; ++y)
                    for (int x = window.left; x < window.right; ++x)
                        levelSum += bitCount == 8 ? Get(im, x, y) : (Get(im, x, y) >> 2) & 0xFF;
                const uint64_t n = uint64_t(window.right - window.left) * (window.bottom - window.top);
                EXPECT_EQ(int(levelSum / n), RunPixelKernel(im, bitCount == 8 ? MeanLevel8 : MeanLevel16, im,
                                                            &window, window.left, window.top, nullptr, nullptr));
            }
}

// --- Defining examples ----------------------------------------------------------------------

// Runs kernel on one row of pixels holding samples (channels per pixel by bitCount).
std::vector<int> RunRow(PixelKernel kernel, int bitCount, const std::vector<int>& samples, void* block) {
    CDibImage im;
    const int channels = bitCount <= 16 ? 1 : 3;
    EXPECT_EQ(1, im.Create(int(samples.size()) / channels, 1, uint16_t(bitCount)));
    for (size_t i = 0; i < samples.size(); ++i) Set(im, int(i) / channels, 0, int(i) % channels, samples[i]);
    EXPECT_EQ(1, RunFilter(im, kernel, im, block));
    std::vector<int> out;
    for (size_t i = 0; i < samples.size(); ++i) out.push_back(Get(im, int(i) / channels, 0, int(i) % channels));
    return out;
}

struct Example {
    const char* what;
    PixelKernel kernel;
    int bitCount;
    std::vector<int> params;
    std::vector<int> in, out;
};

TEST(FilterKernels, DefiningExamples) {
    const Example examples[] = {
        {"brightness 255", Brightness8, 8, {255, 10}, {20, 30}, {220, 255}},
        {"brightness -255", BrightnessRgb8, 24, {-255, 10}, {255, 128, 1}, {0, 0, 0}},
        {"brightness 1", Brightness16, 16, {1, 10}, {900, 1000, 100}, {935, 1023, 103}},
        {"contrast 64", Contrast8, 8, {64, 10}, {63, 64, 128, 192}, {0, 0, 128, 255}},
        {"contrast 0", ContrastRgb8, 24, {0, 10}, {0, 77, 255}, {0, 77, 255}},
        {"contrast -50", Contrast8, 8, {-50, 10}, {0, 255}, {35, 219}},
        {"contrast above the sample width", ContrastRgb16, 48, {10, 10}, {4000, 65535, 0}, {1023, 1023, 0}},
        {"gamma 200", Gamma8, 8, {200, 10}, {128, 255}, {0, 255}},
        {"gamma 50", GammaRgb8, 24, {50, 10}, {64, 0, 255}, {127, 0, 255}},
        {"gamma 0", Gamma8, 8, {0, 10}, {0, 100}, {255, 255}},
        {"gamma 0 colour", GammaRgb8, 24, {0, 10}, {0, 100, 255}, {0, 254, 255}},
        {"gamma above the sample width", GammaRgb16, 48, {100, 10}, {2000, 1023, 0}, {1022, 1022, 0}},
        {"hue 60", HueSatRgb8, 24, {60, 0, 0, 10}, {0, 0, 255}, {0, 255, 255}},
        {"hue 120", HueSatRgb8, 24, {120, 0, 0, 10}, {0, 0, 255}, {0, 255, 2}},
        {"hue -120", HueSatRgb8, 32, {-120, 0, 0, 10}, {0, 0, 255}, {255, 0, 0}},
        {"hue 60 16-bit", HueSatRgb16, 48, {60, 0, 0, 10}, {0, 0, 1023}, {0, 1020, 1020}},
        {"saturation -255", HueSatRgb8, 24, {0, 0, -255, 10}, {50, 100, 200, 9, 9, 9}, {124, 124, 125, 9, 9, 9}},
        {"saturation below -256", HueSatRgb8, 24, {0, 0, -1000, 10}, {50, 100, 200}, {125, 125, 125}},
        {"gray gain 255", ApplyGrayGains8, 8, {0, 255, 255, 255, 255, 0, 0, 0, 0, 8}, {200, 1}, {255, 1}},
        {"gray offset -20", ApplyGrayGains8, 8, {0, 128, 128, 128, 128, -20, -20, -20, -20, 8}, {10, 30}, {0, 10}},
        {"gray gain 400 at 16 bits", ApplyGrayGains16, 16, {0, 400, 400, 400, 400, 0, 0, 0, 0, 16}, {65535, 100}, {65535, 312}},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.what);
        std::vector<int> params = e.params;
        EXPECT_EQ(e.out, RunRow(e.kernel, e.bitCount, e.in, params.data()));
    }
}

TEST(FilterKernels, HueZeroSaturationZeroKeepsColours) {
    HueSatParams block = {0, 0, 0, 10};
    std::vector<int> samples;
    const int exact[][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 0, 0}, {77, 77, 77}, {255, 255, 255}};
    for (const auto& p : exact) samples.insert(samples.end(), p, p + 3);
    EXPECT_EQ(samples, RunRow(HueSatRgb8, 24, samples, &block));
    std::mt19937 rng(7);
    samples.clear();
    for (int i = 0; i < 3 * 4096; ++i) samples.push_back(int(rng() % 256));
    const std::vector<int> out = RunRow(HueSatRgb8, 24, samples, &block);
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_LE(std::abs(out[i] - samples[i]), 1) << i;
}

TEST(FilterKernels, SharpnessOnAnIsolatedSample) {
    CDibImage image, source;
    ASSERT_EQ(1, image.Create(9, 9, 8));
    image.bits[4 * image.stride + 4] = 100;
    Copy(source, image);
    FilterParams block = {10, 10};
    ASSERT_EQ(1, RunFilter(image, Sharpen8, source, &block));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) EXPECT_EQ(x == 4 && y == 4 ? 194 : 0, Get(image, x, y)) << x << "," << y;
    block.value = 0;
    Copy(image, source);
    ASSERT_EQ(1, RunFilter(image, Sharpen8, source, &block));
    EXPECT_TRUE(SameImage(source, image));
}

TEST(FilterKernels, GrayGainMeasureHalfAsBrightClassGetsDoubleGain) {
    CDibImage im;
    ASSERT_EQ(1, im.Create(6, 4, 8));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) Set(im, x, y, 0, SiteClass(x, y, 0) == 1 ? 50 : 100);  // R at 50
    GrayParams block = {0, 1, 1, 1, 1, 9, 9, 9, 9, 8};
    ASSERT_EQ(1, RunFilter(im, MeasureGrayGains, im, &block));
    const GrayParams expected = {0, 256, 128, 128, 128, 9, 9, 9, 9, 8};
    EXPECT_EQ(0, std::memcmp(&expected, &block, sizeof block));
    // Every G1 sample (even rows, even columns) at 0 or at the top: that class is empty.
    for (int x = 0; x < 6; x += 2) Set(im, x, 0, 0, 255), Set(im, x, 2, 0, 0);
    block = {0, 1, 2, 3, 4, 9, 9, 9, 9, 8};
    const GrayParams unchanged = block;
    ASSERT_EQ(1, RunFilter(im, MeasureGrayGains, im, &block));
    EXPECT_EQ(0, std::memcmp(&unchanged, &block, sizeof block));
}

TEST(FilterKernels, WhiteBalanceOnABlackClassKeepsThePreviousGains) {
    for (int bitCount : {8, 16}) {
        CDibImage im;
        ASSERT_EQ(1, im.Create(8, 6, uint16_t(bitCount)));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) Set(im, x, y, 0, SiteClass(x, y, 2) == 1 ? 0 : 80);  // blue black
        WbMeasure wb = {150, 100, 90, 2};
        EXPECT_EQ(0, RunFilter(im, bitCount == 8 ? MeasureWb8 : MeasureWb16, im, &wb));
        EXPECT_EQ(150, wb.blue);
        EXPECT_EQ(100, wb.green);
        EXPECT_EQ(90, wb.red);
    }
}

// --- Refusals, allocation failure, threads -----------------------------------------------

TEST(FilterKernels, WrongPixelSizesAndMissingBlocksWriteNothing) {
    const struct {
        PixelKernel kernel;
        int bitCount, rightBitCount;  // a size refused, and one served
    } refusals[] = {{Brightness8, 24, 8},      {BrightnessRgb8, 8, 32},   {BrightnessRgb8, 48, 24},
                    {Brightness16, 8, 16},     {Contrast16, 48, 16},      {ContrastRgb16, 24, 64},
                    {Gamma8, 16, 8},           {GammaRgb16, 16, 48},      {HueSatRgb8, 48, 24},
                    {HueSatRgb16, 32, 48},     {Sharpen8, 24, 8},         {SharpenRgb16, 16, 48},
                    {ApplyGrayGains8, 16, 8},  {ApplyGrayGains16, 8, 16}, {MeasureGrayGains, 16, 8},
                    {MeasureWb8, 16, 8},       {MeasureWb16, 8, 16},      {MeanLevel8, 16, 0},
                    {MeanLevel16, 24, 0}};
    std::mt19937 rng(9);
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.bitCount);
        CDibImage image, original;
        ASSERT_EQ(1, image.Create(7, 6, uint16_t(r.bitCount)));
        FillRandom(image, rng);
        Copy(original, image);
        int32_t block[10] = {0, 40, 30, 20, 10, 0, 0, 0, 8, 8};  // bits 8: MeasureGrayGains reads bytes
        int32_t before[10];
        std::memcpy(before, block, sizeof block);
        EXPECT_EQ(0, RunFilter(image, r.kernel, original, block));
        EXPECT_EQ(0, std::memcmp(before, block, sizeof block));
        EXPECT_TRUE(SameImage(original, image));
        if (r.rightBitCount != 0) {
            CDibImage right;
            ASSERT_EQ(1, right.Create(7, 6, uint16_t(r.rightBitCount)));
            EXPECT_EQ(0, RunFilter(right, r.kernel, right, nullptr)) << "no parameter block";
        }
    }
}

TEST(FilterKernels, TableThatCannotBeAllocatedSkipsTheFilter) {
    const struct {
        PixelKernel kernel;
        int bitCount;
    } kernels[] = {{Contrast16, 16}, {ContrastRgb16, 48}, {Gamma16, 16}, {GammaRgb16, 64},
                   {Sharpen16, 16}, {SharpenRgb16, 48}, {Sharpen8, 8}, {SharpenRgb8, 24}};
    std::mt19937 rng(11);
    for (const auto& k : kernels) {
        CDibImage image, original;
        ASSERT_EQ(1, image.Create(9, 8, uint16_t(k.bitCount)));
        FillRandom(image, rng);
        Copy(original, image);
        FilterParams block = {20, 10};
        g_failTableAllocation = true;
        const int result = RunFilter(image, k.kernel, original, &block);
        g_failTableAllocation = false;
        EXPECT_EQ(0, result);
        EXPECT_TRUE(SameImage(original, image));
        EXPECT_EQ(1, RunFilter(image, k.kernel, original, &block));
    }
}

TEST(FilterKernels, TwoThreadsWithDifferentSaturationsEachGetTheirOwnResult) {
    std::mt19937 rng(13);
    CDibImage original;
    ASSERT_EQ(1, original.Create(256, 64, 24));
    FillRandom(original, rng);
    HueSatParams blocks[2] = {{30, 0, 200, 10}, {-45, 0, -180, 10}};
    CDibImage expected[2];
    for (int i = 0; i < 2; ++i) {
        Copy(expected[i], original);
        ASSERT_EQ(1, RunFilter(expected[i], HueSatRgb8, expected[i], &blocks[i]));
    }
    std::atomic<int> mismatches(0);
    auto worker = [&](int i) {
        CDibImage image;
        image.CreateLike(&original);
        for (int round = 0; round < 200; ++round) {
            std::memcpy(image.bits, original.bits, size_t(original.stride) * original.height);
            RunFilter(image, HueSatRgb8, image, &blocks[i]);
            if (std::memcmp(image.bits, expected[i].bits, size_t(original.stride) * original.height) != 0)
                ++mismatches;
        }
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join();
    b.join();
    EXPECT_EQ(0, mismatches.load());
}

}  // namespace
