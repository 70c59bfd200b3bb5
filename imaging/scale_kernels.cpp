// Nearest-neighbour resampling for the preview: single-precision steps, truncated positions,
// source rows read bottom-up.
#include "imaging/scale_kernels.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// trunc(index x step), 0 when negative or beyond the 32-bit range, limited to last.
int32_t NearestIndex(int32_t index, float step, int32_t last) {
    const float position = static_cast<float>(index) * step;
    int32_t value = 0;
    if (position >= 0.0f && position < 2147483648.0f) value = static_cast<int32_t>(position);
    return std::min(value, last);
}

template <int Bpp>
int ScaleNearest(uint8_t* dstBits, const uint8_t* srcBits, const DibRect* dstRect,
                 const DibRect* srcRect, DibSize dstSize, DibSize srcSize,
                 uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int dstStride,
                 int srcStride) {
    if (dstBytesPerPixel != Bpp || srcBytesPerPixel != Bpp) return 0;
    const int32_t dw = dstRect->right - dstRect->left;
    const int32_t dh = dstRect->bottom - dstRect->top;
    if (dw <= 0 || dh <= 0 || srcSize.width <= 0 || srcSize.height <= 0) return 1;
    const float fx = static_cast<float>(srcRect->right - srcRect->left) / static_cast<float>(dw);
    const float fy = static_cast<float>(srcRect->bottom - srcRect->top) / static_cast<float>(dh);

    // Only the part of the destination rectangle inside the destination image is written, and
    // source positions are kept inside the source image.
    const int32_t jBegin = std::max<int32_t>(0, -dstRect->left);
    const int32_t jEnd = std::min<int32_t>(dw, dstSize.width - dstRect->left);
    const int32_t iBegin = std::max<int32_t>(0, -dstRect->top);
    const int32_t iEnd = std::min<int32_t>(dh, dstSize.height - dstRect->top);
    if (jBegin >= jEnd || iBegin >= iEnd) return 1;

    std::vector<int32_t> srcOffsets(size_t(jEnd - jBegin));
    for (int32_t j = jBegin; j < jEnd; ++j)
        srcOffsets[size_t(j - jBegin)] = NearestIndex(j, fx, srcSize.width - 1) * Bpp;

    for (int32_t i = iBegin; i < iEnd; ++i) {
        const int32_t sy = NearestIndex(i, fy, srcSize.height - 1);
        const int32_t srcRow =
            std::min(std::max(srcRect->bottom - 1 - sy, int32_t(0)), srcSize.height - 1);
        const uint8_t* s = srcBits + ptrdiff_t(srcRow) * srcStride;
        uint8_t* d = dstBits + ptrdiff_t(dstRect->top + i) * dstStride +
                     ptrdiff_t(dstRect->left + jBegin) * Bpp;
        const int32_t* offset = srcOffsets.data();
        for (int32_t j = jBegin; j < jEnd; ++j, d += Bpp) std::memcpy(d, s + *offset++, Bpp);
    }
    return 1;
}

}  // namespace

int ScaleNearest8(SCALE_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ScaleNearest<1>(dstBits, srcBits, dstRect, srcRect, dstSize, srcSize, dstBytesPerPixel,
                           srcBytesPerPixel, dstStride, srcStride);
}

int ScaleNearest24(SCALE_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ScaleNearest<3>(dstBits, srcBits, dstRect, srcRect, dstSize, srcSize, dstBytesPerPixel,
                           srcBytesPerPixel, dstStride, srcStride);
}
