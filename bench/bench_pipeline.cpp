// Frame-sized timings of the filter kernels and of the whole frame pipeline, beside an OpenCV
// chain doing the equivalent work, all single-threaded in one run. Prints ms per frame and one
// "RATIO ours/reference value" line per comparison (lower is better). Every timed result is
// checked: each kernel against a call on an untouched copy, the pipeline's fused variant against
// its kernel-by-kernel path.
//   ./run bench [runs]        (default 60 runs per figure, at least 30, median reported)
//   bench_pipeline [runs] [name]   only the kernels and pipeline groups whose name contains name
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/colour_kernels.h"
#include "imaging/cpu_features.h"
#include "imaging/dib_image.h"
#include "imaging/filter_kernels.h"
#include "imaging/frame_pipeline.h"
#include "imaging/pixel_runner.h"
#include "imaging/strip_pool.h"
#include "settings/analog_settings.h"
#include "settings/filter_settings.h"

namespace {

const int kWidth = 1360;
const int kHeight = 1024;

struct Case {
    std::string name;
    std::function<void()> prepare;  // untimed, before every timed call
    std::function<void()> work;
    std::function<void()> after;  // untimed, after every timed call
    Case(std::string n, std::function<void()> p, std::function<void()> w, std::function<void()> a = nullptr)
        : name(std::move(n)), prepare(std::move(p)), work(std::move(w)), after(std::move(a)) {}
};

std::map<std::string, std::vector<double>> g_roundTimes;
int g_failures = 0;
std::string g_only;  // run only the cases whose name contains this (empty: all)

bool Wanted(const std::string& name) { return g_only.empty() || name.find(g_only) != std::string::npos; }

double Median(std::vector<double> t) {
    std::nth_element(t.begin(), t.begin() + t.size() / 2, t.end());
    return t[t.size() / 2];
}

// Round-robin, one call of each case per round, so load from other processes falls on all alike.
void MeasureGroup(int runs, const std::vector<Case>& cases) {
    std::vector<std::vector<double>> times(cases.size());
    for (const Case& c : cases) {
        if (c.prepare) c.prepare();
        c.work();
        if (c.after) c.after();
    }
    for (int i = 0; i < runs; ++i)
        for (size_t k = 0; k < cases.size(); ++k) {
            if (cases[k].prepare) cases[k].prepare();
            const auto start = std::chrono::steady_clock::now();
            cases[k].work();
            const auto end = std::chrono::steady_clock::now();
            times[k].push_back(std::chrono::duration<double, std::milli>(end - start).count());
            if (cases[k].after) cases[k].after();
        }
    for (size_t k = 0; k < cases.size(); ++k) {
        g_roundTimes[cases[k].name] = times[k];
        const double ms = Median(times[k]);
        std::printf("%-30s %8.3f ms/frame %9.1f Mpixel/s\n", cases[k].name.c_str(), ms,
                    double(kWidth) * kHeight / ms / 1000.0);
    }
}

void Ratio(const std::string& ours, const std::string& reference) {
    const std::vector<double>& a = g_roundTimes[ours];
    const std::vector<double>& b = g_roundTimes[reference];
    std::vector<double> ratios;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) ratios.push_back(a[i] / b[i]);
    if (ratios.empty()) return;
    std::printf("RATIO %s/%s %.2f\n", ours.c_str(), reference.c_str(), Median(ratios));
}

