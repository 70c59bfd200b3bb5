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

// Pixels x in [xBegin, xEnd) of an interior row finished in scalar code from the per-column sums a
// vector pass left behind: V holds the red/blue column sums (scaled up by 1 << vShift), M the green
// samples. out is the destination pixel of xBegin. Out of line on purpose: the vector files call
// these, and an inline copy compiled there with wider instructions could be the one the linker keeps.
void DemosaicFinishRow8(const DemosaicJob& job, const int16_t* V, const uint8_t* M, int vShift,
                        bool redOnEvenColumns, int xBegin, int xEnd, uint8_t* out);
void DemosaicFinishRow8(const DemosaicJob& job, const int16_t* V, const int16_t* M, int vShift,
                        bool redOnEvenColumns, int xBegin, int xEnd, uint8_t* out);
void DemosaicFinishRow16(const DemosaicJob& job, const int16_t* V, const int16_t* M,
                         bool redOnEvenColumns, int xBegin, int xEnd, uint8_t* out);

// int16_t scratch a vector row of the given width needs (two column arrays).
size_t DemosaicRowScratch(int width);

// Whether the vector interiors (SSE2 and AVX2 alike) reproduce the scalar result for the job: the
// destination pixel size of their depth, and gain factors within their 16-bit multiply range.
bool DemosaicVectorAccepts8(const DemosaicJob& job);
bool DemosaicVectorAccepts16(const DemosaicJob& job);

// Source rows at offsets -2 .. +1 from memory row y; rows off the image are replaced by the
// same-colour row four further in (stepping back by two on images under five rows).
void DemosaicNeighbourRows(const DemosaicJob& job, int y, const uint8_t* rows[4]);

// A vector row over pixels 2 .. w - 3 of memory row y, with its two column arrays.
typedef void (*DemosaicVectorRow)(const DemosaicJob& job, const uint8_t* const rows[4], int y, int16_t* V,
                                  int16_t* M);
// Runs row over the interior rows, or over the four frame rows with substituted neighbours (the
// frame's columns are left to the scalar kernel). False, having written nothing, when the column
// arrays cannot be had. The caller clears the upper vector state afterwards where it has one.
bool DemosaicForVectorRows(const DemosaicJob& job, bool frameRows, DemosaicVectorRow row);

// Pixels x in [xBegin, xEnd) of memory row y, 2 <= x <= width - 3, reading the given rows.
void DemosaicRow8Scalar(const DemosaicJob& job, const uint8_t* const rows[4], int y, int xBegin, int xEnd);
void DemosaicRow16Scalar(const DemosaicJob& job, const uint8_t* const rows[4], int y, int xBegin, int xEnd);

// The whole interior, and the two-pixel frame with its off-image neighbours reflected.
void DemosaicInner8Scalar(const DemosaicJob& job);
void DemosaicInner16Scalar(const DemosaicJob& job);
void DemosaicBorder8Scalar(const DemosaicJob& job);
void DemosaicBorder16Scalar(const DemosaicJob& job);
// Pixels 0, 1, w - 2 and w - 1 of memory row y (every pixel when w <= 4), neighbours reflected
// as the Border kernels do; with DemosaicRow*Scalar or a vector row over 2 .. w - 3 the row is
// complete, for pipelines that demosaic one row at a time.
void DemosaicRowEdges8Scalar(const DemosaicJob& job, int y);
void DemosaicRowEdges16Scalar(const DemosaicJob& job, int y);
// Only columns 0, 1, w - 2 and w - 1 of the frame (for use after vector border rows).
void DemosaicBorderColumns8Scalar(const DemosaicJob& job);
void DemosaicBorderColumns16Scalar(const DemosaicJob& job);
