// The demosaic's scalar twins and the pieces the vector kernels share with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// Pixels x in [xBegin, xEnd) of an interior row finished in scalar code from the per-column sums a
// vector pass left behind: V holds the red/blue column sums (scaled up by 1 << vShift), M the green
// column sums. out is the destination pixel of xBegin.
template <typename GreenSum>
inline void FinishRow8FromColumnSums(const DemosaicJob& job, const int16_t* V, const GreenSum* M, int vShift,
                                     bool redOnEvenColumns, int xBegin, int xEnd, uint8_t* out) {
    for (int x = xBegin; x < xEnd; ++x, out += job.dstBytesPerPixel) {
        const bool redColumn = ((x & 1) == 0) == redOnEvenColumns;
        const int h1 = (3 * V[x] + V[x - 2]) >> vShift;
        const int h2 = (3 * V[x - 1] + V[x + 1]) >> vShift;
        out[0] = static_cast<uint8_t>(ScaleWeightedSum(redColumn ? h2 : h1, job.blueFactor, 255));
        out[1] = static_cast<uint8_t>((M[x - 1] + M[x]) >> 1);
        out[2] = static_cast<uint8_t>(ScaleWeightedSum(redColumn ? h1 : h2, job.redFactor, 255));
    }
}

inline void FinishRow16FromColumnSums(const DemosaicJob& job, const int16_t* V, const int16_t* M,
                                      bool redOnEvenColumns, int xBegin, int xEnd, uint8_t* out) {
    for (int x = xBegin; x < xEnd; ++x, out += job.dstBytesPerPixel) {
        const bool redColumn = ((x & 1) == 0) == redOnEvenColumns;
        const int h1 = 3 * V[x] + V[x - 2];
        const int h2 = 3 * V[x - 1] + V[x + 1];
        int green = (M[x - 1] + M[x]) >> 1;
        if (green > 1023) green = 1023;
        const uint16_t samples[3] = {uint16_t(ScaleWeightedSum(redColumn ? h2 : h1, job.blueFactor, 1023)),
                                     uint16_t(green),
                                     uint16_t(ScaleWeightedSum(redColumn ? h1 : h2, job.redFactor, 1023))};
        std::memcpy(out, samples, sizeof(samples));
    }
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
