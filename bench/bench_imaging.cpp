// Frame-sized timings of the imaging kernels beside OpenCV's bilinear Bayer conversions and a plain
// memcpy of the output size, all single-threaded in one run: one frame over and over (cached where
// the cache holds it) and a stream of distinct frames larger than the caches. Prints ms per frame,
// Mpixel/s, one "RATIO ours/reference value" line per comparison (lower is better), and one
// "CHECK name ok" line per timed kernel whose result was verified after timing; exits 1 when a
// check fails.
//   ./run bench [runs]        (default 60 runs per figure, median reported)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/colour_kernels.h"
#include "imaging/cpu_features.h"
#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

namespace {

const int kWidth = 1360;
const int kHeight = 1024;
// Bayer phase of the benchmark's mosaics: R G over G B from memory row 0, which is OpenCV's
// "BayerBG" (named after the second row's second and third samples).
const int kPhase = 1;
const cv::ColorConversionCodes kOpenCvBgr = cv::COLOR_BayerBG2BGR;
const cv::ColorConversionCodes kOpenCvBgra = cv::COLOR_BayerBG2BGRA;

struct Case {
    std::string name;
    std::function<void()> work;
    double pixels;
};

std::map<std::string, std::vector<double>> g_roundTimes;  // per case, in round order
int g_failedChecks = 0;
volatile uint8_t g_sink;

void Report(const std::string& name, double ms, double pixels) {
    std::printf("%-28s %8.3f ms/frame %9.1f Mpixel/s\n", name.c_str(), ms, pixels / ms / 1000.0);
}

// Runs the cases round-robin, one call each per round, so that load from other processes falls
// on all of them alike; reports the median of each.
void MeasureGroup(int runs, const std::vector<Case>& cases) {
    std::vector<std::vector<double>> times(cases.size());
    for (const Case& c : cases) c.work();  // warm up (a stream case moves on to its next frame)
    for (int i = 0; i < runs; ++i)
        for (size_t k = 0; k < cases.size(); ++k) {
            const auto start = std::chrono::steady_clock::now();
            cases[k].work();
            const auto end = std::chrono::steady_clock::now();
            times[k].push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
    for (size_t k = 0; k < cases.size(); ++k) {
        g_roundTimes[cases[k].name] = times[k];
        std::vector<double> t = times[k];
        std::nth_element(t.begin(), t.begin() + runs / 2, t.end());
        Report(cases[k].name, t[size_t(runs / 2)], cases[k].pixels);
    }
}

// Median over the rounds of ours / reference, both timed in the same round, so a burst of load
// from other processes lands on both halves of each ratio.
void Ratio(const std::string& ours, const std::string& reference) {
    const std::vector<double>& a = g_roundTimes[ours];
    const std::vector<double>& b = g_roundTimes[reference];
    std::vector<double> ratios;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) ratios.push_back(a[i] / b[i]);
    if (ratios.empty()) return;
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    std::printf("RATIO %s/%s %.2f\n", ours.c_str(), reference.c_str(), ratios[ratios.size() / 2]);
}

void Check(const std::string& name, const std::string& problem) {
    std::printf("CHECK %-28s %s\n", name.c_str(), problem.empty() ? "ok" : problem.c_str());
    if (!problem.empty()) ++g_failedChecks;
}

std::string At(int x, int y) { return " at (" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

// Samples of the image's depth (10-bit values in 16-bit samples), padding included.
void FillRandom(CDibImage& image, unsigned seed) {
    uint64_t state = 0x9E3779B97F4A7C15ull * (seed + 1);
    const bool wide = image.bitCount == 16 || image.bitCount >= 48;
    const size_t bytes = size_t(image.stride) * image.height;
    for (size_t i = 0; i < bytes; i += wide ? 2 : 1) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        image.bits[i] = uint8_t(state >> 24);
        if (wide) image.bits[i + 1] = uint8_t((state >> 32) & 3);
    }
}

int Sample(const CDibImage& image, int x, int y, int k) {
    const bool wide = image.bitCount == 16 || image.bitCount >= 48;
    const uint8_t* p = image.bits + size_t(y) * image.stride + size_t(x) * (image.bitCount / 8) + k * (wide ? 2 : 1);
    return wide ? p[0] | (p[1] << 8) : p[0];
}

std::unique_ptr<CDibImage> MakeImage(int width, int height, uint16_t bitCount) {
    std::unique_ptr<CDibImage> image(new CDibImage);
    if (image->Create(width, height, bitCount) != 1) {
        std::fprintf(stderr, "out of memory for a %d x %d x %d image\n", width, height, bitCount);
        std::exit(2);
    }
    std::memset(image->bits, 0x11, size_t(image->stride) * height);  // pages in before timing
    return image;
}

// Inner then Border over the whole frame, as the frame pipeline runs them.
void Demosaic(CDibImage& dst, CDibImage& src, BayerParams* params) {
    KernelParamSlot slot = params;
    const bool wide = src.bitCount == 16;
    RunPixelKernel(dst, wide ? Demosaic16Inner : Demosaic8Inner, src, nullptr, 0, 0, &slot, nullptr);
    RunPixelKernel(dst, wide ? Demosaic16Border : Demosaic8Border, src, nullptr, 0, 0, &slot, nullptr);
}

// The same under an instruction-set cap, restored afterwards.
void DemosaicCapped(CpuVectorLevel cap, CDibImage& dst, CDibImage& src, BayerParams* params) {
    const CpuVectorLevel previous = CpuLimitKernelLevel(cap);
    Demosaic(dst, src, params);
    CpuLimitKernelLevel(previous);
}

// The timed result against the scalar kernels (which the tests hold to a per-pixel reference),
// run on a copy of the destination so the samples the demosaic leaves alone agree too.
std::string DemosaicProblem(const CDibImage& result, CDibImage& src, BayerParams params) {
    std::unique_ptr<CDibImage> scalar = MakeImage(result.width, result.height, result.bitCount);
    const size_t bytes = size_t(result.stride) * result.height;
    std::memcpy(scalar->bits, result.bits, bytes);
    DemosaicCapped(CpuVectorLevel::Scalar, *scalar, src, &params);
    for (size_t i = 0; i < bytes; ++i)
        if (scalar->bits[i] != result.bits[i])
            return "differs from the scalar kernels at byte " + std::to_string(i);
    return "";
}

// Red 2, green 1, blue 0 (BGR order) at (x, y) of a mosaic of the given phase.
int SiteChannel(int x, int y, int phase) {
    const int rowFlag = (y & 1) ^ (phase & 1), colFlag = (x & 1) ^ ((phase >> 1) & 1);
    if (rowFlag == colFlag) return 1;
    return rowFlag ? 2 : 0;
}

// OpenCV's bilinear conversion keeps every sample at its own site; that also proves the
// conversion code matches the mosaic's arrangement. Four channels: the fourth is opaque.
template <typename T, int Channels>
std::string OpenCvProblem(const cv::Mat& out, const CDibImage& raw) {
    const int opaque = sizeof(T) == 1 ? 255 : 65535;
    for (int y = 2; y < raw.height - 2; ++y)
        for (int x = 2; x < raw.width - 2; ++x) {
            const cv::Vec<T, Channels>& px = out.at<cv::Vec<T, Channels>>(y, x);
            if (int(px[SiteChannel(x, y, kPhase)]) != Sample(raw, x, y, 0)) return "site sample lost" + At(x, y);
            if (Channels == 4 && int(px[Channels - 1]) != opaque) return "fourth channel not opaque" + At(x, y);
        }
    return "";
}

// Every destination sample of a conversion against its per-pixel rule.
std::string ConversionProblem(const CDibImage& dst, int samples,
                              const std::function<int(int x, int y, int k)>& expected) {
    for (int y = 0; y < dst.height; ++y)
        for (int x = 0; x < dst.width; ++x)
            for (int k = 0; k < samples; ++k)
                if (Sample(dst, x, y, k) != expected(x, y, k))
                    return "sample " + std::to_string(k) + At(x, y) + ": " + std::to_string(Sample(dst, x, y, k)) +
                           ", want " + std::to_string(expected(x, y, k));
    return "";
}

size_t LargestCache() {
    long cache = 0;
#ifdef _SC_LEVEL3_CACHE_SIZE
    cache = std::max(cache, sysconf(_SC_LEVEL3_CACHE_SIZE));
    cache = std::max(cache, sysconf(_SC_LEVEL2_CACHE_SIZE));
#endif
    return size_t(std::max(cache, 0L));
}

// Bytes of one stream so that every frame is evicted before it comes round again: twice the
// largest cache the system reports, at least 64 MiB, at most 1 GiB.
size_t StreamBytes() {
    const size_t wanted = std::max<size_t>(size_t(64) << 20, 2 * LargestCache());
    return std::min<size_t>(wanted, size_t(1) << 30);
}

// Distinct source frames with our destinations and OpenCV's; each call of a stream case takes the
// next frame. OpenCV starts half the stream further on, so it never reads a source that our last
// call has just brought into the cache (and we never read one of its).
struct Stream {
    std::vector<std::unique_ptr<CDibImage>> raw, ours;
    std::vector<cv::Mat> opencv;
    size_t nextOurs = 0, nextOpenCv = 0;  // calls so far

