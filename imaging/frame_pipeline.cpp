#include "imaging/frame_pipeline.h"

#include <cstdlib>
#include <cstring>

#include "imaging/colour_strips.h"
#include "imaging/convert_kernels.h"
#include "imaging/cpu_features.h"
#include "imaging/demosaic_avx512.h"
#include "imaging/demosaic_kernels.h"
#include "imaging/filter_kernels.h"
#include "imaging/filter_tables.h"
#include "imaging/pipeline_rows.h"
#include "imaging/pixel_runner.h"
#include "imaging/strip_pool.h"
#include "settings/analog_device.h"
#include "settings/analog_settings.h"
#include "settings/filter_settings.h"

namespace {

const int kExposureRegisterTop = 1074;

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// Runs kernel in place (or from src) over the whole image with params in the slot.
int RunWhole(CDibImage& dst, PixelKernel kernel, const CDibImage& src, void* params) {
    KernelParamSlot slot = params;
    return RunPixelKernel(dst, kernel, src, nullptr, 0, 0, params ? &slot : nullptr, nullptr);
}

bool Usable(const CDibImage* image) { return image != nullptr && image->bits != nullptr && image->width > 0; }

// The kernel set of one sample layout.
struct LayoutKernels {
    PixelKernel hueSat, gamma, contrast, sharpen, brightness;
};

LayoutKernels KernelsFor(int colourType) {
    switch (colourType) {
        case 0: return {nullptr, Gamma8, Contrast8, Sharpen8, Brightness8};
        case 1: return {nullptr, Gamma16, Contrast16, Sharpen16, Brightness16};
        case 2:
        case 3: return {HueSatRgb8, GammaRgb8, ContrastRgb8, SharpenRgb8, BrightnessRgb8};
        default: return {HueSatRgb16, GammaRgb16, ContrastRgb16, SharpenRgb16, BrightnessRgb16};
    }
}

// Per-sample table of a chain of per-sample colour kernels, read off a ramp the kernels process
// themselves, so the table is exactly what the kernels would do to each sample value.
void RampTable8(const PixelKernel* kernels, const FilterParams* params, int count, int32_t table[256]) {
    uint8_t ramp[256 * 3];
    for (int i = 0; i < 256; ++i) ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = uint8_t(i);
    const DibRect rect = {0, 0, 256, 1};
    for (int k = 0; k < count; ++k) {
        KernelParamSlot slot = const_cast<FilterParams*>(&params[k]);
        kernels[k](ramp, ramp, &rect, 0, 0, 3, 3, int(sizeof(ramp)), int(sizeof(ramp)), &slot, nullptr);
    }
    for (int i = 0; i < 256; ++i) table[i] = ramp[3 * i];
}

// The brightness factor as the kernels compute it, when it reproduces their table exactly.
bool BrightnessFactor(int brightness, const int32_t table[256], float* factor) {
    float k = 1.0f;
    if (brightness > 0)
        k = static_cast<float>(1.0 + brightness * 0.0392156862745098);
    else if (brightness < 0)
        k = static_cast<float>(1.0 - -double(brightness) * 0.00392156862745098);
    if (!(k > -1.0e6f && k < 1.0e6f)) return false;
    for (int i = 0; i < 256; ++i) {
        const float v = static_cast<float>(i) * k;
        const int out = v <= 0.0f ? 0 : v >= 255.0f ? 255 : static_cast<int>(v);
        if (out != table[i]) return false;
    }
    *factor = k;
    return true;
}

// The filter values of one frame, each read once, for the fused rows.
struct FusedValues {
    int hue, saturation, gamma, contrast, sharpness, brightness;
    bool hueSat, sharpen;
};

// False for values outside the ranges the fused rows are written for (the kernels take those).
bool ReadFusedValues(const quorin::FilterSettings& filters, const CDibImage& result, const CDibImage* work,
                     FusedValues* v) {
    v->hue = filters.hue.load(), v->saturation = filters.saturation.load();
    v->gamma = filters.gamma.load(), v->contrast = filters.contrast.load();
    v->sharpness = filters.sharpness.load(), v->brightness = filters.brightness.load();
    if (v->hue < -360 || v->hue > 360 || v->saturation < -255 || v->saturation > 255 || v->sharpness < 0 ||
        v->sharpness > 30)
        return false;
    v->hueSat = v->hue != 0 || v->saturation != 0;
    v->sharpen = v->sharpness != 0 && Usable(work) && work->stride == result.stride &&
                 work->height == result.height && work->bitCount == result.bitCount;
    return true;
}


}  // namespace

