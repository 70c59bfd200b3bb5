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

// Source rows at offsets -2 .. +1 from memory row y; rows off the image are replaced by the
// same-colour row four further in (stepping back by two on images under five rows).
void DemosaicNeighbourRows(const DemosaicJob& job, int y, const uint8_t* rows[4]);

// Pixels x in [xBegin, xEnd) of memory row y, 2 <= x <= width - 3, reading the given rows.
void DemosaicRow8Scalar(const DemosaicJob& job, const uint8_t* const rows[4], int y, int xBegin, int xEnd);
void DemosaicRow16Scalar(const DemosaicJob& job, const uint8_t* const rows[4], int y, int xBegin, int xEnd);

// The whole interior, and the two-pixel frame with its off-image neighbours reflected.
void DemosaicInner8Scalar(const DemosaicJob& job);
void DemosaicInner16Scalar(const DemosaicJob& job);
void DemosaicBorder8Scalar(const DemosaicJob& job);
void DemosaicBorder16Scalar(const DemosaicJob& job);
// Only columns 0, 1, w - 2 and w - 1 of the frame (for use after vector border rows).
void DemosaicBorderColumns8Scalar(const DemosaicJob& job);
void DemosaicBorderColumns16Scalar(const DemosaicJob& job);
