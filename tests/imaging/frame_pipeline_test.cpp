// The frame pipeline end to end on synthetic frames, with a fake device and a fake listener: the
// order of the steps, the phase rule, the one-shot requests, the automatic exposure and gain, the
// faults it must survive, and the fused variants against the plain kernel-by-kernel path.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "imaging/cpu_features.h"
#include "imaging/demosaic_kernels.h"
#include "imaging/filter_kernels.h"
#include "imaging/frame_pipeline.h"
#include "imaging/pipeline_rows.h"
#include "imaging/pixel_runner.h"
#include "imaging/strip_pool.h"
#include "settings/analog_device.h"
#include "settings/analog_settings.h"
#include "settings/filter_settings.h"

namespace {

class FakeDevice : public quorin::AnalogDevice {
public:
    int SetGain(uint16_t value) override { gain = value, ++gainSets; return 1; }
    int GetGain() const override { return gain; }
    int SetShutter(uint16_t value) override { shutter = value, ++shutterSets; return 1; }
    int GetShutter() const override { return shutter; }
    int SetMirrorV(int) override { return 1; }
    int SetMirrorH(int) override { return 1; }
    int GetMirrorV() const override { return 0; }
    int GetMirrorH() const override { return 0; }
    int GainMin() const override { return gainMin; }
    int GainMax() const override { return gainMax; }
    int GainDefault() const override { return 512; }
    int ShutterMin() const override { return shutterMin; }
    int ShutterMax() const override { return shutterMax; }
    int ShutterDefault() const override { return 64; }
    int gain = 512, shutter = 64, gainSets = 0, shutterSets = 0;
    int gainMin = 0, gainMax = 1023, shutterMin = 8, shutterMax = 1074;
};

class FakeListener : public FramePipelineListener {
public:
    void FilterDialogRefresh() override { ++refreshes; }
    void AnalogDialogValue(int control, int value) override { shown.push_back({control, value}); }
    int refreshes = 0;
    std::vector<std::pair<int, int>> shown;
};

// The camera's images for one colour type, allocated as acquisition would.
struct Frame {
    CDibImage image8, image16, image24, image32, image48, image64, work;
    FrameBuffers set;
    int type;
    Frame(int w, int h, int colourType) : type(colourType) {
        const bool wide = type == 1 || type == 4 || type == 5;
        if (!wide || type == 1) image8.Create(w, h, 8);
        if (wide) image16.Create(w, h, 16);
        if (type != 1 && type != 3) image24.Create(w, h, 24);
        if (type == 3) image32.Create(w, h, 32);
        if (type == 4) image48.Create(w, h, 48);
        if (type == 5) image64.Create(w, h, 64);
        work.CreateLike(&Result());
        set = {&image8, &image16, &image24, &image32, &image48, &image64, &work};
    }
    CDibImage& Raw() { return (type == 1 || type == 4 || type == 5) ? image16 : image8; }
    CDibImage& Result() {
        CDibImage* r[6] = {&image8, &image16, &image24, &image32, &image48, &image64};
        return *r[type];
    }
    void FillRaw(uint32_t seed) {
        std::mt19937 rng(seed);
        CDibImage& raw = Raw();
        for (int y = 0; y < raw.height; ++y)
            for (int x = 0; x < raw.width; ++x) {
                uint8_t* p = raw.bits + y * raw.stride + x * (raw.bitCount / 8);
                if (raw.bitCount == 8) {
                    p[0] = uint8_t(rng());
                } else {
                    const uint16_t v = uint16_t(rng() % 1024);
                    std::memcpy(p, &v, 2);
                }
            }
    }
    void FillRaw(int value) {
        CDibImage& raw = Raw();
        for (int y = 0; y < raw.height; ++y)
            for (int x = 0; x < raw.width; ++x) {
                uint8_t* p = raw.bits + y * raw.stride + x * (raw.bitCount / 8);
                if (raw.bitCount == 8) p[0] = uint8_t(value);
                else p[0] = uint8_t(value), p[1] = uint8_t(value >> 8);
            }
    }
};

std::vector<uint8_t> Pixels(const CDibImage& image) {
    return std::vector<uint8_t>(image.bits, image.bits + size_t(image.stride) * image.height);
}

// Only the samples the kernels write: the fourth sample of 32/64-bit pixels is left out.
std::vector<uint8_t> Samples(const CDibImage& image) {
    const int bpp = image.bitCount / 8, used = bpp == 4 ? 3 : bpp == 8 ? 6 : bpp;
    std::vector<uint8_t> out;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.bits + y * image.stride + x * bpp;
            out.insert(out.end(), p, p + used);
        }
    return out;
}