FramePipeline::FramePipeline(quorin::FilterSettings& filters, quorin::AnalogSettings& analog,
                             quorin::AnalogDevice* device, FramePipelineListener* listener)
    : filters_(filters), analog_(analog), device_(device), listener_(listener), variant_(BestVariant()), strips_(0) {
    StripPool::Shared().Acquire();
}

FramePipeline::~FramePipeline() { StripPool::Shared().Release(); }

// Follows the kernels' level, so a process that caps the kernels caps the fused rows too.
PipelineVariant FramePipeline::BestVariant() {
    switch (CpuKernelLevel()) {
        case CpuVectorLevel::Avx512: return PipelineVariant::Avx512;
        case CpuVectorLevel::Avx2: return PipelineVariant::Avx2;
        case CpuVectorLevel::Sse2: return PipelineVariant::Sse2;
        default: return PipelineVariant::Scalar;
    }
}

void FramePipeline::SetVariant(PipelineVariant variant) {
    const PipelineVariant best = BestVariant();
    if (variant != PipelineVariant::Kernels && static_cast<int>(variant) > static_cast<int>(best))
        variant = best;
    variant_ = variant;
}

const char* FramePipeline::VariantName(PipelineVariant variant) {
    switch (variant) {
        case PipelineVariant::Kernels: return "kernels";
        case PipelineVariant::Scalar: return "scalar";
        case PipelineVariant::Sse2: return "SSE2";
        case PipelineVariant::Avx2: return "AVX2";
        default: return "AVX-512";
    }
}

int FramePipeline::EffectivePhase(int bayerMode, int mirrorV, int mirrorH) {
    int phase = bayerMode & 3;
    if (mirrorV) phase ^= 1;
    if (mirrorH) phase ^= 2;
    return phase;
}

double FramePipeline::AutoIrisFactor(const int means[5]) {
    double d = means[0] > 200 ? 0.85 : means[0] > 160 ? 0.9 : means[0] < 100 ? 1.05 : 1.0;
    for (int i = 1; i < 5; ++i) {
        if (means[i] > 200)
            d -= 0.15;
        else if (means[i] > 160)
            d -= 0.1;
        else if (means[i] < 100)
            d += 0.05;
    }
    return d;
}

int FramePipeline::CreateMirrorImage(CDibImage& temp, const CDibImage& raw) {
    return temp.Create(raw.width, raw.height, raw.bitCount);
}

void* FramePipeline::AllocateTable(size_t bytes) { return std::malloc(bytes); }

void FramePipeline::FreeTable(void* table) { std::free(table); }

