// Image filter and measurement kernels: gray-mode gains and offsets and their measurement, the
// white-balance measurement that feeds the demosaic gains, brightness, contrast, gamma, hue and
// saturation, sharpness, and the mean level used by the automatic exposure. All are PixelKernels
// run in place (source and destination the same image) except sharpness, whose source is a copy
// of the image taken just before. Colour kernels touch only the first three samples of a pixel
// (blue, green, red); 16-bit samples hold `bits`-wide values.
//
// Each kernel's parameter block is a run of 32-bit signed integers in the order declared below;
// the kernels reach it through the parameter slot (*params points at the block).
//
// Results: 1 when the kernel ran. 0, with nothing written, when there is no parameter block, when
// the pixel sizes are not the kernel's (8-bit kernels: 1-byte gray or 3/4-byte colour pixels;
// 16-bit kernels: 2-byte gray or 6/8-byte colour pixels; source and destination alike), or when a
// 16-bit table or working row cannot be allocated (the filter is skipped for that call).
#pragma once

#include <cstdint>

#include "imaging/pixel_runner.h"

// Gray-mode gains (1/128, 128 = unity) and offsets (sample units) per mosaic site class.
struct GrayParams {
    int32_t phase;  // Bayer phase of the rectangle's first pixel, 0..3
    int32_t gainR;
    int32_t gainG1;
    int32_t gainG2;
    int32_t gainB;
    int32_t offsetR;
    int32_t offsetG1;
    int32_t offsetG2;
    int32_t offsetB;
    int32_t bits;  // 8 for 8-bit mosaics, 10 for 16-bit ones
};

// White-balance measurement: the kernel writes the three results (percent, green is 100).
struct WbMeasure {
    int32_t blue;
    int32_t green;
    int32_t red;
    int32_t phase;
};

// The white-balance measurement in parts, for a frame measured in strips: the per-class sums of
// memory rows [yBegin, yEnd) of a mosaic (phase counted from its row 0), added into sums; the
// totals of all strips then give exactly MeasureWb8's or MeasureWb16's result.
struct WbSums {
    uint64_t sum[3];    // blue, green, red
    uint64_t count[3];
};
void WbAddRows(const uint8_t* mosaic, ptrdiff_t stride, int width, int yBegin, int yEnd, int sampleBytes,
               int phase, WbSums* sums);
// 0 (wb unchanged) when a class has no samples or no light, else 1 with the results in wb.
int WbFinish(const WbSums& sums, WbMeasure* wb);

// Brightness, contrast, gamma and sharpness.
struct FilterParams {
    int32_t value;
    int32_t bits;  // always 10
};

struct HueSatParams {
    int32_t hue;         // degrees, -360..360
    int32_t lightness;   // always 0
    int32_t saturation;  // -255..255
    int32_t bits;        // always 10
};

// Gray gains and offsets: out = offset + gain * v / 128, limited to the sample range.
int ApplyGrayGains8(PIXEL_KERNEL_ARGS);
int ApplyGrayGains16(PIXEL_KERNEL_ARGS);
// Measures gains that bring every site class to the brightest class's mean (8 or 16 bit by bits),
// counting only samples that are neither 0 nor the top value. The gains are written as measured
// (a class at a quarter of the brightest gets 512); a class without such samples leaves the block
// unchanged.
int MeasureGrayGains(PIXEL_KERNEL_ARGS);

// Writes blue and red (percent of green) and green = 100, and returns 1. When a class has no
// samples or averages zero (a black frame) it writes nothing and returns 0, so the caller keeps the
// gains it had.
int MeasureWb8(PIXEL_KERNEL_ARGS);
int MeasureWb16(PIXEL_KERNEL_ARGS);

int Brightness8(PIXEL_KERNEL_ARGS);
int Brightness16(PIXEL_KERNEL_ARGS);
int BrightnessRgb8(PIXEL_KERNEL_ARGS);
int BrightnessRgb16(PIXEL_KERNEL_ARGS);

int Contrast8(PIXEL_KERNEL_ARGS);
int Contrast16(PIXEL_KERNEL_ARGS);
int ContrastRgb8(PIXEL_KERNEL_ARGS);
int ContrastRgb16(PIXEL_KERNEL_ARGS);

int Gamma8(PIXEL_KERNEL_ARGS);
int Gamma16(PIXEL_KERNEL_ARGS);
int GammaRgb8(PIXEL_KERNEL_ARGS);
int GammaRgb16(PIXEL_KERNEL_ARGS);

int HueSatRgb8(PIXEL_KERNEL_ARGS);
int HueSatRgb16(PIXEL_KERNEL_ARGS);

int Sharpen8(PIXEL_KERNEL_ARGS);
int Sharpen16(PIXEL_KERNEL_ARGS);
int SharpenRgb8(PIXEL_KERNEL_ARGS);
int SharpenRgb16(PIXEL_KERNEL_ARGS);

// Mean of the samples of the rectangle (16-bit: of (sample >> 2) & 0xFF); 0 for an empty one.
// Returned as the kernel's result.
int MeanLevel8(PIXEL_KERNEL_ARGS);
int MeanLevel16(PIXEL_KERNEL_ARGS);
