// The call of a filter kernel resolved to row pointers: first source and destination pixel,
// size, strides and pixel size. Kernels check the pixel sizes they were written for here and
// do nothing with any other, so a wrong pairing cannot run past a row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/pixel_runner.h"
#include "imaging/sample_access.h"

struct FilterBlock {
    const uint8_t* src;  // source pixel (rect.left, rect.top)
    uint8_t* dst;        // destination pixel (dstX, dstRow)
    int width;
    int height;
    ptrdiff_t srcStride;
    ptrdiff_t dstStride;
    int bytesPerPixel;  // same in source and destination

    const uint8_t* SrcRow(int y) const { return src + ptrdiff_t(y) * srcStride; }
    uint8_t* DstRow(int y) const { return dst + ptrdiff_t(y) * dstStride; }
    bool Empty() const { return width <= 0 || height <= 0; }
};

// Fills block when both images are given, both have pixelSizeA or pixelSizeB bytes per pixel
// (pass the same size twice for one) and a rectangle is given; false otherwise. Measurement
// kernels get their image as destination too and write nothing into it.
inline bool ResolveFilterBlock(uint8_t* dstBits, const uint8_t* srcBits, const DibRect* rect,
                               int dstX, int dstRow, uint16_t dstBytesPerPixel,
                               uint16_t srcBytesPerPixel, int dstStride, int srcStride,
                               int pixelSizeA, int pixelSizeB, FilterBlock* block) {
    if (rect == nullptr || srcBits == nullptr || dstBits == nullptr) return false;
    if (srcBytesPerPixel != pixelSizeA && srcBytesPerPixel != pixelSizeB) return false;
    if (dstBytesPerPixel != srcBytesPerPixel) return false;
    block->bytesPerPixel = srcBytesPerPixel;
    block->width = rect->right - rect->left;
    block->height = rect->bottom - rect->top;
    block->srcStride = srcStride;
    block->dstStride = dstStride;
    block->src = srcBits + ptrdiff_t(rect->top) * srcStride + ptrdiff_t(rect->left) * srcBytesPerPixel;
    block->dst = dstBits + ptrdiff_t(dstRow) * dstStride + ptrdiff_t(dstX) * dstBytesPerPixel;
    return true;
}

#define RESOLVE_FILTER_BLOCK(block, sizeA, sizeB)                                               \
    FilterBlock block;                                                                        \
    (void)spare;                                                                              \
    if (!ResolveFilterBlock(dstBits, srcBits, rect, dstX, dstRow, dstBytesPerPixel,           \
                            srcBytesPerPixel, dstStride, srcStride, sizeA, sizeB, &block))    \
        return 0;

// The parameter block behind the slot, or null when there is none.
template <typename Block>
Block* FilterParamBlock(KernelParamSlot* params) {
    return params != nullptr && *params != nullptr ? static_cast<Block*>(*params) : nullptr;
}

// Replaces the first Channels samples of every pixel by map(sample): 8-bit samples, Bpp bytes
// per pixel.
template <int Bpp, int Channels, typename Map>
void MapSamples8(const FilterBlock& block, const Map& map) {
    for (int y = 0; y < block.height; ++y) {
        const uint8_t* s = block.SrcRow(y);
        uint8_t* d = block.DstRow(y);
        for (int x = 0; x < block.width; ++x, s += Bpp, d += Bpp)
            for (int c = 0; c < Channels; ++c) d[c] = map(s[c]);
    }
}

// The same on 16-bit little-endian samples.
template <int Bpp, int Channels, typename Map>
void MapSamples16(const FilterBlock& block, const Map& map) {
    for (int y = 0; y < block.height; ++y) {
        const uint8_t* s = block.SrcRow(y);
        uint8_t* d = block.DstRow(y);
        for (int x = 0; x < block.width; ++x, s += Bpp, d += Bpp)
            for (int c = 0; c < Channels; ++c) StoreSample16(d + 2 * c, map(LoadSample16(s + 2 * c)));
    }
}

// Gray (one sample per pixel) or colour (three of 3 or 4 bytes) 8-bit mapping by pixel size.
template <typename Map>
void MapPixels8(const FilterBlock& block, const Map& map) {
    if (block.bytesPerPixel == 1)
        MapSamples8<1, 1>(block, map);
    else if (block.bytesPerPixel == 3)
        MapSamples8<3, 3>(block, map);
    else
        MapSamples8<4, 3>(block, map);
}

// Gray (2 bytes) or colour (three samples of 6 or 8 bytes) 16-bit mapping by pixel size.
template <typename Map>
void MapPixels16(const FilterBlock& block, const Map& map) {
    if (block.bytesPerPixel == 2)
        MapSamples16<2, 1>(block, map);
    else if (block.bytesPerPixel == 6)
        MapSamples16<6, 3>(block, map);
    else
        MapSamples16<8, 3>(block, map);
}