void FramePipeline::Run(const FrameBuffers& buffers, int colourType) {
    if (colourType < 0 || colourType > 5) return;
    const bool wideRaw = colourType == 1 || colourType == 4 || colourType == 5;
    CDibImage* raw = wideRaw ? buffers.image16 : buffers.image8;
    CDibImage* const results[6] = {buffers.image8,  buffers.image16, buffers.image24,
                                   buffers.image32, buffers.image48, buffers.image64};
    CDibImage* result = results[colourType];
    if (!Usable(raw)) return;  // no frame for this type

    const int mirrorV = analog_.mirrorV.load(), mirrorH = analog_.mirrorH.load();
    MirrorRaw(*raw, mirrorV, mirrorH);
    const int iris = analog_.autoIris.load();
    if (iris == 1 || iris == 2) AutoIris(*raw, iris);

    const int phase = EffectivePhase(filters_.bayerMode.load(), mirrorV, mirrorH);
    if (colourType <= 1) {
        const int grayMode = filters_.grayMode.load();
        if (grayMode == 1) {
            GrayGains(*raw, colourType, phase);
        } else if (grayMode == 2 && colourType == 0) {
            // Gray mode 2 of a 16-bit frame is gray mode 0: there is no 8-bit frame to convert.
            ColourStep(buffers.image24, *raw, phase);
            if (Usable(buffers.image24)) RunWhole(*buffers.image8, ColourToGray8, *buffers.image24, nullptr);
        }
    } else {
        const BayerParams bayer = WhiteBalance(*raw, phase);
        if (!Usable(result)) return;
        // The fused variants demosaic and filter in strips; values or memory they cannot serve
        // leave the frame to the kernels.
        if (variant_ != PipelineVariant::Kernels) {
            CDibImage* work = buffers.workImage;
            if (colourType <= 3 && FusedColour8(*result, *raw, bayer, work)) return;
            if (colourType >= 4 && FusedColour16(*result, *raw, bayer, work)) return;
        }
        Demosaic(*result, *raw, bayer);
    }
    // A result image not made for the type has nothing to filter.
    if (Usable(result)) KernelFilters(*result, buffers.workImage, colourType);
}

void FramePipeline::MirrorRaw(CDibImage& raw, int mirrorV, int mirrorH) {
    if (!mirrorV && !mirrorH) return;
    if (raw.bitCount != 8 && raw.bitCount != 16) return;
    CDibImage temp;
    if (!CreateMirrorImage(temp, raw) || temp.bits == nullptr || temp.stride != raw.stride ||
        temp.height != raw.height)
        return;  // no memory for the copy: this frame stays unmirrored
    const int h = raw.height, w = raw.width, stride = raw.stride;
    const size_t block = size_t(h) * size_t(stride);
    if (mirrorH) {
        for (int i = 0; i < h; ++i) {
            const uint8_t* src = raw.bits + size_t(i) * stride;
            uint8_t* dst = temp.bits + size_t(mirrorV ? h - 1 - i : i) * stride;
            if (raw.bitCount == 8) {
                for (int x = 0; x < w; ++x) dst[x] = src[w - 1 - x];
            } else {
                for (int x = 0; x < w; ++x) std::memcpy(dst + 2 * x, src + 2 * (w - 1 - x), 2);
            }
        }
        std::memcpy(raw.bits, temp.bits, block);
    } else {
        std::memcpy(temp.bits, raw.bits, block);
        const size_t rowBytes = size_t(w) * (raw.bitCount / 8);
        for (int i = 0; i < h; ++i)
            std::memcpy(raw.bits + size_t(i) * stride, temp.bits + size_t(h - 1 - i) * stride, rowBytes);
    }
}

