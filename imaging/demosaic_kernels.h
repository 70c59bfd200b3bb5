// Bayer interpolation kernels: 8-bit mosaic to 24/32 bpp colour and 16-bit (10-bit samples)
// mosaic to 48/64 bpp colour. Each output pixel describes the 2 x 2 cell formed by its own and
// the preceding column and memory row: green is the mean of the cell's two greens, red and blue
// are bilinear (weights 9, 3, 3, 1 over 16) from the four nearest sites of that colour, scaled
// by trunc(gain x 1.28) / 128 and clamped to the sample range. Only the first three samples of
// each destination pixel are written.
//
// The demosaic is two calls with the same BayerParams: Inner for pixels at least two away from
// every edge, then Border for the two-pixel frame (it reflects off-image neighbours to the
// same-colour site four pixels further in).
#pragma once

#include <cstdint>

#include "imaging/cpu_features.h"
#include "imaging/demosaic_scalar.h"
#include "imaging/pixel_runner.h"

// Parameter block of the demosaic kernels.
struct BayerParams {
    int32_t phase;      // 0..3: G B/R G, R G/G B, B G/G R, G R/B G at the rectangle's origin
    int32_t redGain;    // percent, 100 = unity
    int32_t greenGain;  // percent; carried, not applied
    int32_t blueGain;   // percent, 100 = unity
};

// Each kernel returns 0 and writes nothing when the parameter slot is empty, the source pixel is
// not one sample of its depth (1 byte for Demosaic8*, 2 for Demosaic16*) or the destination pixel
// is not three or four such samples (3 or 4 bytes, resp. 6 or 8).
int Demosaic8Inner(PIXEL_KERNEL_ARGS);
int Demosaic8Border(PIXEL_KERNEL_ARGS);
int Demosaic16Inner(PIXEL_KERNEL_ARGS);
int Demosaic16Border(PIXEL_KERNEL_ARGS);

// Gain factor applied before the >> 11: trunc(gain x 1.28) in double precision, saturated to
// the 32-bit range.
int32_t BayerGainFactor(int32_t gainPercent);

// The instruction set the Inner kernel uses for these pixel sizes and parameters on this processor
// under the current limit (scalar for calls the kernels refuse; AVX-512 for 8-bit mosaics only).
// The Border kernel runs its rows with the interior's vector rows (AVX2 or AVX-512), its columns
// and everything else with scalar code.
CpuVectorLevel DemosaicInteriorLevel(uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                                     const BayerParams& params);

// The demosaic of a whole frame one memory row at a time, for pipelines that process a row while
// it is in cache: each row gets every pixel as Demosaic*Inner then Demosaic*Border give it.
struct DemosaicFrame {
    DemosaicJob job;       // dst and dstStride unused: each row names its destination
    int sampleBytes;       // 1 or 2
    CpuVectorLevel level;  // of the rows' interiors
    // A wider interior for 8-bit mosaics (pixels 2 .. w - 3 of row y, false when it declines),
    // tried first when level is Avx2; null for none. PrepareDemosaicFrame clears it.
    bool (*row8)(const DemosaicJob& job, int y, int16_t* scratch);
};

// False when the kernels would refuse these images (see the kernels above).
bool PrepareDemosaicFrame(DemosaicFrame* frame, const uint8_t* srcBits, int srcStride, int width, int height,
                          uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, const BayerParams& params);
// Row y (0 <= y < height) to out, the row's first destination pixel; scratch holds
// DemosaicRowScratch(width) int16_t.
void DemosaicFrameRow(const DemosaicFrame& frame, int y, uint8_t* out, int16_t* scratch);
