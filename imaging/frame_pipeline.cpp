#include "imaging/frame_pipeline.h"

#include <cstdlib>
#include <cstring>

#include "imaging/convert_kernels.h"
#include "imaging/cpu_features.h"
#include "imaging/demosaic_kernels.h"
#include "imaging/filter_kernels.h"
#include "imaging/pipeline_rows.h"
#include "imaging/pixel_runner.h"
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

typedef void (*ToneRowFn)(const ToneRowJob*);
typedef void (*SharpenRowFn)(const SharpenRowJob*);
typedef void (*SumsRowFn)(const uint8_t*, uint16_t*, int, int);

}  // namespace

FramePipeline::FramePipeline(quorin::FilterSettings& filters, quorin::AnalogSettings& analog,
                             quorin::AnalogDevice* device, FramePipelineListener* listener)
    : filters_(filters), analog_(analog), device_(device), listener_(listener), variant_(BestVariant()) {}

FramePipeline::~FramePipeline() = default;

// Follows the kernels' level, so a process that caps the kernels caps the fused rows too.
PipelineVariant FramePipeline::BestVariant() {
    switch (CpuKernelLevel()) {
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
        default: return "AVX2";
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
        ColourStep(result, *raw, phase);
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

void FramePipeline::ColourStep(CDibImage* dst, CDibImage& src, int phase) {
    const bool wide = src.bitCount == 16;
    if (filters_.bayerGainAuto.load()) {
        WbMeasure wb = {0, 0, 0, phase};
        const int ran = RunWhole(src, wide ? MeasureWb16 : MeasureWb8, src, &wb);
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
    if (!Usable(dst)) return;
    RunWhole(*dst, wide ? Demosaic16Inner : Demosaic8Inner, src, &bayer);
    RunWhole(*dst, wide ? Demosaic16Border : Demosaic8Border, src, &bayer);
}

void FramePipeline::KernelFilters(CDibImage& result, CDibImage* work, int colourType) {
    if (variant_ != PipelineVariant::Kernels) {
        if ((colourType == 2 || colourType == 3) && FusedColourFilters8(result, work)) return;
        if ((colourType == 4 || colourType == 5) && FusedColourFilters16(result, work)) return;
    }
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

// 8-bit colour: hue/saturation, gamma, contrast and brightness in one pass per row (gamma,
// contrast and brightness fold into one table), or, with sharpening, the tone pass into the copy
// and the sharpened row with the brightness two rows behind it, so the rows stay in cache.
// False (nothing done) for values outside the ranges the fused rows are written for.
bool FramePipeline::FusedColourFilters8(CDibImage& result, CDibImage* work) {
    FusedValues v;
    if (!ReadFusedValues(filters_, result, work, &v)) return false;
    const int hue = v.hue, saturation = v.saturation, gamma = v.gamma, contrast = v.contrast;
    const int sharpness = v.sharpness, brightness = v.brightness;
    const bool hueSat = v.hueSat, sharpen = v.sharpen;
    const int bpp = result.bitCount / 8;
    if (bpp != 3 && bpp != 4) return false;

    PixelKernel toneKernels[3];
    FilterParams toneParams[3];
    int toneCount = 0;
    if (gamma != 100) toneKernels[toneCount] = GammaRgb8, toneParams[toneCount++] = {gamma, 10};
    if (contrast != 0) toneKernels[toneCount] = ContrastRgb8, toneParams[toneCount++] = {contrast, 10};
    if (brightness != 0 && !sharpen) toneKernels[toneCount] = BrightnessRgb8, toneParams[toneCount++] = {brightness, 10};
    int32_t toneTable[256];
    if (toneCount) RampTable8(toneKernels, toneParams, toneCount, toneTable);
    int32_t brightTable[256];
    const bool brightAfterSharpen = sharpen && brightness != 0;
    float factor = 1.0f;
    bool tableIsFactor = false;
    if (brightAfterSharpen) {
        PixelKernel b = BrightnessRgb8;
        FilterParams p = {brightness, 10};
        RampTable8(&b, &p, 1, brightTable);
        tableIsFactor = BrightnessFactor(brightness, brightTable, &factor);
    }
    if (!hueSat && toneCount == 0 && !sharpen) return true;  // every step neutral

    ToneRowFn toneRow = ToneRow8Scalar;
    SharpenRowFn sharpenRow = SharpenRow8Scalar;
    SumsRowFn sumsRow = HorizontalSums8Scalar;
    if (variant_ == PipelineVariant::Sse2)
        toneRow = ToneRow8Sse2, sharpenRow = SharpenRow8Sse2, sumsRow = HorizontalSums8Sse2;
    if (variant_ == PipelineVariant::Avx2)
        toneRow = ToneRow8Avx2, sharpenRow = SharpenRow8Avx2, sumsRow = HorizontalSums8Avx2;

    // Four rows of horizontal sums, one per row of the copy the sharpening window covers.
    const size_t rowSamples = size_t(result.width) * size_t(bpp);
    uint16_t* sums = nullptr;
    if (sharpen) {
        sums = static_cast<uint16_t*>(AllocateTable(4 * rowSamples * sizeof(uint16_t)));
        if (sums == nullptr) return false;  // the kernels need no memory of their own
    }

    ToneRowJob tone = {};
    tone.width = result.width;
    tone.srcBytesPerPixel = tone.dstBytesPerPixel = bpp;
    tone.hueSat = hueSat;
    if (hueSat) {
        HexconeHueShift(hue, &tone.hueSector, &tone.hueRemainder);
        tone.satScale = saturation + 256;
        tone.inverse = HexconeInverseTable();
    }
    tone.table = toneCount ? toneTable : nullptr;
    const bool toneNeeded = hueSat || toneCount != 0;

    SharpenRowJob sharp = {};
    sharp.width = result.width;
    sharp.bytesPerPixel = bpp;
    sharp.amount = sharpness;
    sharp.table = brightAfterSharpen ? brightTable : nullptr;
    sharp.tableIsFactor = tableIsFactor;
    sharp.factor = factor;

    const int h = result.height, stride = result.stride;
    auto resultRow = [&](int y) { return result.bits + size_t(y) * size_t(stride); };
    auto workRow = [&](int y) { return work->bits + size_t(y) * size_t(stride); };
    // Row y of the result from the copy: sharpened in the interior, the copy's samples on the
    // border rows, then the brightness.
    auto sharpenRowAt = [&](int y) {
        if (y >= 2 && y <= h - 3) {
            for (int r = 0; r < 4; ++r) sharp.sums[r] = sums + size_t(r) * rowSamples;
            sharp.row = workRow(y);
            sharp.dst = resultRow(y);
            sharpenRow(&sharp);
            return;
        }
        const uint8_t* s = workRow(y);
        uint8_t* d = resultRow(y);
        for (int x = 0; x < result.width; ++x, s += bpp, d += bpp)
            for (int c = 0; c < 3; ++c) d[c] = uint8_t(sharp.table ? sharp.table[s[c]] : s[c]);
    };
    for (int y = 0; y < h; ++y) {
        if (sharpen) {
            if (toneNeeded) {
                tone.src = resultRow(y);
                tone.dst = workRow(y);
                toneRow(&tone);
            } else {
                std::memcpy(workRow(y), resultRow(y), size_t(stride));
            }
            sumsRow(workRow(y), sums + size_t(y & 3) * rowSamples, result.width, bpp);
            if (y >= 1) sharpenRowAt(y - 1);
        } else {
            tone.src = tone.dst = resultRow(y);
            toneRow(&tone);
        }
    }
    if (sharpen && h > 0) sharpenRowAt(h - 1);
    if (sums) FreeTable(sums);
    return true;
}

namespace {

const int kLevels16 = 1024;  // sample values of 10-bit frames

// Runs the chain of 16-bit colour kernels on one sample value (all three samples alike).
uint16_t ChainOne16(const PixelKernel* kernels, const int* values, int count, uint16_t v) {
    uint16_t pixel[3] = {v, v, v};
    uint8_t* bytes = reinterpret_cast<uint8_t*>(pixel);
    const DibRect rect = {0, 0, 1, 1};
    for (int k = 0; k < count; ++k) {
        FilterParams params = {values[k], 10};
        KernelParamSlot slot = &params;
        kernels[k](bytes, bytes, &rect, 0, 0, 6, 6, 6, 6, &slot, nullptr);
    }
    return pixel[0];
}

// Every 16-bit sample of the frame through table (values above its range through the chain).
void ApplySampleTable16(CDibImage& image, const uint16_t* table, const PixelKernel* kernels,
                        const int* values, int count) {
    const int bpp = image.bitCount / 8;
    for (int y = 0; y < image.height; ++y) {
        uint8_t* p = image.bits + size_t(y) * size_t(image.stride);
        for (int x = 0; x < image.width; ++x, p += bpp)
            for (int c = 0; c < 3; ++c) {
                uint16_t v;
                std::memcpy(&v, p + 2 * c, 2);
                v = v < kLevels16 ? table[v] : ChainOne16(kernels, values, count, v);
                std::memcpy(p + 2 * c, &v, 2);
            }
    }
}

}  // namespace

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
// contrast (and brightness when nothing follows) as one table on the way back; sharpening from the
// copy two rows behind, each copy row summed once; the brightness after it as a table. A table
// that cannot be allocated skips its filters for the frame. False (nothing done) for values
// outside the ranges the fused rows are written for.
bool FramePipeline::FusedColourFilters16(CDibImage& result, CDibImage* work) {
    FusedValues v;
    if (!ReadFusedValues(filters_, result, work, &v)) return false;
    const int hue = v.hue, saturation = v.saturation, gamma = v.gamma, contrast = v.contrast;
    const int sharpness = v.sharpness, brightness = v.brightness;
    const bool hueSat = v.hueSat, sharpen = v.sharpen;
    const int bpp = result.bitCount / 8;
    if (bpp != 6 && bpp != 8) return false;
    const int spp = bpp / 2;

    // Working memory first: without it the kernels do the work (they need none of their own).
    uint8_t* bytes = nullptr;
    uint16_t* sums = nullptr;
    const size_t rowSamples = size_t(result.width) * size_t(spp);
    if (hueSat && (bytes = static_cast<uint8_t*>(AllocateTable(size_t(result.width) * 3 + 1))) == nullptr)
        return false;
    if (sharpen && (sums = static_cast<uint16_t*>(AllocateTable(4 * rowSamples * sizeof(uint16_t)))) == nullptr) {
        if (bytes) FreeTable(bytes);
        return false;
    }

    PixelKernel chain[3];
    int values[3], count = 0;
    if (gamma != 100) chain[count] = GammaRgb16, values[count++] = gamma;
    if (contrast != 0) chain[count] = ContrastRgb16, values[count++] = contrast;
    if (brightness != 0 && !sharpen) chain[count] = BrightnessRgb16, values[count++] = brightness;
    uint16_t* table = count ? SampleTable16(chain, values, count) : nullptr;

    // A byte of the hexcone goes back as byte << 2 through the table.
    uint16_t back[256];
    for (int b = 0; b < 256; ++b) back[b] = table ? table[b << 2] : uint16_t(b << 2);
    ToneRowJob tone = {};
    if (hueSat) {
        tone.src = tone.dst = bytes;
        tone.width = result.width;
        tone.srcBytesPerPixel = tone.dstBytesPerPixel = 3;
        tone.hueSat = 1;
        HexconeHueShift(hue, &tone.hueSector, &tone.hueRemainder);
        tone.satScale = saturation + 256;
        tone.inverse = HexconeInverseTable();
    }
    const bool avx2 = variant_ == PipelineVariant::Avx2;
    ToneRowFn toneRow = avx2 ? ToneRow8Avx2 : variant_ == PipelineVariant::Sse2 ? ToneRow8Sse2 : ToneRow8Scalar;
    void (*sumsRow)(const uint8_t*, uint16_t*, int, int) = avx2 ? HorizontalSums16Avx2 : HorizontalSums16Scalar;
    void (*sharpenRow)(const Sharpen16RowJob*) = avx2 ? SharpenRow16Avx2 : SharpenRow16Scalar;
    Sharpen16RowJob sharp = {};
    sharp.width = result.width;
    sharp.samplesPerPixel = spp;
    sharp.amount = sharpness;

    const int h = result.height;
    auto resultRow = [&](int y) { return result.bits + size_t(y) * size_t(result.stride); };
    for (int y = 0; y < h; ++y) {
        uint8_t* p = resultRow(y);
        if (hueSat) {
            // Samples are taken to bytes by >> 2, a sample above ten bits counting as 255.
            if (spp == 3) {
                for (size_t j = 0; j < rowSamples; ++j) {
                    uint16_t v;
                    std::memcpy(&v, p + 2 * j, 2);
                    bytes[j] = uint8_t((v >> 2) > 255 ? 255 : (v >> 2));
                }
            } else {
                for (int x = 0; x < result.width; ++x)
                    for (int c = 0; c < 3; ++c) {
                        uint16_t v;
                        std::memcpy(&v, p + size_t(x) * bpp + 2 * c, 2);
                        bytes[3 * x + c] = uint8_t((v >> 2) > 255 ? 255 : (v >> 2));
                    }
            }
            toneRow(&tone);
            if (spp == 3) {
                for (size_t j = 0; j < rowSamples; ++j) std::memcpy(p + 2 * j, &back[bytes[j]], 2);
            } else {
                for (int x = 0; x < result.width; ++x)
                    for (int c = 0; c < 3; ++c) std::memcpy(p + size_t(x) * bpp + 2 * c, &back[bytes[3 * x + c]], 2);
            }
        } else if (table) {
            for (int x = 0; x < result.width; ++x)
                for (int c = 0; c < 3; ++c) {
                    uint16_t v;
                    std::memcpy(&v, p + size_t(x) * bpp + 2 * c, 2);
                    v = v < kLevels16 ? table[v] : ChainOne16(chain, values, count, v);
                    std::memcpy(p + size_t(x) * bpp + 2 * c, &v, 2);
                }
        }
        if (!sharpen) continue;
        // The copy of row y, its sums, then the sharpened row y - 1 (border rows keep the copy's
        // samples, which the result row already holds).
        uint8_t* copy = work->bits + size_t(y) * size_t(work->stride);
        std::memcpy(copy, p, size_t(result.stride));
        sumsRow(copy, sums + size_t(y & 3) * rowSamples, result.width, spp);
        const int yy = y - 1;
        if (yy >= 2 && yy <= h - 3) {
            for (int r = 0; r < 4; ++r) sharp.sums[r] = sums + size_t(r) * rowSamples;
            sharp.row = work->bits + size_t(yy) * size_t(work->stride);
            sharp.dst = resultRow(yy);
            sharpenRow(&sharp);
        }
    }
    if (table) FreeTable(table);
    if (bytes) FreeTable(bytes);
    if (sums) FreeTable(sums);

    if (sharpen && brightness != 0) {
        PixelKernel b = BrightnessRgb16;
        uint16_t* bright = SampleTable16(&b, &brightness, 1);
        if (bright) {
            ApplySampleTable16(result, bright, &b, &brightness, 1);
            FreeTable(bright);
        }
    }
    return true;
}