void FramePipeline::AutoIris(CDibImage& raw, int mode) {
    if (device_ == nullptr) return;
    const double w = raw.width, h = raw.height;
    const double corners[5][4] = {{0.1, 0.1, 0.2, 0.2},
                                  {0.1, 0.8, 0.2, 0.9},
                                  {0.45, 0.45, 0.55, 0.55},
                                  {0.8, 0.1, 0.9, 0.2},
                                  {0.8, 0.8, 0.9, 0.9}};
    PixelKernel mean = raw.bitCount == 16 ? MeanLevel16 : MeanLevel8;
    int means[5];
    for (int i = 0; i < 5; ++i) {
        const DibRect window = {int32_t(corners[i][0] * w), int32_t(corners[i][1] * h),
                                int32_t(corners[i][2] * w), int32_t(corners[i][3] * h)};
        means[i] = RunPixelKernel(raw, mean, raw, &window, window.left, window.top, nullptr, nullptr);
    }
    const double d = AutoIrisFactor(means);
    if (d > 0.6 && d < 1.2) return;

    if (mode == 2) {
        int gain = device_->GetGain();
        if (gain < 4) gain = 4;
        int value = static_cast<int>(gain * d);
        value = Clamp(value, device_->GainMin(), device_->GainMax());
        device_->SetGain(static_cast<uint16_t>(value));
        analog_.globalGain = value;
        analog_.colorGainG1 = value;
        analog_.colorGainR = value;
        analog_.colorGainB = value;
        analog_.colorGainG2 = value;
        if (listener_) listener_->AnalogDialogValue(kGainControl, value);
    } else {
        const int shutter = device_->GetShutter();
        const int rows = (shutter >= 0 && shutter <= kExposureRegisterTop) ? kExposureRegisterTop - shutter : 0;
        const int r = static_cast<int>(rows * d) & 0xFFFF;
        int reg = r == 0 ? kExposureRegisterTop - 1 : r <= kExposureRegisterTop ? kExposureRegisterTop - r : 0;
        reg = Clamp(reg, device_->ShutterMin(), device_->ShutterMax());
        device_->SetShutter(static_cast<uint16_t>(reg));
        analog_.exposure = reg;
        if (listener_) listener_->AnalogDialogValue(kExposureControl, reg);
    }
}

void FramePipeline::GrayGains(CDibImage& raw, int colourType, int phase) {
    GrayParams gray = {phase,
                       filters_.grayGainR.load(),
                       filters_.grayGainG1.load(),
                       filters_.grayGainG2.load(),
                       filters_.grayGainB.load(),
                       filters_.grayOffsetR.load(),
                       filters_.grayOffsetG1.load(),
                       filters_.grayOffsetG2.load(),
                       filters_.grayOffsetB.load(),
                       colourType == 0 ? 8 : 10};
    int count = filters_.GrayGainAutoCount.load();
    if (count != 0) {
        RunWhole(raw, MeasureGrayGains, raw, &gray);
        // Stored gains stay in the range the API accepts; this frame uses what is stored.
        gray.gainR = Clamp(gray.gainR, 0, 255);
        gray.gainG1 = Clamp(gray.gainG1, 0, 255);
        gray.gainG2 = Clamp(gray.gainG2, 0, 255);
        gray.gainB = Clamp(gray.gainB, 0, 255);
        filters_.grayGainR = gray.gainR;
        filters_.grayGainG1 = gray.gainG1;
        filters_.grayGainG2 = gray.gainG2;
        filters_.grayGainB = gray.gainB;
        filters_.grayOffsetR = gray.offsetR;
        filters_.grayOffsetG1 = gray.offsetG1;
        filters_.grayOffsetG2 = gray.offsetG2;
        filters_.grayOffsetB = gray.offsetB;
        if (listener_) listener_->FilterDialogRefresh();
        // A count the dialog changed meanwhile is left as the dialog set it.
        filters_.GrayGainAutoCount.compare_exchange_strong(count, count - 1);
    }
    if (gray.gainR == 128 && gray.gainG1 == 128 && gray.gainG2 == 128 && gray.gainB == 128) return;
    RunWhole(raw, colourType == 0 ? ApplyGrayGains8 : ApplyGrayGains16, raw, &gray);
}

