// The demosaic's scalar twins and the pieces the vector kernels share with them.
#pragma once

#include <cstddef>
#include <cstdint>

// One demosaic call with everything resolved: src and dst point at the rectangle's first pixel
// and at its destination pixel.
struct DemosaicJob {
    const uint8_t* src;
    int srcStride;
    uint8_t* dst;
    int dstStride;
    int dstBytesPerPixel;
    int width;
    int height;
    bool rowPhase;  // bit 0 of the Bayer phase: row flag of memory row 0
    bool colPhase;  // bit 1 of the Bayer phase: column flag of column 0
    int32_t redFactor;
    int32_t blueFactor;
};

// (weighted sum x factor) >> 11 clamped to 0..maxValue; 64-bit so no gain can overflow it.
inline int32_t ScaleWeightedSum(int32_t sum, int32_t factor, int32_t maxValue) {
    const int64_t scaled = (int64_t(sum) * factor) >> 11;
    return scaled < 0 ? 0 : scaled > maxValue ? maxValue : int32_t(scaled);
}

// Interior pixels x in [xBegin, xEnd) of memory row y (2 <= y <= height - 3).
void DemosaicInnerRow8Scalar(const DemosaicJob& job, int y, int xBegin, int xEnd);
void DemosaicInnerRow16Scalar(const DemosaicJob& job, int y, int xBegin, int xEnd);

// The whole interior, and the two-pixel frame with its off-image neighbours reflected.
void DemosaicInner8Scalar(const DemosaicJob& job);
void DemosaicInner16Scalar(const DemosaicJob& job);
void DemosaicBorder8Scalar(const DemosaicJob& job);
void DemosaicBorder16Scalar(const DemosaicJob& job);
