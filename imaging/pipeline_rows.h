// Row routines of the pipeline's fused path for 8-bit colour frames: one pass that applies the
// hue/saturation hexcone and a per-sample table (gamma, contrast, and brightness when nothing
// follows), and one that sharpens a row from four rows of the copy and applies the brightness.
// Sharpening sums each row of the copy once (HorizontalSums8) and adds four such rows per output
// row. They reproduce HueSatRgb8, GammaRgb8, ContrastRgb8, SharpenRgb8 and BrightnessRgb8 exactly.
//
// Plain declarations only: the AVX2 variants live in a translation unit built for AVX2, which
// must not share inline code with the others.
#pragma once

#include <stdint.h>

struct ToneRowJob {
    const uint8_t* src;  // first pixel of the row
    uint8_t* dst;        // may equal src; only the first three samples of a pixel are written
    int width;
    int srcBytesPerPixel;  // 3 or 4
    int dstBytesPerPixel;  // 3 or 4
    int hueSat;            // 0: no hexcone step
    int32_t hueSector;     // 0..5
    int32_t hueRemainder;  // 0..254
    int32_t satScale;      // saturation + 256, 1..511
    const uint32_t* inverse;  // 0xFF0000 / c for c = 1..255, entry 0 is 0
    const int32_t* table;     // 256 entries applied to every sample, or null
};

struct SharpenRowJob {
    const uint8_t* row;       // row y of the copy
    const uint16_t* sums[4];  // HorizontalSums8 of the copy's rows y - 2 .. y + 1, in any order
    uint8_t* dst;            // row y of the result
    int width;
    int bytesPerPixel;  // 3 or 4; the fourth byte is left alone
    int amount;         // 0..30
    const int32_t* table;  // brightness per sample, or null
    // When set, table[i] == clamp(trunc((float)i * factor)) for every i, so vector code may
    // compute it instead of looking it up.
    int tableIsFactor;
    float factor;
};

// sums[i] = row[i - 2 * bpp] + row[i - bpp] + row[i] + row[i + bpp] for the interior bytes
// i in [2 * bpp, (width - 2) * bpp): each row's part of the 4 x 4 blocks, made once per row.
void HorizontalSums8Scalar(const uint8_t* row, uint16_t* sums, int width, int bpp);
void HorizontalSums8Sse2(const uint8_t* row, uint16_t* sums, int width, int bpp);
void HorizontalSums8Avx2(const uint8_t* row, uint16_t* sums, int width, int bpp);
void HorizontalSums8Avx512(const uint8_t* row, uint16_t* sums, int width, int bpp);

// 16-bit colour sharpening (samples 0..1023, as every 10-bit result of the pipeline holds): the
// block's columns are x - 2, x, x + 2 and x + 4, the last held to the row's last pixel.
struct Sharpen16RowJob {
    const uint8_t* row;       // row y of the copy
    const uint16_t* sums[4];  // HorizontalSums16 of the copy's rows y - 2 .. y + 1
    uint8_t* dst;             // row y of the result; the fourth sample of a pixel is left alone
    int width;
    int samplesPerPixel;  // 3 or 4
    int amount;           // 0..30
    // Brightness applied to every sample written (1024 entries), or null. When brightIsFactor is
    // set, bright[i] == min(trunc((float)i * factor), 1023) for every i (factor >= 0), so vector
    // code may compute it instead of looking it up.
    const uint16_t* bright;
    int brightIsFactor;
    float factor;
};

// sums[i] for the samples of the interior pixels 2 .. width - 3.
void HorizontalSums16Scalar(const uint8_t* row, uint16_t* sums, int width, int samplesPerPixel);
void HorizontalSums16Avx2(const uint8_t* row, uint16_t* sums, int width, int samplesPerPixel);
// The sums from sample index from (a pixel's first sample) on.
void HorizontalSums16Avx2From(const uint8_t* row, uint16_t* sums, int width, int samplesPerPixel, int from);
void HorizontalSums16Avx512(const uint8_t* row, uint16_t* sums, int width, int samplesPerPixel);
void SharpenRow16Scalar(const Sharpen16RowJob* job);
void SharpenRow16Avx2(const Sharpen16RowJob* job);
void SharpenRow16Avx512(const Sharpen16RowJob* job);
// Interior samples from sample index fromSample on, then the border columns.
void SharpenRow16Finish(const Sharpen16RowJob* job, int fromSample);

// The shift of the hue (degrees) in sextant units: sector 0..5 and remainder 0..254.
void HexconeHueShift(int32_t hue, int32_t* sector, int32_t* remainder);
// 0xFF0000 / c, built once per process.
const uint32_t* HexconeInverseTable(void);

void ToneRow8Scalar(const ToneRowJob* job);
void SharpenRow8Scalar(const SharpenRowJob* job);
// Interior samples from byte fromByte of the row (a pixel's first byte) on, then the border columns.
void SharpenRow8Finish(const SharpenRowJob* job, int fromByte);
void ToneRow8Sse2(const ToneRowJob* job);
void SharpenRow8Sse2(const SharpenRowJob* job);
void ToneRow8Avx2(const ToneRowJob* job);
// AVX-512 F, BW, VL and VBMI; the table's entries must be 0..255.
void ToneRow8Avx512(const ToneRowJob* job);
void SharpenRow8Avx512(const SharpenRowJob* job);
// A row of 16-bit colour samples (0..1023), in place (src == dst, 6 or 8 bytes per pixel,
// hueSat set): the hexcone on the bytes sample >> 2, each resulting byte written back as
// back[byte]; the fourth sample of a pixel is left alone.
void ToneRow16Avx512(const ToneRowJob* job, const uint16_t* back);
void SharpenRow8Avx2(const SharpenRowJob* job);