BayerParams FramePipeline::WhiteBalance(CDibImage& src, int phase) {
    const bool wide = src.bitCount == 16;
    if (filters_.bayerGainAuto.load()) {
        WbMeasure wb = {0, 0, 0, phase};
        int ran;
        if (variant_ == PipelineVariant::Kernels) {
            ran = RunWhole(src, wide ? MeasureWb16 : MeasureWb8, src, &wb);
        } else {
            // The class sums of strips add up to the whole frame's, so the result is the kernel's.
            const int sampleBytes = wide ? 2 : 1;
            ran = src.bitCount == 8 * sampleBytes ? MeasureWbInStrips(src, sampleBytes, &wb) : 0;
        }
        // A class without light (zero average) gives no result: the previous gains stay.
        if (ran && wb.green != 0 && wb.red > 0 && wb.blue > 0) {
            filters_.bayerGainRed = wb.red < 400 ? wb.red : 400;
            filters_.bayerGainGreen = 100;
            filters_.bayerGainBlue = wb.blue < 400 ? wb.blue : 400;
        }
        if (listener_) listener_->FilterDialogRefresh();
        if (filters_.bayerGainAuto.load() && filters_.WhiteBalanceOnce[0].load() &&
            filters_.WhiteBalanceOnce[1].load()) {
            filters_.bayerGainAuto = 0;
            filters_.WhiteBalanceOnce[0] = 0;
            filters_.WhiteBalanceOnce[1] = 0;
        }
    }
    BayerParams bayer = {phase, filters_.bayerGainRed.load(), filters_.bayerGainGreen.load(),
                         filters_.bayerGainBlue.load()};
    return bayer;
}

void FramePipeline::ColourStep(CDibImage* dst, CDibImage& src, int phase) {
    BayerParams bayer = WhiteBalance(src, phase);
    if (Usable(dst)) Demosaic(*dst, src, bayer);
}

void FramePipeline::Demosaic(CDibImage& dst, CDibImage& src, BayerParams bayer) {
    const bool wide = src.bitCount == 16;
    RunWhole(dst, wide ? Demosaic16Inner : Demosaic8Inner, src, &bayer);
    RunWhole(dst, wide ? Demosaic16Border : Demosaic8Border, src, &bayer);
}

void FramePipeline::KernelFilters(CDibImage& result, CDibImage* work, int colourType) {
    const LayoutKernels k = KernelsFor(colourType);
    const int hue = filters_.hue.load(), saturation = filters_.saturation.load();
    if (k.hueSat && (hue != 0 || saturation != 0)) {
        HueSatParams params = {hue, 0, saturation, 10};
        RunWhole(result, k.hueSat, result, &params);
    }
    const int gamma = filters_.gamma.load();
    if (gamma != 100) {
        FilterParams params = {gamma, 10};
        RunWhole(result, k.gamma, result, &params);
    }
    const int contrast = filters_.contrast.load();
    if (contrast != 0) {
        FilterParams params = {contrast, 10};
        RunWhole(result, k.contrast, result, &params);
    }
    const int sharpness = filters_.sharpness.load();
    if (sharpness != 0 && Usable(work) && work->stride == result.stride && work->height == result.height) {
        std::memcpy(work->bits, result.bits, size_t(result.stride) * size_t(result.height));
        FilterParams params = {sharpness, 10};
        RunWhole(result, k.sharpen, *work, &params);
    }
    const int brightness = filters_.brightness.load();
    if (brightness != 0) {
        FilterParams params = {brightness, 10};
        RunWhole(result, k.brightness, result, &params);
    }
}

namespace {

// The strips of one frame: rows [i * height / count, (i + 1) * height / count) for strip i.
struct StripRun {
    const ColourStripPlan* plan;
    uint8_t* scratch;
    size_t scratchBytes;
    int count;
};

void ColourStripTask(void* context, int index) {
    const StripRun& run = *static_cast<const StripRun*>(context);
    const int h = run.plan->height;
    const int y0 = StripPool::StripBegin(h, index, run.count), y1 = StripPool::StripBegin(h, index + 1, run.count);
    uint8_t* scratch = run.scratch + run.scratchBytes * size_t(index);
    std::memset(scratch, 0, run.scratchBytes);
    RunColourStrip(*run.plan, y0, y1, scratch);
}

struct WbRun {
    const CDibImage* mosaic;
    int sampleBytes, phase, count;
    WbSums sums[FramePipeline::kMostStrips];
};

void WbStripTask(void* context, int index) {
    WbRun& run = *static_cast<WbRun*>(context);
    const int h = run.mosaic->height;
    const int y0 = StripPool::StripBegin(h, index, run.count), y1 = StripPool::StripBegin(h, index + 1, run.count);
    WbAddRows(run.mosaic->bits, run.mosaic->stride, run.mosaic->width, y0, y1, run.sampleBytes, run.phase,
              &run.sums[index]);
}

const int kLevels16 = 1024;  // sample values of 10-bit frames

}  // namespace