void Check(bool ok, const std::string& what) {
    if (!ok) {
        ++g_failures;
        std::printf("CHECK FAILED %s\n", what.c_str());
    }
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

// A smooth mosaic (a scene more than noise) so hue, saturation and sharpening meet real colours.
void FillScene(CDibImage& mosaic, int maxValue, unsigned seed) {
    std::mt19937 rng(seed);
    const int sampleBytes = mosaic.bitCount / 8;
    for (int y = 0; y < mosaic.height; ++y)
        for (int x = 0; x < mosaic.width; ++x) {
            const double base = 0.5 + 0.35 * std::sin(x * 0.013 + (x & 1) * 1.7) * std::cos(y * 0.011 + (y & 1) * 0.9);
            int v = int(base * maxValue) + int(rng() % 9) - 4;
            v = v < 0 ? 0 : v > maxValue ? maxValue : v;
            uint8_t* p = mosaic.bits + size_t(y) * mosaic.stride + size_t(x) * sampleBytes;
            p[0] = uint8_t(v);
            if (sampleBytes == 2) p[1] = uint8_t(v >> 8);
        }
}

bool SameBlock(const CDibImage& a, const CDibImage& b) {
    return a.stride == b.stride && a.height == b.height &&
           std::memcmp(a.bits, b.bits, size_t(a.stride) * a.height) == 0;
}

// One in-place (or copy-reading) kernel timed on a frame restored before every call.
struct KernelBench {
    std::string name;
    PixelKernel kernel;
    uint16_t bitCount;
    int maxValue;
    void* params;
    bool readsCopy;  // sharpening: the source is a copy
};

void BenchKernels(int runs) {
    static FilterParams brightness = {60, 10}, contrast = {40, 10}, gamma = {150, 10}, sharpen = {10, 10};
    static HueSatParams hueSat = {40, 0, 60, 10};
    static GrayParams gray = {0, 150, 128, 128, 110, 5, 0, 0, -5, 8};
    static GrayParams gray16 = {0, 150, 128, 128, 110, 5, 0, 0, -5, 10};
    static WbMeasure wb = {0, 0, 0, 0};
    const KernelBench kernels[] = {
        {"Brightness8", Brightness8, 8, 255, &brightness, false},
        {"Contrast8", Contrast8, 8, 255, &contrast, false},
        {"Gamma8", Gamma8, 8, 255, &gamma, false},
        {"Sharpen8", Sharpen8, 8, 255, &sharpen, true},
        {"ApplyGrayGains8", ApplyGrayGains8, 8, 255, &gray, false},
        {"MeasureWb8", MeasureWb8, 8, 255, &wb, false},
        {"BrightnessRgb8", BrightnessRgb8, 24, 255, &brightness, false},
        {"ContrastRgb8", ContrastRgb8, 24, 255, &contrast, false},
        {"GammaRgb8", GammaRgb8, 24, 255, &gamma, false},
        {"HueSatRgb8", HueSatRgb8, 24, 255, &hueSat, false},
        {"SharpenRgb8", SharpenRgb8, 24, 255, &sharpen, true},
        {"Brightness16", Brightness16, 16, 1023, &brightness, false},
        {"ApplyGrayGains16", ApplyGrayGains16, 16, 1023, &gray16, false},
        {"MeasureWb16", MeasureWb16, 16, 1023, &wb, false},
        {"BrightnessRgb16", BrightnessRgb16, 48, 1023, &brightness, false},
        {"ContrastRgb16", ContrastRgb16, 48, 1023, &contrast, false},
        {"GammaRgb16", GammaRgb16, 48, 1023, &gamma, false},
        {"HueSatRgb16", HueSatRgb16, 48, 1023, &hueSat, false},
        {"SharpenRgb16", SharpenRgb16, 48, 1023, &sharpen, true},
    };
    for (const KernelBench& k : kernels) {
        if (!Wanted(k.name)) continue;
        CDibImage input, image, copy, check;
        input.Create(kWidth, kHeight, k.bitCount);
        FillRandom(input, k.maxValue, 5);
        image.CreateLike(&input);
        copy.CreateLike(&input);
        check.CreateLike(&input);
        const size_t bytes = size_t(input.stride) * input.height;
        KernelParamSlot slot = k.params;
        std::memcpy(copy.bits, input.bits, bytes);
        std::memcpy(check.bits, input.bits, bytes);
        RunPixelKernel(check, k.kernel, k.readsCopy ? copy : check, nullptr, 0, 0, &slot, nullptr);
        MeasureGroup(runs, {{k.name, [&] { std::memcpy(image.bits, input.bits, bytes); },
                             [&] { RunPixelKernel(image, k.kernel, k.readsCopy ? copy : image, nullptr, 0, 0, &slot, nullptr); }}});
        Check(SameBlock(image, check), k.name);
    }
}

// The camera's settings with every filter on and white balance measured on every frame.
void SetEveryFilter(quorin::FilterSettings& f) {
    quorin::SetImageFilterDefaults(f);
    quorin::SetGrayFilterDefaults(f);
    f.bayerMode = 0;
    f.hue = 40;
    f.saturation = 60;
    f.gamma = 150;
    f.contrast = 40;
    f.sharpness = 10;
    f.brightness = 60;
    f.bayerGainAuto = 1;
}

struct PipelineRig {
    quorin::FilterSettings filters;
    quorin::AnalogSettings analog;
    CDibImage raw, result, work;
    FrameBuffers buffers;
    int type;
    explicit PipelineRig(int colourType) : type(colourType) {
        SetEveryFilter(filters);
        const bool wide = type >= 4;
        raw.Create(kWidth, kHeight, wide ? 16 : 8);
        FillScene(raw, wide ? 1023 : 255, 3);
        result.Create(kWidth, kHeight, wide ? 48 : 24);
        work.CreateLike(&result);
        if (wide)
            buffers.image16 = &raw, buffers.image48 = &result;
        else
            buffers.image8 = &raw, buffers.image24 = &result;
        buffers.workImage = &work;
    }
};

// OpenCV's nearest equivalents: bilinear Bayer to BGR, HSV round trip with the hue shifted and
// the saturation scaled, gamma and contrast tables, unsharp mask from a 4 x 4 box blur, brightness.
struct OpenCvChain8 {
    cv::Mat mosaic, bgr, hsv, blurred, sharp, out, hsvTable, gammaTable, contrastTable;
    explicit OpenCvChain8(const CDibImage& raw) {
        mosaic = cv::Mat(raw.height, raw.width, CV_8UC1, raw.bits, size_t(raw.stride)).clone();
        hsvTable.create(1, 256, CV_8UC3);
        gammaTable.create(1, 256, CV_8UC1);
        contrastTable.create(1, 256, CV_8UC1);
        for (int i = 0; i < 256; ++i) {
            hsvTable.at<cv::Vec3b>(0, i) = cv::Vec3b(uint8_t(i < 180 ? (i + 20) % 180 : i),
                                                     cv::saturate_cast<uint8_t>(i * 1.23), uint8_t(i));
            gammaTable.at<uint8_t>(0, i) = cv::saturate_cast<uint8_t>(std::pow(i / 255.0, 6.0) * 255);
            contrastTable.at<uint8_t>(0, i) = cv::saturate_cast<uint8_t>((i - 40) * 256.0 / 176.0);
        }
    }
    void Run() {
        cv::cvtColor(mosaic, bgr, cv::COLOR_BayerGB2BGR);
        cv::cvtColor(bgr, hsv, cv::COLOR_BGR2HSV);
        cv::LUT(hsv, hsvTable, hsv);
        cv::cvtColor(hsv, bgr, cv::COLOR_HSV2BGR);
        cv::LUT(bgr, gammaTable, bgr);
        cv::LUT(bgr, contrastTable, bgr);
        cv::blur(bgr, blurred, cv::Size(4, 4));
        cv::addWeighted(bgr, 2.0, blurred, -1.0, 0.0, sharp);
        cv::convertScaleAbs(sharp, out, 3.35);
    }
};

// 16-bit samples: OpenCV's HSV conversion takes 8-bit or float images, so the colour steps run
// in float from the 16-bit Bayer conversion and the result goes back to 16 bits.
struct OpenCvChain16 {
    cv::Mat mosaic, bgr16, bgr, hsv, blurred, sharp, out;
    explicit OpenCvChain16(const CDibImage& raw) {
        mosaic = cv::Mat(raw.height, raw.width, CV_16UC1, raw.bits, size_t(raw.stride)).clone();
    }
    void Run() {
        cv::cvtColor(mosaic, bgr16, cv::COLOR_BayerGB2BGR);
        bgr16.convertTo(bgr, CV_32F, 1.0 / 1023.0);
        cv::cvtColor(bgr, hsv, cv::COLOR_BGR2HSV);
        cv::add(hsv, cv::Scalar(40.0, 0.0, 0.0), hsv);
        cv::multiply(hsv, cv::Scalar(1.0, 1.23, 1.0), hsv);
        cv::cvtColor(hsv, bgr, cv::COLOR_HSV2BGR);
        cv::pow(bgr, 6.0, bgr);
        bgr.convertTo(bgr, -1, 256.0 / 176.0, -40.0 / 176.0);
        cv::blur(bgr, blurred, cv::Size(4, 4));
        cv::addWeighted(bgr, 2.0, blurred, -1.0, 0.0, sharp);
        sharp.convertTo(out, CV_16U, 3.35 * 1023.0);
    }
};

void BenchPipeline(int runs, int type, const std::string& ours, const std::string& reference) {
    if (!Wanted(ours)) return;
    PipelineRig fast(type), plain(type), threaded(type);
    FramePipeline fastPipeline(fast.filters, fast.analog, nullptr, nullptr);
    FramePipeline plainPipeline(plain.filters, plain.analog, nullptr, nullptr);
    FramePipeline threadedPipeline(threaded.filters, threaded.analog, nullptr, nullptr);
    fastPipeline.SetStrips(1);  // one strip: the calling thread alone
    plainPipeline.SetVariant(PipelineVariant::Kernels);
    std::unique_ptr<OpenCvChain8> chain8, chain8mt;
    std::unique_ptr<OpenCvChain16> chain16;
    std::vector<Case> cases = {
        {ours, nullptr, [&] { fastPipeline.Run(fast.buffers, type); }},
        {ours + "_kernels", nullptr, [&] { plainPipeline.Run(plain.buffers, type); }},
        {ours + "_mt", nullptr, [&] { threadedPipeline.Run(threaded.buffers, type); }},
    };
    if (type < 4) {
        chain8.reset(new OpenCvChain8(fast.raw));
        chain8mt.reset(new OpenCvChain8(fast.raw));
        cases.push_back({reference, nullptr, [&] { chain8->Run(); }});
        // OpenCV with its own threads, as many as the machine has.
        cases.push_back({reference + "_mt", [] { cv::setNumThreads(-1); }, [&] { chain8mt->Run(); },
                         [] { cv::setNumThreads(1); }});
    } else {
        chain16.reset(new OpenCvChain16(fast.raw));
        cases.push_back({reference, nullptr, [&] { chain16->Run(); }});
    }
    MeasureGroup(runs, cases);
    Check(SameBlock(fast.result, plain.result), ours + " equals " + ours + "_kernels");
    Check(SameBlock(threaded.result, plain.result), ours + "_mt equals " + ours + "_kernels");
    Check(fast.filters.bayerGainRed.load() == plain.filters.bayerGainRed.load() &&
              threaded.filters.bayerGainRed.load() == plain.filters.bayerGainRed.load() &&
              fast.filters.bayerGainAuto.load() == 1,
          ours + " white balance on every frame");
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(30, std::atoi(argv[1])) : 60;
    if (argc > 2) g_only = argv[2];
    cv::setNumThreads(1);
    std::printf("filter kernels and frame pipeline on a %d x %d frame, median of %d runs, one thread\n",
                kWidth, kHeight, runs);
    std::printf("fused pipeline variant: %s (AVX2 %s); _mt lines: %d strips on the strip pool (%d threads, "
                "QUORIN_PIPELINE_THREADS %s), OpenCV with %d threads\n",
                FramePipeline::VariantName(FramePipeline::BestVariant()), CpuHasAvx2() ? "present" : "absent",
                StripPool::Shared().Threads(), StripPool::Shared().Threads(),
                StripPool::EnvironmentCap() ? std::to_string(StripPool::EnvironmentCap()).c_str() : "unset",
                cv::getNumberOfCPUs());
    BenchKernels(runs);
    std::printf("pipeline: hue 40, saturation 60, gamma 150, contrast 40, sharpness 10, brightness 60, "
                "white balance every frame\n");
    BenchPipeline(runs, 2, "pipeline24", "opencv_chain24");
    BenchPipeline(runs, 4, "pipeline48", "opencv_chain48");
    Ratio("pipeline24", "opencv_chain24");
    Ratio("pipeline48", "opencv_chain48");
    Ratio("pipeline24", "pipeline24_kernels");
    Ratio("pipeline24_mt", "pipeline24");
    Ratio("pipeline48_mt", "pipeline48");
    Ratio("pipeline24_mt", "opencv_chain24_mt");
    if (g_failures) std::printf("%d CHECKS FAILED\n", g_failures);
    return g_failures ? 1 : 0;
}
