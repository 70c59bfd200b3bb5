// Frame-sized timings of the imaging kernels beside OpenCV's bilinear Bayer-to-BGR and a plain
// memcpy of the output size, all single-threaded in one run. Prints ms per frame, Mpixel/s and
// one "RATIO ours/reference value" line per comparison (lower is better).
//   ./run bench [runs]        (default 60 runs per figure, median reported)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/colour_kernels.h"
#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

namespace {

const int kWidth = 1360;
const int kHeight = 1024;

struct Case {
    std::string name;
    std::function<void()> work;
    double pixels;
};

std::map<std::string, double> g_results;
std::map<std::string, std::vector<double>> g_roundTimes;  // per case, in round order
volatile uint8_t g_sink;

void Report(const std::string& name, double ms, double pixels) {
    g_results[name] = ms;
    std::printf("%-28s %8.3f ms/frame %9.1f Mpixel/s\n", name.c_str(), ms, pixels / ms / 1000.0);
}

// Runs the cases round-robin, one call each per round, so that load from other processes falls
// on all of them alike; reports the median of each.
void MeasureGroup(int runs, const std::vector<Case>& cases) {
    std::vector<std::vector<double>> times(cases.size());
    for (const Case& c : cases) c.work();  // warm caches and page in the destinations
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

void FillRandom(CDibImage& image, int maxValue, unsigned seed) {
    std::mt19937 rng(seed);
    const int sampleBytes = image.bitCount == 16 || image.bitCount >= 48 ? 2 : 1;
    for (int r = 0; r < image.height; ++r) {
        uint8_t* row = image.bits + size_t(r) * image.stride;
        for (int i = 0; i < image.width * (image.bitCount / 8); i += sampleBytes) {
            const int v = int(rng() % unsigned(maxValue + 1));
            row[i] = uint8_t(v);
            if (sampleBytes == 2) row[i + 1] = uint8_t(v >> 8);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(50, std::atoi(argv[1])) : 60;
    cv::setNumThreads(1);
    const double pixels = double(kWidth) * kHeight;
    std::printf("imaging kernels on a %d x %d frame, median of %d runs, one thread\n", kWidth,
                kHeight, runs);

    CDibImage raw8, raw16, rgb24, rgb32, rgb48, rgb64, gray8, preview24, packed8;
    raw8.Create(kWidth, kHeight, 8);
    raw16.Create(kWidth, kHeight, 16);
    rgb24.Create(kWidth, kHeight, 24);
    rgb32.Create(kWidth, kHeight, 32);
    rgb48.Create(kWidth, kHeight, 48);
    rgb64.Create(kWidth, kHeight, 64);
    gray8.Create(kWidth, kHeight, 8);
    preview24.Create(800, 600, 24);
    FillRandom(raw8, 255, 1);
    FillRandom(raw16, 1023, 2);

    BayerParams bayer = {1, 130, 100, 170};
    KernelParamSlot slot = &bayer;
    auto demosaic = [&slot](CDibImage& dst, CDibImage& src, PixelKernel inner, PixelKernel border) {
        return [&dst, &src, inner, border, &slot] {
            RunPixelKernel(dst, inner, src, nullptr, 0, 0, &slot, nullptr);
            RunPixelKernel(dst, border, src, nullptr, 0, 0, &slot, nullptr);
        };
    };
    auto pixelKernel = [](CDibImage& dst, PixelKernel kernel, CDibImage& src) {
        return [&dst, kernel, &src] { RunPixelKernel(dst, kernel, src, nullptr, 0, 0, nullptr, nullptr); };
    };

    // References: OpenCV's bilinear Bayer to BGR and a memcpy of the output size.
    cv::Mat bayer8(kHeight, kWidth, CV_8UC1, raw8.bits, size_t(raw8.stride));
    cv::Mat bayer16(kHeight, kWidth, CV_16UC1, raw16.bits, size_t(raw16.stride));
    cv::Mat bgr8(kHeight, kWidth, CV_8UC3), bgr16(kHeight, kWidth, CV_16UC3);
    std::vector<uint8_t> copyFrom(size_t(rgb24.stride) * kHeight, 1), copyTo(copyFrom.size());
    std::vector<uint8_t> copyFrom48(size_t(rgb48.stride) * kHeight, 1), copyTo48(copyFrom48.size());

    MeasureGroup(runs, {
        {"demosaic8to24", demosaic(rgb24, raw8, Demosaic8Inner, Demosaic8Border), pixels},
        {"demosaic8to32", demosaic(rgb32, raw8, Demosaic8Inner, Demosaic8Border), pixels},
        {"opencv_bayer8", [&] { cv::cvtColor(bayer8, bgr8, cv::COLOR_BayerGR2BGR); }, pixels},
        {"memcpy24", [&] {
             std::memcpy(copyTo.data(), copyFrom.data(), copyFrom.size());
             g_sink = copyTo[size_t(copyTo.size() / 2)];
         }, pixels},
    });
    MeasureGroup(runs, {
        {"demosaic16to48", demosaic(rgb48, raw16, Demosaic16Inner, Demosaic16Border), pixels},
        {"demosaic16to64", demosaic(rgb64, raw16, Demosaic16Inner, Demosaic16Border), pixels},
        {"opencv_bayer16", [&] { cv::cvtColor(bayer16, bgr16, cv::COLOR_BayerGR2BGR); }, pixels},
        {"memcpy48", [&] {
             std::memcpy(copyTo48.data(), copyFrom48.data(), copyFrom48.size());
             g_sink = copyTo48[size_t(copyTo48.size() / 2)];
         }, pixels},
    });

    // The repack works in place on a packed frame; refilling it is part of every run.
    packed8.Create(kWidth + 3, kHeight, 8);  // 1363 columns: rows need padding
    std::vector<uint8_t> packedFrame(size_t(kWidth + 3) * kHeight, 7);
    MeasureGroup(runs, {
        {"ColourToGray8", pixelKernel(gray8, ColourToGray8, rgb24), pixels},
        {"RepackRows8+refill", [&] {
             std::memcpy(packed8.bits, packedFrame.data(), packedFrame.size());
             RunPixelKernel(packed8, RepackRows8, packed8, nullptr, 0, 0, nullptr, nullptr);
         }, pixels},
        {"Gray16To8", pixelKernel(gray8, Gray16To8, raw16), pixels},
        {"Rgb32To24", pixelKernel(rgb24, Rgb32To24, rgb32), pixels},
        {"Rgb48To24", pixelKernel(rgb24, Rgb48To24, rgb48), pixels},
        {"Rgb48To24(from64)", pixelKernel(rgb24, Rgb48To24, rgb64), pixels},
        {"ScaleNearest24to800x600", [&] {
             RunScaleKernel(preview24, ScaleNearest24, rgb24, nullptr, nullptr, nullptr, nullptr);
         }, 800.0 * 600.0},
    });

    Ratio("demosaic8to24", "opencv_bayer8");
    Ratio("demosaic8to32", "opencv_bayer8");
    Ratio("demosaic16to48", "opencv_bayer16");
    Ratio("demosaic16to64", "opencv_bayer16");
    Ratio("demosaic8to24", "memcpy24");
    Ratio("demosaic16to48", "memcpy48");
    return 0;
}