int FramePipeline::StripCount(int height) const {
    int count = strips_ > 0 ? strips_ : StripPool::Shared().Threads();
    if (count > kMostStrips) count = kMostStrips;
    if (count > height) count = height;
    return count < 1 ? 1 : count;
}

void FramePipeline::SetStrips(int strips) { strips_ = strips < 0 ? 0 : strips; }

int FramePipeline::MeasureWbInStrips(const CDibImage& mosaic, int sampleBytes, WbMeasure* wb) {
    WbRun run = {};
    run.mosaic = &mosaic;
    run.sampleBytes = sampleBytes;
    run.phase = wb->phase;
    run.count = StripCount(mosaic.height);
    StripPool::Shared().Run(run.count, WbStripTask, &run);
    WbSums total = {};
    for (int i = 0; i < run.count; ++i)
        for (int c = 0; c < 3; ++c) total.sum[c] += run.sums[i].sum[c], total.count[c] += run.sums[i].count[c];
    return WbFinish(total, wb);
}

bool FramePipeline::RunColourStrips(const ColourStripPlan& plan) {
    StripRun run;
    run.plan = &plan;
    run.count = StripCount(plan.height);
    run.scratchBytes = ColourStripScratchBytes(plan);
    // The working rows stay from frame to frame: taking a heap block of this size and giving it
    // back for every frame cost some frames up to 15 ms under Wine. Without them the kernels do
    // the frame (they need none).
    run.scratch = stripScratch_.Room(run.scratchBytes * size_t(run.count));
    if (run.scratch == nullptr) return false;
    StripPool::Shared().Run(run.count, ColourStripTask, &run);
    return true;
}