struct Camera {
    quorin::FilterSettings filters;
    quorin::AnalogSettings analog;
    FakeDevice device;
    FakeListener listener;
    Camera() {
        quorin::SetImageFilterDefaults(filters);
        quorin::SetGrayFilterDefaults(filters);
        filters.bayerMode = 0;
    }
};

void RunKernel(CDibImage& dst, PixelKernel kernel, CDibImage& src, void* params) {
    KernelParamSlot slot = params;
    RunPixelKernel(dst, kernel, src, nullptr, 0, 0, &slot, nullptr);
}

// The demosaic of the raw frame into a fresh image like the result.
void Demosaic(Frame& frame, CDibImage& out, int phase, int redGain = 100, int blueGain = 100) {
    out.CreateLike(&frame.Result());
    BayerParams bayer = {phase, redGain, 100, blueGain};
    const bool wide = frame.Raw().bitCount == 16;
    RunKernel(out, wide ? Demosaic16Inner : Demosaic8Inner, frame.Raw(), &bayer);
    RunKernel(out, wide ? Demosaic16Border : Demosaic8Border, frame.Raw(), &bayer);
}

std::vector<PipelineVariant> Variants() {
    std::vector<PipelineVariant> v = {PipelineVariant::Kernels, PipelineVariant::Scalar, PipelineVariant::Sse2};
    if (CpuHasAvx2()) v.push_back(PipelineVariant::Avx2);
    if (CpuHasAvx512()) v.push_back(PipelineVariant::Avx512);
    return v;
}

TEST(FramePipeline, MirrorsTheRawFrame) {
    struct Case {
        int h, v;
        uint8_t rows[2][4];
    } cases[] = {
        {0, 0, {{1, 2, 3, 4}, {5, 6, 7, 8}}},
        {1, 0, {{4, 3, 2, 1}, {8, 7, 6, 5}}},
        {1, 1, {{8, 7, 6, 5}, {4, 3, 2, 1}}},
        {0, 1, {{5, 6, 7, 8}, {1, 2, 3, 4}}},
    };
    for (const Case& c : cases) {
        for (int wide = 0; wide < 2; ++wide) {
            Camera cam;
            cam.analog.mirrorH = c.h;
            cam.analog.mirrorV = c.v;
            Frame frame(4, 2, wide ? 1 : 0);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 4; ++x) {
                    uint8_t* p = frame.Raw().bits + y * frame.Raw().stride + x * (wide + 1);
                    p[0] = uint8_t(4 * y + x + 1);
                    if (wide) p[1] = 3;  // high byte travels with its sample
                }
            FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
            pipeline.Run(frame.set, frame.type);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 4; ++x) {
                    const uint8_t* p = frame.Raw().bits + y * frame.Raw().stride + x * (wide + 1);
                    EXPECT_EQ(p[0], c.rows[y][x]) << "h " << c.h << " v " << c.v << " wide " << wide;
                    if (wide) {
                        EXPECT_EQ(p[1], 3);
                    }
                }
        }
    }
}

// A pipeline whose temporary mirror image cannot be made.
class NoMirrorMemory : public FramePipeline {
public:
    using FramePipeline::FramePipeline;
    int CreateMirrorImage(CDibImage&, const CDibImage&) override { return 0; }
};

TEST(FramePipeline, FailedMirrorImageLeavesTheFrameUnmirrored) {
    Camera cam;
    cam.analog.mirrorH = 1;
    Frame frame(6, 4, 0);
    frame.FillRaw(7u);
    const std::vector<uint8_t> before = Pixels(frame.Raw());
    NoMirrorMemory pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
    pipeline.Run(frame.set, 0);
    EXPECT_EQ(Pixels(frame.Raw()), before);
}