    Stream(uint16_t rawBits, uint16_t colourBits, int cvType, unsigned seed) {
        const size_t perFrame = size_t(CDibImage::StrideFor(kWidth, rawBits) + CDibImage::StrideFor(kWidth, colourBits)) * kHeight;
        const size_t frames = std::max<size_t>(4, (StreamBytes() + perFrame - 1) / perFrame);
        for (size_t i = 0; i < frames; ++i) {
            raw.push_back(MakeImage(kWidth, kHeight, rawBits));
            FillRandom(*raw.back(), seed + unsigned(i));
            ours.push_back(MakeImage(kWidth, kHeight, colourBits));
            opencv.emplace_back(kHeight, kWidth, cvType, cv::Scalar::all(17));
        }
        std::printf("stream of %zu distinct %d-bit frames, %.0f MiB per case (sources and destinations; "
                    "largest cache reported %.0f MiB)\n", frames, rawBits, double(frames * perFrame) / (1 << 20),
                    double(LargestCache()) / (1 << 20));
    }
    cv::Mat Bayer(size_t i) const {
        return cv::Mat(kHeight, kWidth, raw[i]->bitCount == 16 ? CV_16UC1 : CV_8UC1, raw[i]->bits, size_t(raw[i]->stride));
    }
};

// Times our demosaic and OpenCV's over a stream of distinct frames, then checks every frame
// either side produced.
template <typename Sample>
void MeasureStream(int runs, uint16_t rawBits, uint16_t colourBits, int cvType, unsigned seed, const char* ours,
                   const char* theirs, BayerParams bayer, double pixels) {
    Stream s(rawBits, colourBits, cvType, seed);
    MeasureGroup(runs, {
        {ours, [&] {
             const size_t i = s.nextOurs++ % s.raw.size();
             Demosaic(*s.ours[i], *s.raw[i], &bayer);
         }, pixels},
        {theirs, [&] {
             const size_t i = (s.nextOpenCv++ + s.raw.size() / 2) % s.raw.size();
             cv::cvtColor(s.Bayer(i), s.opencv[i], kOpenCvBgr);
         }, pixels},
    });
    std::string problem;
    for (size_t i = 0; i < s.raw.size() && i < s.nextOurs && problem.empty(); ++i)
        problem = DemosaicProblem(*s.ours[i], *s.raw[i], bayer);
    Check(ours, problem);
    problem.clear();
    for (size_t n = 0; n < s.raw.size() && n < s.nextOpenCv && problem.empty(); ++n) {
        const size_t i = (n + s.raw.size() / 2) % s.raw.size();
        problem = OpenCvProblem<Sample, 3>(s.opencv[i], *s.raw[i]);
    }
    Check(theirs, problem);
}

void PrintSetUp(int runs) {
    std::printf("imaging kernels on a %d x %d frame, median of %d runs, one thread\n", kWidth, kHeight, runs);
    std::printf("processor AVX2: %s; kernels run at most %s\n", CpuHasAvx2() ? "yes" : "no",
                CpuVectorLevelName(CpuKernelLevel()));
    const BayerParams bayer = {kPhase, 130, 100, 170};
    std::printf("demosaic interior variant: 8to24 %s, 8to32 %s, 16to48 %s, 16to64 %s; border rows as the "
                "interior (%s), columns scalar\n",
                CpuVectorLevelName(DemosaicInteriorLevel(3, 1, bayer)),
                CpuVectorLevelName(DemosaicInteriorLevel(4, 1, bayer)),
                CpuVectorLevelName(DemosaicInteriorLevel(6, 2, bayer)),
                CpuVectorLevelName(DemosaicInteriorLevel(8, 2, bayer)),
                CpuKernelLevel() >= CpuVectorLevel::Sse2 ? "AVX-512 or AVX2, else scalar" : "scalar");
    std::printf("OpenCV %s (headers %s), cv::cvtColor bilinear Bayer, %d thread, its AVX2 dispatch %s\n",
                cv::getVersionString().c_str(), CV_VERSION, cv::getNumThreads(),
                cv::checkHardwareSupport(CV_CPU_AVX2) ? "on" : "off");
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(50, std::atoi(argv[1])) : 60;
    cv::setNumThreads(1);
    PrintSetUp(runs);
    const double pixels = double(kWidth) * kHeight;
    const bool avx2 = CpuKernelLevel() >= CpuVectorLevel::Avx2;

    auto raw8 = MakeImage(kWidth, kHeight, 8), raw16 = MakeImage(kWidth, kHeight, 16);
    auto rgb24 = MakeImage(kWidth, kHeight, 24), rgb32 = MakeImage(kWidth, kHeight, 32);
    auto rgb48 = MakeImage(kWidth, kHeight, 48), rgb64 = MakeImage(kWidth, kHeight, 64);
    auto sse24 = MakeImage(kWidth, kHeight, 24), sse48 = MakeImage(kWidth, kHeight, 48);
    FillRandom(*raw8, 1);
    FillRandom(*raw16, 2);
    BayerParams bayer = {kPhase, 130, 100, 170};

    // ---- One frame, again and again.
    cv::Mat bayer8(kHeight, kWidth, CV_8UC1, raw8->bits, size_t(raw8->stride));
    cv::Mat bayer16(kHeight, kWidth, CV_16UC1, raw16->bits, size_t(raw16->stride));
    cv::Mat bgr8, bgra8, bgr16, bgra16;
    std::vector<uint8_t> copyFrom(size_t(rgb24->stride) * kHeight, 1), copyTo(copyFrom.size());
    std::vector<uint8_t> copyFrom48(size_t(rgb48->stride) * kHeight, 1), copyTo48(copyFrom48.size());
    for (size_t i = 0; i < copyFrom.size(); ++i) copyFrom[i] = uint8_t(i * 7);
    for (size_t i = 0; i < copyFrom48.size(); ++i) copyFrom48[i] = uint8_t(i * 5);

    std::vector<Case> group8 = {
        {"demosaic8to24", [&] { Demosaic(*rgb24, *raw8, &bayer); }, pixels},
        {"demosaic8to32", [&] { Demosaic(*rgb32, *raw8, &bayer); }, pixels},
        {"opencv_bayer8", [&] { cv::cvtColor(bayer8, bgr8, kOpenCvBgr); }, pixels},
        {"opencv_bayer8_bgra", [&] { cv::cvtColor(bayer8, bgra8, kOpenCvBgra); }, pixels},
        {"memcpy24", [&] {
             std::memcpy(copyTo.data(), copyFrom.data(), copyFrom.size());
             g_sink = copyTo[size_t(copyTo.size() / 2)];
         }, pixels},
    };
    std::vector<Case> group16 = {
        {"demosaic16to48", [&] { Demosaic(*rgb48, *raw16, &bayer); }, pixels},
        {"demosaic16to64", [&] { Demosaic(*rgb64, *raw16, &bayer); }, pixels},
        {"opencv_bayer16", [&] { cv::cvtColor(bayer16, bgr16, kOpenCvBgr); }, pixels},
        {"opencv_bayer16_bgra", [&] { cv::cvtColor(bayer16, bgra16, kOpenCvBgra); }, pixels},
        {"memcpy48", [&] {
             std::memcpy(copyTo48.data(), copyFrom48.data(), copyFrom48.size());
             g_sink = copyTo48[size_t(copyTo48.size() / 2)];
         }, pixels},
    };
    if (avx2) {  // the same kernels with AVX2 switched off through the CPU check
        group8.push_back({"demosaic8to24_sse2", [&] { DemosaicCapped(CpuVectorLevel::Sse2, *sse24, *raw8, &bayer); }, pixels});
        group16.push_back({"demosaic16to48_sse2", [&] { DemosaicCapped(CpuVectorLevel::Sse2, *sse48, *raw16, &bayer); }, pixels});
    }
    MeasureGroup(runs, group8);
    MeasureGroup(runs, group16);

    // The repack works in place on a packed frame; refilling it is part of every run.
    auto packed8 = MakeImage(kWidth + 3, kHeight, 8);  // 1363 columns: rows need padding
    std::vector<uint8_t> packedFrame(size_t(kWidth + 3) * kHeight);
    for (size_t i = 0; i < packedFrame.size(); ++i) packedFrame[i] = uint8_t(i * 13 + (i >> 11));
    auto gray8 = MakeImage(kWidth, kHeight, 8), gray8From16 = MakeImage(kWidth, kHeight, 8);
    auto from32 = MakeImage(kWidth, kHeight, 24), from48 = MakeImage(kWidth, kHeight, 24);
    auto from64 = MakeImage(kWidth, kHeight, 24), preview24 = MakeImage(800, 600, 24);
    auto pixelKernel = [](CDibImage& dst, PixelKernel kernel, CDibImage& src) {
        return [&dst, kernel, &src] { RunPixelKernel(dst, kernel, src, nullptr, 0, 0, nullptr, nullptr); };
    };
    MeasureGroup(runs, {
        {"ColourToGray8", pixelKernel(*gray8, ColourToGray8, *rgb24), pixels},
        {"RepackRows8+refill", [&] {
             std::memcpy(packed8->bits, packedFrame.data(), packedFrame.size());
             RunPixelKernel(*packed8, RepackRows8, *packed8, nullptr, 0, 0, nullptr, nullptr);
         }, pixels},
        {"Gray16To8", pixelKernel(*gray8From16, Gray16To8, *raw16), pixels},
        {"Rgb32To24", pixelKernel(*from32, Rgb32To24, *rgb32), pixels},
        {"Rgb48To24", pixelKernel(*from48, Rgb48To24, *rgb48), pixels},
        {"Rgb48To24(from64)", pixelKernel(*from64, Rgb48To24, *rgb64), pixels},
        {"ScaleNearest24to800x600", [&] {
             RunScaleKernel(*preview24, ScaleNearest24, *rgb24, nullptr, nullptr, nullptr, nullptr);
         }, 800.0 * 600.0},
    });

    // ---- A stream of distinct frames: every call reads and writes memory the caches do not hold.
    MeasureStream<uint8_t>(runs, 8, 24, CV_8UC3, 100, "demosaic8to24_stream", "opencv_bayer8_stream", bayer, pixels);
    MeasureStream<uint16_t>(runs, 16, 48, CV_16UC3, 200, "demosaic16to48_stream", "opencv_bayer16_stream", bayer,
                            pixels);

    // ---- Every timed result, checked after the timing.
    Check("demosaic8to24", DemosaicProblem(*rgb24, *raw8, bayer));
    Check("demosaic8to32", DemosaicProblem(*rgb32, *raw8, bayer));
    Check("demosaic16to48", DemosaicProblem(*rgb48, *raw16, bayer));
    Check("demosaic16to64", DemosaicProblem(*rgb64, *raw16, bayer));
    if (avx2) {
        Check("demosaic8to24_sse2", DemosaicProblem(*sse24, *raw8, bayer));
        Check("demosaic16to48_sse2", DemosaicProblem(*sse48, *raw16, bayer));
    }
    Check("opencv_bayer8", OpenCvProblem<uint8_t, 3>(bgr8, *raw8));
    Check("opencv_bayer8_bgra", OpenCvProblem<uint8_t, 4>(bgra8, *raw8));
    Check("opencv_bayer16", OpenCvProblem<uint16_t, 3>(bgr16, *raw16));
    Check("opencv_bayer16_bgra", OpenCvProblem<uint16_t, 4>(bgra16, *raw16));
    Check("memcpy24", copyTo == copyFrom ? "" : "copy differs");
    Check("memcpy48", copyTo48 == copyFrom48 ? "" : "copy differs");
    const CDibImage &c24 = *rgb24, &c32 = *rgb32, &c48 = *rgb48, &c64 = *rgb64, &r16 = *raw16;
    Check("ColourToGray8", ConversionProblem(*gray8, 1, [&](int x, int y, int) {
              return (30 * Sample(c24, x, y, 2) + 59 * Sample(c24, x, y, 1) + 11 * Sample(c24, x, y, 0)) / 100;
          }));
    Check("RepackRows8+refill", ConversionProblem(*packed8, 1, [&](int x, int y, int) {
              return int(packedFrame[size_t(y) * (kWidth + 3) + x]);
          }));
    Check("Gray16To8", ConversionProblem(*gray8From16, 1, [&](int x, int y, int) { return (Sample(r16, x, y, 0) >> 2) & 255; }));
    Check("Rgb32To24", ConversionProblem(*from32, 3, [&](int x, int y, int k) { return Sample(c32, x, y, k); }));
    Check("Rgb48To24", ConversionProblem(*from48, 3, [&](int x, int y, int k) { return (Sample(c48, x, y, k) >> 2) & 255; }));
    Check("Rgb48To24(from64)", ConversionProblem(*from64, 3, [&](int x, int y, int k) { return (Sample(c64, x, y, k) >> 2) & 255; }));
    const float fx = float(kWidth) / 800.0f, fy = float(kHeight) / 600.0f;
    Check("ScaleNearest24to800x600", ConversionProblem(*preview24, 3, [&](int x, int y, int k) {
              const int sx = std::min(int(float(x) * fx), kWidth - 1), sy = std::min(int(float(y) * fy), kHeight - 1);
              return Sample(c24, sx, kHeight - 1 - sy, k);
          }));

    Ratio("demosaic8to24", "opencv_bayer8");
    Ratio("demosaic8to32", "opencv_bayer8_bgra");
    Ratio("demosaic16to48", "opencv_bayer16");
    Ratio("demosaic16to64", "opencv_bayer16_bgra");
    Ratio("demosaic8to24_stream", "opencv_bayer8_stream");
    Ratio("demosaic16to48_stream", "opencv_bayer16_stream");
    if (avx2) {
        Ratio("demosaic8to24", "demosaic8to24_sse2");
        Ratio("demosaic16to48", "demosaic16to48_sse2");
    }
    Ratio("demosaic8to24", "memcpy24");
    Ratio("demosaic16to48", "memcpy48");
    if (g_failedChecks != 0) {
        std::printf("%d checks FAILED\n", g_failedChecks);
        return 1;
    }
    return 0;
}