// 8-bit colour: gamma, contrast and brightness fold into one table after the hexcone; with
// sharpening the brightness comes after it, as a table or (when it reproduces the table) a factor.
// False (nothing done) for values outside the ranges the fused rows are written for.
bool FramePipeline::FusedColour8(CDibImage& result, const CDibImage& raw, const BayerParams& bayer,
                                 CDibImage* work) {
    FusedValues v;
    if (!ReadFusedValues(filters_, result, work, &v)) return false;
    const int bpp = result.bitCount / 8;
    if ((bpp != 3 && bpp != 4) || raw.bitCount != 8 || raw.width != result.width || raw.height != result.height)
        return false;
    ColourStripPlan plan = {};
    if (!PrepareDemosaicFrame(&plan.demosaic, raw.bits, raw.stride, raw.width, raw.height, uint16_t(bpp), 1, bayer))
        return false;

    PixelKernel toneKernels[3];
    FilterParams toneParams[3];
    int toneCount = 0;
    if (v.gamma != 100) toneKernels[toneCount] = GammaRgb8, toneParams[toneCount++] = {v.gamma, 10};
    if (v.contrast != 0) toneKernels[toneCount] = ContrastRgb8, toneParams[toneCount++] = {v.contrast, 10};
    if (v.brightness != 0 && !v.sharpen)
        toneKernels[toneCount] = BrightnessRgb8, toneParams[toneCount++] = {v.brightness, 10};
    int32_t toneTable[256];
    if (toneCount) RampTable8(toneKernels, toneParams, toneCount, toneTable);
    int32_t brightTable[256];
    const bool brightAfterSharpen = v.sharpen && v.brightness != 0;
    float factor = 1.0f;
    bool tableIsFactor = false;
    if (brightAfterSharpen) {
        PixelKernel b = BrightnessRgb8;
        FilterParams p = {v.brightness, 10};
        RampTable8(&b, &p, 1, brightTable);
        tableIsFactor = BrightnessFactor(v.brightness, brightTable, &factor);
    }

    plan.result = result.bits;
    plan.stride = result.stride;
    plan.width = result.width;
    plan.height = result.height;
    plan.bytesPerPixel = bpp;
    plan.sharpen = v.sharpen;
    plan.toneNeeded = v.hueSat || toneCount != 0;
    plan.tone.srcBytesPerPixel = plan.tone.dstBytesPerPixel = bpp;
    plan.tone.hueSat = v.hueSat;
    if (v.hueSat) {
        HexconeHueShift(v.hue, &plan.tone.hueSector, &plan.tone.hueRemainder);
        plan.tone.satScale = v.saturation + 256;
        plan.tone.inverse = HexconeInverseTable();
    }
    plan.tone.table = toneCount ? toneTable : nullptr;
    plan.sharp.width = result.width;
    plan.sharp.bytesPerPixel = bpp;
    plan.sharp.amount = v.sharpness;
    plan.sharp.table = brightAfterSharpen ? brightTable : nullptr;
    plan.sharp.tableIsFactor = tableIsFactor;
    plan.sharp.factor = factor;
    plan.toneRow = ToneRow8Scalar, plan.sharpenRow = SharpenRow8Scalar, plan.sums8 = HorizontalSums8Scalar;
    if (variant_ == PipelineVariant::Sse2)
        plan.toneRow = ToneRow8Sse2, plan.sharpenRow = SharpenRow8Sse2, plan.sums8 = HorizontalSums8Sse2;
    if (variant_ >= PipelineVariant::Avx2)
        plan.toneRow = ToneRow8Avx2, plan.sharpenRow = SharpenRow8Avx2, plan.sums8 = HorizontalSums8Avx2;
    if (variant_ == PipelineVariant::Avx512) {
        plan.toneRow = ToneRow8Avx512, plan.sharpenRow = SharpenRow8Avx512, plan.sums8 = HorizontalSums8Avx512;
        plan.demosaic.row8 = DemosaicRow8Avx512;
    }
    return RunColourStrips(plan);
}

// The 1024-entry table of a chain of per-sample 16-bit colour kernels, read off a ramp the kernels
// process themselves. Null when there is no memory for it (the caller skips those filters).
uint16_t* FramePipeline::SampleTable16(const PixelKernel* kernels, const int* values, int count) {
    uint16_t* ramp = static_cast<uint16_t*>(AllocateTable(size_t(kLevels16) * 3 * sizeof(uint16_t)));
    if (ramp == nullptr) return nullptr;
    for (int i = 0; i < kLevels16; ++i) ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = uint16_t(i);
    const DibRect rect = {0, 0, kLevels16, 1};
    uint8_t* bytes = reinterpret_cast<uint8_t*>(ramp);
    for (int k = 0; k < count; ++k) {
        FilterParams params = {values[k], 10};
        KernelParamSlot slot = &params;
        kernels[k](bytes, bytes, &rect, 0, 0, 6, 6, kLevels16 * 6, kLevels16 * 6, &slot, nullptr);
    }
    for (int i = 0; i < kLevels16; ++i) ramp[i] = ramp[3 * i];  // compact in place, front to back
    return ramp;
}