TEST(FramePipeline, PhaseTogglesWithTheMirrors) {
    struct Case { int mode, v, h, phase; } cases[] = {
        {0, 0, 0, 0}, {0, 1, 0, 1}, {0, 0, 1, 2}, {0, 1, 1, 3},
        {1, 1, 0, 0}, {2, 0, 1, 0}, {3, 1, 1, 0}, {1, 0, 1, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FramePipeline::EffectivePhase(c.mode, c.v, c.h), c.phase) << c.mode << c.v << c.h;

    // The demosaic sees the phase of the mirrored frame.
    Camera cam;
    cam.analog.mirrorV = 1;
    cam.filters.bayerMode = 2;
    Frame frame(9, 7, 2), copy(9, 7, 2);
    frame.FillRaw(11u);
    FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
    pipeline.Run(frame.set, 2);
    copy.FillRaw(11u);
    CDibImage flipped;  // the vertical mirror by hand
    flipped.Create(9, 7, 8);
    for (int y = 0; y < 7; ++y)
        std::memcpy(flipped.bits + y * flipped.stride, copy.image8.bits + (6 - y) * copy.image8.stride, 9);
    std::memcpy(copy.image8.bits, flipped.bits, size_t(flipped.stride) * 7);
    CDibImage expected;
    Demosaic(copy, expected, 3);
    EXPECT_EQ(Samples(frame.image24), Samples(expected));
}

TEST(FramePipeline, NeutralColourFrameIsTheDemosaicAlone) {
    for (int type : {2, 3, 4, 5}) {
        Camera cam;
        Frame frame(37, 21, type);
        frame.FillRaw(uint32_t(type));
        CDibImage expected;
        Demosaic(frame, expected, 0);
        FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
        pipeline.Run(frame.set, type);
        EXPECT_EQ(Samples(frame.Result()), Samples(expected)) << "type " << type;
    }
}

// One filter switched on: the result is the demosaic followed by that filter's kernel, in every
// variant (the fused rows must reproduce the kernels).
TEST(FramePipeline, EachFilterAloneIsItsKernel) {
    struct Case {
        const char* name;
        void (*set)(quorin::FilterSettings&);
        PixelKernel rgb8, rgb16;
        int value;
    } cases[] = {
        {"hue", [](quorin::FilterSettings& f) { f.hue = 60; }, HueSatRgb8, HueSatRgb16, 60},
        {"saturation", [](quorin::FilterSettings& f) { f.saturation = -120; }, HueSatRgb8, HueSatRgb16, -120},
        {"gamma", [](quorin::FilterSettings& f) { f.gamma = 150; }, GammaRgb8, GammaRgb16, 150},
        {"contrast", [](quorin::FilterSettings& f) { f.contrast = 40; }, ContrastRgb8, ContrastRgb16, 40},
        {"sharpness", [](quorin::FilterSettings& f) { f.sharpness = 10; }, SharpenRgb8, SharpenRgb16, 10},
        {"brightness", [](quorin::FilterSettings& f) { f.brightness = 70; }, BrightnessRgb8, BrightnessRgb16, 70},
    };
    for (const Case& c : cases)
        for (int type : {2, 3, 4})
            for (PipelineVariant variant : Variants()) {
                Camera cam;
                c.set(cam.filters);
                Frame frame(45, 19, type);
                frame.FillRaw(uint32_t(type * 7 + 1));
                CDibImage expected, copy;
                Demosaic(frame, expected, 0);
                const bool wide = type >= 4;
                if (std::string(c.name) == "hue" || std::string(c.name) == "saturation") {
                    HueSatParams p = {cam.filters.hue, 0, cam.filters.saturation, 10};
                    RunKernel(expected, wide ? c.rgb16 : c.rgb8, expected, &p);
                } else if (std::string(c.name) == "sharpness") {
                    copy.CreateLike(&expected);
                    std::memcpy(copy.bits, expected.bits, size_t(expected.stride) * expected.height);
                    FilterParams p = {c.value, 10};
                    RunKernel(expected, wide ? c.rgb16 : c.rgb8, copy, &p);
                } else {
                    FilterParams p = {c.value, 10};
                    RunKernel(expected, wide ? c.rgb16 : c.rgb8, expected, &p);
                }
                FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
                pipeline.SetVariant(variant);
                pipeline.Run(frame.set, type);
                EXPECT_EQ(Samples(frame.Result()), Samples(expected))
                    << c.name << " type " << type << " " << FramePipeline::VariantName(variant);
            }
}

// Every filter on, odd and even sizes, random frames: each variant gives the kernels' pixels.
// Holds the library's strip pool across a table of pipelines, as a camera holds it, so its threads
// start once and not with every pipeline of the table.
struct PoolHold {
    PoolHold() { StripPool::Shared().Acquire(); }
    ~PoolHold() { StripPool::Shared().Release(); }
};

TEST(FramePipeline, FusedVariantsMatchTheKernelPathBitForBit) {
    const PoolHold hold;
    struct Setting { int hue, sat, gamma, contrast, sharp, bright; } settings[] = {
        {60, 100, 150, 30, 10, 40},   {-120, -255, 50, -50, 30, -100}, {360, 255, 0, 127, 1, 255},
        {-7, 13, 200, -127, 0, -255}, {0, 0, 100, 0, 5, 0},            {179, -30, 100, 0, 0, 1},
    };
    const int sizes[][2] = {{1, 1}, {4, 3}, {5, 5}, {17, 9}, {64, 33}, {301, 40}};
    for (const Setting& s : settings)
        for (const auto& size : sizes)
            for (int type : {2, 3, 4, 5}) {
                std::vector<uint8_t> reference;
                for (PipelineVariant variant : Variants()) {
                    Camera cam;
                    cam.filters.hue = s.hue, cam.filters.saturation = s.sat, cam.filters.gamma = s.gamma;
                    cam.filters.contrast = s.contrast, cam.filters.sharpness = s.sharp;
                    cam.filters.brightness = s.bright;
                    Frame frame(size[0], size[1], type);
                    frame.FillRaw(uint32_t(size[0] * 131 + s.hue));
                    FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
                    pipeline.SetVariant(variant);
                    pipeline.Run(frame.set, type);
                    if (variant == PipelineVariant::Kernels)
                        reference = Samples(frame.Result());
                    else
                        EXPECT_EQ(Samples(frame.Result()), reference)
                            << FramePipeline::VariantName(variant) << " hue " << s.hue << " size "
                            << size[0] << "x" << size[1] << " type " << type;
                }
            }
}

// The strips of one fused variant, against the kernel path: every strip count puts its seams on
// other rows (the frame's border rows, next to them, one-row strips), with every Bayer phase and
// white balance on. False (and nothing compared) when the processor lacks the variant.
void ExpectStripsMatchKernels(PipelineVariant variant) {
    const struct Setting { int hue, sat, sharp, bright; } settings[] = {{40, 60, 10, 60}, {-100, -30, 0, -20}};
    const int sizes[][2] = {{7, 13}, {33, 17}, {301, 40}};
    const PoolHold hold;
    for (const Setting& s : settings)
        for (const auto& size : sizes)
            for (int phase = 0; phase < 4; ++phase)
                for (int type : {2, 3, 4, 5}) {
                    std::vector<uint8_t> reference;
                    for (int strips : {0, 1, 2, 3, 5, 7, 13}) {
                        Camera cam;
                        cam.filters.bayerMode = phase, cam.filters.bayerGainAuto = 1;
                        cam.filters.hue = s.hue, cam.filters.saturation = s.sat, cam.filters.gamma = 130;
                        cam.filters.contrast = 20, cam.filters.sharpness = s.sharp, cam.filters.brightness = s.bright;
                        Frame frame(size[0], size[1], type);
                        frame.FillRaw(uint32_t(size[0] * 7 + phase));
                        FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
                        pipeline.SetVariant(strips == 0 ? PipelineVariant::Kernels : variant);
                        pipeline.SetStrips(strips);
                        pipeline.Run(frame.set, type);
                        if (strips == 0)
                            reference = Samples(frame.Result());
                        else
                            EXPECT_EQ(Samples(frame.Result()), reference)
                                << FramePipeline::VariantName(variant) << " strips " << strips << " size " << size[0]
                                << "x" << size[1] << " phase " << phase << " type " << type << " hue " << s.hue;
                    }
                }
}

TEST(FramePipelineStrips, ScalarStripsMatchTheKernelPath) { ExpectStripsMatchKernels(PipelineVariant::Scalar); }
TEST(FramePipelineStrips, Sse2StripsMatchTheKernelPath) { ExpectStripsMatchKernels(PipelineVariant::Sse2); }
TEST(FramePipelineStrips, Avx2StripsMatchTheKernelPath) {
    if (!CpuHasAvx2()) GTEST_SKIP() << "the processor has no AVX2";
    ExpectStripsMatchKernels(PipelineVariant::Avx2);
}
TEST(FramePipelineStrips, Avx512StripsMatchTheKernelPath) {
    if (!CpuHasAvx512()) GTEST_SKIP() << "the processor has no AVX-512 (F, BW, VL, VBMI)";
    ExpectStripsMatchKernels(PipelineVariant::Avx512);
}

// Two callers share the pool: every task of each call has run, once, when the call returns.
TEST(StripPool, EveryTaskOfEachCallerRunsOnceBeforeItsCallReturns) {
    StripPool& pool = StripPool::Shared();
    pool.Acquire();
    struct Call {
        std::vector<int> runs = std::vector<int>(37, 0);
        static void Task(void* context, int index) { ++static_cast<Call*>(context)->runs[size_t(index)]; }
    };
    bool ok[2] = {true, true};
    std::thread callers[2];
    for (int c = 0; c < 2; ++c)
        callers[c] = std::thread([&pool, &ok, c] {
            for (int round = 0; round < 200; ++round) {
                Call call;
                pool.Run(int(call.runs.size()), Call::Task, &call);
                for (int n : call.runs) ok[c] = ok[c] && n == 1;
            }
        });
    for (std::thread& t : callers) t.join();
    pool.Release();
    EXPECT_TRUE(ok[0]);
    EXPECT_TRUE(ok[1]);
    EXPECT_GE(pool.Threads(), 1);
}

// Every 24-bit colour through the fused hexcone rows of each variant (and the AVX-512 16-bit row)
// equals HueSatRgb8.
TEST(FramePipeline, FusedHexconeRowsMatchTheKernelOnEveryColour) {
    const int side = 4096;  // 4096 x 4096 pixels hold each colour once
    CDibImage expected;
    ASSERT_TRUE(expected.Create(side, side, 24));
    std::vector<uint8_t> row(size_t(side) * 3);
    const struct { int hue, saturation; } settings[] = {{60, 100}, {-200, -255}, {359, 255}};
    typedef void (*Row)(const ToneRowJob*);
    std::vector<std::pair<const char*, Row>> rows = {{"scalar", ToneRow8Scalar}, {"SSE2", ToneRow8Sse2}};
    if (CpuHasAvx2()) rows.push_back({"AVX2", ToneRow8Avx2});
    if (CpuHasAvx512()) rows.push_back({"AVX-512", ToneRow8Avx512});
    for (const auto& s : settings) {
        for (int i = 0; i < side * side; ++i) {
            uint8_t* p = expected.bits + size_t(i) * 3;
            p[0] = uint8_t(i), p[1] = uint8_t(i >> 8), p[2] = uint8_t(i >> 16);
        }
        HueSatParams params = {s.hue, 0, s.saturation, 10};
        RunKernel(expected, HueSatRgb8, expected, &params);
        ToneRowJob job = {};
        job.width = side;
        job.srcBytesPerPixel = job.dstBytesPerPixel = 3;
        job.hueSat = 1;
        HexconeHueShift(s.hue, &job.hueSector, &job.hueRemainder);
        job.satScale = s.saturation + 256;
        job.inverse = HexconeInverseTable();
        for (const auto& variant : rows) {
            int mismatches = 0;
            for (int y = 0; y < side && mismatches == 0; ++y) {
                for (int x = 0; x < side; ++x) {
                    const int i = y * side + x;
                    row[3 * x] = uint8_t(i), row[3 * x + 1] = uint8_t(i >> 8), row[3 * x + 2] = uint8_t(i >> 16);
                }
                job.src = job.dst = row.data();
                variant.second(&job);
                mismatches += std::memcmp(row.data(), expected.bits + size_t(y) * expected.stride, row.size()) != 0;
            }
            EXPECT_EQ(mismatches, 0) << variant.first << " hue " << s.hue << " saturation " << s.saturation;
        }
        // The 16-bit row: 10-bit samples (the colour's bytes << 2, low bits set) come back as the
        // kernel's bytes << 2.
        if (!CpuHasAvx512()) continue;
        std::vector<uint16_t> wide(size_t(side) * 3);
        uint16_t back[256];
        for (int b = 0; b < 256; ++b) back[b] = uint16_t(b << 2);
        ToneRowJob wideJob = job;
        wideJob.srcBytesPerPixel = wideJob.dstBytesPerPixel = 6;
        int mismatches = 0;
        for (int y = 0; y < side && mismatches == 0; ++y) {
            for (int x = 0; x < side; ++x) {
                const int i = y * side + x;
                for (int c = 0; c < 3; ++c) wide[3 * x + c] = uint16_t((((i >> (8 * c)) & 0xFF) << 2) | ((x + c) & 3));
            }
            wideJob.src = wideJob.dst = reinterpret_cast<uint8_t*>(wide.data());
            ToneRow16Avx512(&wideJob, back);
            const uint8_t* e = expected.bits + size_t(y) * expected.stride;
            for (int k = 0; k < side * 3; ++k) mismatches += wide[size_t(k)] != uint16_t(e[k] << 2);
        }
        EXPECT_EQ(mismatches, 0) << "AVX-512 16-bit row hue " << s.hue << " saturation " << s.saturation;
    }
}

TEST(FramePipeline, WhiteBalanceOnceClearsItsRequestAfterOneFrame) {
    Camera cam;
    cam.filters.bayerGainAuto = 1;
    cam.filters.WhiteBalanceOnce[0] = 1;
    cam.filters.WhiteBalanceOnce[1] = 1;
    Frame frame(16, 12, 2);
    // Blue sites 50, red sites 200, greens 100 (phase 0: G B / R G).
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            frame.image8.bits[y * frame.image8.stride + x] = (y & 1) == (x & 1) ? 100 : (y & 1) ? 200 : 50;
    FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
    pipeline.Run(frame.set, 2);
    EXPECT_EQ(cam.filters.bayerGainBlue.load(), 200);
    EXPECT_EQ(cam.filters.bayerGainRed.load(), 50);
    EXPECT_EQ(cam.filters.bayerGainAuto.load(), 0);
    EXPECT_EQ(cam.filters.WhiteBalanceOnce[0].load(), 0);
    EXPECT_EQ(cam.filters.WhiteBalanceOnce[1].load(), 0);
    EXPECT_EQ(cam.listener.refreshes, 1);
    // The next frame uses the stored gains and measures nothing.
    frame.FillRaw(100);
    pipeline.Run(frame.set, 2);
    EXPECT_EQ(cam.filters.bayerGainBlue.load(), 200);
    EXPECT_EQ(cam.listener.refreshes, 1);
}

TEST(FramePipeline, WhiteBalanceOnABlackFrameKeepsThePreviousGains) {
    for (int type : {2, 4}) {
        Camera cam;
        cam.filters.bayerGainAuto = 1;
        cam.filters.bayerGainRed = 150;
        cam.filters.bayerGainBlue = 80;
        Frame frame(10, 8, type);
        frame.FillRaw(0);
        FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
        pipeline.Run(frame.set, type);
        EXPECT_EQ(cam.filters.bayerGainRed.load(), 150) << type;
        EXPECT_EQ(cam.filters.bayerGainBlue.load(), 80) << type;
    }
}

// Gray mode 1: G1 sites 100, R sites at a quarter of that, the others 100 (phase 0).
void FillGrayClasses(Frame& frame) {
    CDibImage& raw = frame.Raw();
    for (int y = 0; y < raw.height; ++y)
        for (int x = 0; x < raw.width; ++x) {
            const int v = ((y & 1) == 0 && (x & 1) == 1) ? 25 : 100;  // R at rowFlag 0, colFlag 1
            uint8_t* p = raw.bits + y * raw.stride + x * (raw.bitCount / 8);
            p[0] = uint8_t(v);
            if (raw.bitCount == 16) p[1] = 0;
        }
}

TEST(FramePipeline, GrayGainCountOneMeasuresOnceAndMinusOneEveryFrame) {
    struct Case { int count, frames, measured, countAfter; } cases[] = {{1, 3, 1, 0}, {-1, 3, 3, -4}, {0, 2, 0, 0}};
    for (const Case& c : cases)
        for (int type : {0, 1}) {
            Camera cam;
            cam.filters.grayMode = 1;
            cam.filters.GrayGainAutoCount = c.count;
            Frame frame(8, 6, type);
            FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
            for (int i = 0; i < c.frames; ++i) {
                FillGrayClasses(frame);
                pipeline.Run(frame.set, type);
            }
            EXPECT_EQ(cam.listener.refreshes, c.measured) << c.count << " type " << type;
            EXPECT_EQ(cam.filters.GrayGainAutoCount.load(), c.countAfter);
            // A class at a quarter of the brightest would need 512: stored at the API's 255.
            EXPECT_EQ(cam.filters.grayGainR.load(), c.measured ? 255 : 128);
            EXPECT_EQ(cam.filters.grayGainG1.load(), 128);
            // The frame uses the stored gain: 25 * 255 / 128 = 49.
            EXPECT_EQ(frame.Raw().bits[frame.Raw().bitCount / 8], c.measured ? 49 : 25);
        }
}

TEST(FramePipeline, GrayModeTwoOfASixteenBitFrameIsGrayModeZero) {
    Camera cam;
    cam.filters.grayMode = 2;
    cam.filters.bayerGainAuto = 1;
    Frame frame(12, 10, 1);
    frame.FillRaw(5u);
    for (int y = 0; y < 10; ++y)  // a stale 8-bit picture that must not be measured
        std::memset(frame.image8.bits + y * frame.image8.stride, (y & 1) ? 200 : 10, 12);
    const std::vector<uint8_t> before = Pixels(frame.image16);
    FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
    pipeline.Run(frame.set, 1);
    EXPECT_EQ(Pixels(frame.image16), before);
    EXPECT_EQ(cam.filters.bayerGainRed.load(), 100);
    EXPECT_EQ(cam.filters.bayerGainBlue.load(), 100);
    EXPECT_EQ(cam.filters.bayerGainAuto.load(), 1);
    EXPECT_EQ(cam.listener.refreshes, 0);
}

// A pipeline that cannot get memory for its tables.
class NoTableMemory : public FramePipeline {
public:
    using FramePipeline::FramePipeline;
    void* AllocateTable(size_t) override { return nullptr; }
};

TEST(FramePipeline, SixteenBitTableThatCannotBeAllocatedSkipsTheFilter) {
    Camera cam;
    cam.filters.gamma = 150;
    Frame frame(20, 12, 4);
    frame.FillRaw(9u);
    CDibImage expected;
    Demosaic(frame, expected, 0);
    NoTableMemory pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
    pipeline.Run(frame.set, 4);
    EXPECT_EQ(Samples(frame.image48), Samples(expected));
}

TEST(FramePipeline, AutoIrisFactorsAndResults) {
    struct Case {
        int mode, level, gain, shutter, gainMax, shutterMin;
        int wantGain, wantShutter, control;  // control 0: nothing changes
    } cases[] = {
        {1, 220, 512, 74, 1023, 8, 512, 825, FramePipeline::kExposureControl},
        {1, 130, 512, 74, 1023, 8, 512, 74, 0},
        {2, 90, 40, 64, 1023, 8, 50, 64, FramePipeline::kGainControl},
        {2, 90, 2, 64, 1023, 8, 5, 64, FramePipeline::kGainControl},
        {2, 90, 1000, 64, 1023, 8, 1023, 64, FramePipeline::kGainControl},  // device maximum
        {1, 90, 512, 1070, 1023, 8, 512, 1069, FramePipeline::kExposureControl},  // 4 rows * 1.25 -> 5
        {1, 220, 512, 1074, 1023, 8, 512, 1073, FramePipeline::kExposureControl},  // no rows: 1073
        {1, 220, 512, 1000, 1023, 1060, 512, 1060, FramePipeline::kExposureControl},  // device minimum
    };
    const int all220[5] = {220, 220, 220, 220, 220};
    EXPECT_LT(FramePipeline::AutoIrisFactor(all220), 0.25);
    const int all90[5] = {90, 90, 90, 90, 90};
    EXPECT_GT(FramePipeline::AutoIrisFactor(all90), 1.25);
    for (const Case& c : cases)
        for (int type : {0, 4}) {
            Camera cam;
            cam.analog.autoIris = c.mode;
            cam.device.gain = c.gain, cam.device.shutter = c.shutter;
            cam.device.gainMax = c.gainMax, cam.device.shutterMin = c.shutterMin;
            cam.analog.globalGain = c.gain, cam.analog.exposure = c.shutter;
            Frame frame(40, 30, type);
            frame.FillRaw(type == 4 ? c.level * 4 + 3 : c.level);
            FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
            pipeline.Run(frame.set, type);
            const std::string what = "mode " + std::to_string(c.mode) + " level " + std::to_string(c.level) +
                                     " type " + std::to_string(type);
            EXPECT_EQ(cam.device.gain, c.wantGain) << what;
            EXPECT_EQ(cam.device.shutter, c.wantShutter) << what;
            EXPECT_EQ(cam.analog.globalGain.load(), c.wantGain) << what;
            EXPECT_EQ(cam.analog.exposure.load(), c.wantShutter) << what;
            if (c.control == 0) {
                EXPECT_TRUE(cam.listener.shown.empty()) << what;
                EXPECT_EQ(cam.device.gainSets + cam.device.shutterSets, 0) << what;
            } else {
                ASSERT_EQ(cam.listener.shown.size(), 1u) << what;
                EXPECT_EQ(cam.listener.shown[0].first, c.control) << what;
                EXPECT_EQ(cam.listener.shown[0].second, c.mode == 2 ? c.wantGain : c.wantShutter);
                if (c.mode == 2) {
                    EXPECT_EQ(cam.analog.colorGainB.load(), c.wantGain);
                }
            }
        }
}

// Two cameras with different saturation at the same moment: each gets its own result.
TEST(FramePipeline, TwoCamerasOnTwoThreadsGetTheirOwnResults) {
    const int saturations[2] = {-200, 180};
    std::vector<uint8_t> single[2];
    for (int i = 0; i < 2; ++i) {
        Camera cam;
        cam.filters.saturation = saturations[i];
        cam.filters.hue = 30;
        Frame frame(96, 64, 2);
        frame.FillRaw(77u);
        FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
        pipeline.SetVariant(PipelineVariant::Kernels);
        pipeline.Run(frame.set, 2);
        single[i] = Samples(frame.image24);
    }
    for (PipelineVariant variant : {PipelineVariant::Kernels, FramePipeline::BestVariant()}) {
        bool same[2] = {true, true};
        std::thread threads[2];
        for (int i = 0; i < 2; ++i)
            threads[i] = std::thread([&, i] {
                Camera cam;
                cam.filters.saturation = saturations[i];
                cam.filters.hue = 30;
                Frame frame(96, 64, 2);
                FramePipeline pipeline(cam.filters, cam.analog, &cam.device, &cam.listener);
                pipeline.SetVariant(variant);
                for (int n = 0; n < 40 && same[i]; ++n) {
                    frame.FillRaw(77u);
                    pipeline.Run(frame.set, 2);
                    same[i] = Samples(frame.image24) == single[i];
                }
            });
        for (std::thread& t : threads) t.join();
        EXPECT_TRUE(same[0]) << FramePipeline::VariantName(variant);
        EXPECT_TRUE(same[1]) << FramePipeline::VariantName(variant);
    }
}

}  // namespace