// 16-bit colour: the hexcone of the 8-bit rows on each row brought to bytes, with gamma and
// contrast (and brightness when nothing follows) as one table on the way back; the brightness after
// sharpening as a table. A table that cannot be allocated skips its filters for the frame. Every
// sample the demosaic writes is at most 1023, so the tables cover them all. False (nothing done)
// for values outside the ranges the fused rows are written for.
bool FramePipeline::FusedColour16(CDibImage& result, const CDibImage& raw, const BayerParams& bayer,
                                  CDibImage* work) {
    FusedValues v;
    if (!ReadFusedValues(filters_, result, work, &v)) return false;
    const int bpp = result.bitCount / 8;
    if ((bpp != 6 && bpp != 8) || raw.bitCount != 16 || raw.width != result.width || raw.height != result.height)
        return false;
    ColourStripPlan plan = {};
    if (!PrepareDemosaicFrame(&plan.demosaic, raw.bits, raw.stride, raw.width, raw.height, uint16_t(bpp), 2, bayer))
        return false;

    PixelKernel chain[3];
    int values[3], count = 0;
    if (v.gamma != 100) chain[count] = GammaRgb16, values[count++] = v.gamma;
    if (v.contrast != 0) chain[count] = ContrastRgb16, values[count++] = v.contrast;
    if (v.brightness != 0 && !v.sharpen) chain[count] = BrightnessRgb16, values[count++] = v.brightness;
    uint16_t* table = count ? SampleTable16(chain, values, count) : nullptr;
    uint16_t* bright = nullptr;
    if (v.sharpen && v.brightness != 0) {
        PixelKernel b = BrightnessRgb16;
        bright = SampleTable16(&b, &v.brightness, 1);
    }
    // A byte of the hexcone goes back as byte << 2 through the table.
    uint16_t back[256];
    for (int b = 0; b < 256; ++b) back[b] = table ? table[b << 2] : uint16_t(b << 2);

    plan.result = result.bits;
    plan.stride = result.stride;
    plan.width = result.width;
    plan.height = result.height;
    plan.bytesPerPixel = bpp;
    plan.wide = true;
    plan.sharpen = v.sharpen;
    if (v.hueSat) {
        plan.tone.hueSat = 1;
        HexconeHueShift(v.hue, &plan.tone.hueSector, &plan.tone.hueRemainder);
        plan.tone.satScale = v.saturation + 256;
        plan.tone.inverse = HexconeInverseTable();
    }
    plan.back = back;
    plan.table16 = table;
    plan.bright16 = bright;
    plan.sharp16.width = result.width;
    plan.sharp16.samplesPerPixel = bpp / 2;
    plan.sharp16.amount = v.sharpness;
    plan.sharp16.bright = bright;
    if (bright) {
        // The kernel multiplies each sample by the factor; the vector rows may do the same when
        // that gives every entry of the table.
        const float factor = BrightnessFactor(int32_t(v.brightness));
        bool same = factor >= 0.0f;
        for (int i = 0; i < kLevels16 && same; ++i) same = BrightnessSample(i, factor, kLevels16 - 1) == bright[i];
        plan.sharp16.brightIsFactor = same;
        plan.sharp16.factor = factor;
    }
    const bool avx2 = variant_ >= PipelineVariant::Avx2;
    plan.toneRow = avx2 ? ToneRow8Avx2 : variant_ == PipelineVariant::Sse2 ? ToneRow8Sse2 : ToneRow8Scalar;
    if (variant_ == PipelineVariant::Avx512) plan.toneRow = ToneRow8Avx512, plan.toneRow16 = ToneRow16Avx512;
    plan.sums16 = avx2 ? HorizontalSums16Avx2 : HorizontalSums16Scalar;
    plan.sharpenRow16 = avx2 ? SharpenRow16Avx2 : SharpenRow16Scalar;
    if (variant_ == PipelineVariant::Avx512)
        plan.sharpenRow16 = SharpenRow16Avx512, plan.sums16 = HorizontalSums16Avx512;
    const bool ran = RunColourStrips(plan);
    if (table) FreeTable(table);
    if (bright) FreeTable(bright);
    return ran;
}
