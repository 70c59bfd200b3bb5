// Format conversions for preview, recording and still files, plus ColourToGray8 and the in-place
// row repacking of raw frames. Each kernel checks that the runner's pixel sizes are ones it was
// written for and does nothing (result 0) otherwise, so a wrong pairing cannot overrun a row.
#include "imaging/convert_kernels.h"

#include <algorithm>
#include <cstring>

#include "imaging/sample_access.h"

namespace {

// Walks the rectangle row by row, calling op(dstPixel, srcPixel) with fixed pixel sizes so the
// compiler can unroll and vectorise the inner loop. Reversed: destination row i reads source
// memory row rect->bottom - 1 - i.
template <int SrcBpp, int DstBpp, bool Reversed, typename PixelOp>
int ConvertRows(uint8_t* dstBits, const uint8_t* srcBits, const DibRect* rect, int dstX,
                int dstRow, int dstStride, int srcStride, PixelOp op) {
    const int w = rect->right - rect->left;
    const int h = rect->bottom - rect->top;
    for (int i = 0; i < h; ++i) {
        const int srcRow = Reversed ? rect->bottom - 1 - i : rect->top + i;
        const uint8_t* s = srcBits + ptrdiff_t(srcRow) * srcStride + ptrdiff_t(rect->left) * SrcBpp;
        uint8_t* d = dstBits + ptrdiff_t(dstRow + i) * dstStride + ptrdiff_t(dstX) * DstBpp;
        for (int x = 0; x < w; ++x) op(d + x * DstBpp, s + x * SrcBpp);
    }
    return 1;
}

// Dispatches a kernel whose source is 3 or 4 bytes (or 6 or 8) per pixel.
template <int SrcA, int SrcB, int DstBpp, bool Reversed, typename PixelOp>
int ConvertEither(uint8_t* dstBits, const uint8_t* srcBits, const DibRect* rect, int dstX,
                  int dstRow, uint16_t dstBpp, uint16_t srcBpp, int dstStride, int srcStride,
                  PixelOp op) {
    if (dstBpp != DstBpp) return 0;
    if (srcBpp == SrcA)
        return ConvertRows<SrcA, DstBpp, Reversed>(dstBits, srcBits, rect, dstX, dstRow,
                                                   dstStride, srcStride, op);
    if (srcBpp == SrcB)
        return ConvertRows<SrcB, DstBpp, Reversed>(dstBits, srcBits, rect, dstX, dstRow,
                                                   dstStride, srcStride, op);
    return 0;
}

template <int Shift>
struct Gray16ToByte {
    void operator()(uint8_t* d, const uint8_t* s) const {
        d[0] = static_cast<uint8_t>(LoadSample16(s) >> Shift);
    }
};

template <int Shift>
struct Gray16Shift {
    void operator()(uint8_t* d, const uint8_t* s) const {
        StoreSample16(d, static_cast<uint16_t>(LoadSample16(s) << Shift));
    }
};

struct CopyBgr {
    void operator()(uint8_t* d, const uint8_t* s) const {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    }
};

struct SwapBgr {
    void operator()(uint8_t* d, const uint8_t* s) const {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
    }
};

struct Rgb16ToBytes {
    void operator()(uint8_t* d, const uint8_t* s) const {
        d[0] = static_cast<uint8_t>(LoadSample16(s) >> 2);
        d[1] = static_cast<uint8_t>(LoadSample16(s + 2) >> 2);
        d[2] = static_cast<uint8_t>(LoadSample16(s + 4) >> 2);
    }
};

// Shifts three 16-bit samples up, optionally swapping blue and red, optionally adding an opaque
// fourth sample.
template <int Shift, bool Swap, bool Opaque>
struct Rgb16Shift {
    void operator()(uint8_t* d, const uint8_t* s) const {
        const uint16_t s0 = LoadSample16(s), s1 = LoadSample16(s + 2), s2 = LoadSample16(s + 4);
        StoreSample16(d, static_cast<uint16_t>((Swap ? s2 : s0) << Shift));
        StoreSample16(d + 2, static_cast<uint16_t>(s1 << Shift));
        StoreSample16(d + 4, static_cast<uint16_t>((Swap ? s0 : s2) << Shift));
        if (Opaque) StoreSample16(d + 6, 65535);
    }
};

// Spreads a tightly packed frame to the stride, last row first so rows never overwrite packed
// data still to be read (row r lands at r * stride >= r * packed row size).
int RepackRows(uint8_t* bits, const DibRect* rect, int dstX, int dstRow, int dstStride,
               int bytesPerPixel) {
    const int w = rect->right - rect->left;
    const int h = rect->bottom - rect->top;
    if (w <= 0 || h <= 0) return 1;
    const size_t packedRow = size_t(w) * bytesPerPixel;
    if (size_t(dstStride) < packedRow) return 0;  // would overlap the rows still to be read
    for (int r = h - 1; r >= 0; --r) {
        uint8_t* d = bits + ptrdiff_t(dstRow + r) * dstStride + ptrdiff_t(dstX) * bytesPerPixel;
        const uint8_t* s = bits + ptrdiff_t(r) * ptrdiff_t(packedRow);
        std::memmove(d, s, packedRow);
    }
    return 1;
}

}  // namespace

#define CONVERT_ARGS dstBits, srcBits, rect, dstX, dstRow, dstBytesPerPixel, srcBytesPerPixel, \
                     dstStride, srcStride

// A row of gray from 3- or 4-byte colour pixels; source and destination never overlap, which
// lets the compiler vectorise the strided loads.
template <int SrcBpp>
void GrayRow(uint8_t* __restrict d, const uint8_t* __restrict s, int w) {
    for (int x = 0; x < w; ++x, s += SrcBpp)
        d[x] = static_cast<uint8_t>((30u * s[2] + 59u * s[1] + 11u * s[0]) / 100u);
}

int ColourToGray8(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    if (dstBytesPerPixel != 1 || (srcBytesPerPixel != 3 && srcBytesPerPixel != 4)) return 0;
    const int w = rect->right - rect->left;
    for (int r = rect->top; r < rect->bottom; ++r) {
        const uint8_t* s = srcBits + ptrdiff_t(r) * srcStride + ptrdiff_t(rect->left) * srcBytesPerPixel;
        uint8_t* d = dstBits + ptrdiff_t(dstRow + r - rect->top) * dstStride + dstX;
        if (srcBytesPerPixel == 3)
            GrayRow<3>(d, s, w);
        else
            GrayRow<4>(d, s, w);
    }
    return 1;
}

int RepackRows8(PIXEL_KERNEL_ARGS) {
    (void)srcBits, (void)srcBytesPerPixel, (void)srcStride, (void)params, (void)spare;
    if (dstBytesPerPixel != 1) return 0;
    return RepackRows(dstBits, rect, dstX, dstRow, dstStride, 1);
}

int RepackRows16(PIXEL_KERNEL_ARGS) {
    (void)srcBits, (void)srcBytesPerPixel, (void)srcStride, (void)params, (void)spare;
    if (dstBytesPerPixel != 2) return 0;
    return RepackRows(dstBits, rect, dstX, dstRow, dstStride, 2);
}

int Gray16To8(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<2, 2, 1, false>(CONVERT_ARGS, Gray16ToByte<2>());
}

int Gray16To8Rev(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<2, 2, 1, true>(CONVERT_ARGS, Gray16ToByte<2>());
}

int Gray16To8Hi12Rev(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<2, 2, 1, true>(CONVERT_ARGS, Gray16ToByte<4>());
}

int Gray16Shl4(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<2, 2, 2, false>(CONVERT_ARGS, Gray16Shift<4>());
}

int Gray16Shl6(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<2, 2, 2, false>(CONVERT_ARGS, Gray16Shift<6>());
}

int Rgb32To24(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<4, 4, 3, false>(CONVERT_ARGS, CopyBgr());
}

int Rgb24Rev(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<3, 4, 3, true>(CONVERT_ARGS, CopyBgr());
}

int RowCopyRev(PIXEL_KERNEL_ARGS) {
    (void)dstX, (void)dstBytesPerPixel, (void)srcBytesPerPixel, (void)params, (void)spare;
    const int h = rect->bottom - rect->top;
    const size_t rowBytes = size_t(std::max(0, std::min(dstStride, srcStride)));
    for (int i = 0; i < h; ++i) {
        std::memcpy(dstBits + ptrdiff_t(dstRow + i) * dstStride,
                    srcBits + ptrdiff_t(rect->bottom - 1 - i) * srcStride, rowBytes);
    }
    return 1;
}

int Rgb24Swap(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<3, 4, 3, false>(CONVERT_ARGS, SwapBgr());
}

int Rgb32InvAlpha(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<4, 4, 4, false>(CONVERT_ARGS, [](uint8_t* d, const uint8_t* s) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = static_cast<uint8_t>(255 - s[3]);
    });
}

int Rgb48To24(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 3, false>(CONVERT_ARGS, Rgb16ToBytes());
}

int Rgb48To24Rev(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 3, true>(CONVERT_ARGS, Rgb16ToBytes());
}

int Rgb48Shl4(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 6, false>(CONVERT_ARGS, Rgb16Shift<4, false, false>());
}

int Rgb48Shl4Swap(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 6, false>(CONVERT_ARGS, Rgb16Shift<4, true, false>());
}

int Rgb48Shl6(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 6, false>(CONVERT_ARGS, Rgb16Shift<6, false, false>());
}

int Rgb48Shl6Swap(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 6, false>(CONVERT_ARGS, Rgb16Shift<6, true, false>());
}

int Rgb64Shl4(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 8, false>(CONVERT_ARGS, Rgb16Shift<4, false, true>());
}

int Rgb64Shl4Swap(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 8, false>(CONVERT_ARGS, Rgb16Shift<4, true, true>());
}

int Rgb64Shl6(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 8, false>(CONVERT_ARGS, Rgb16Shift<6, false, true>());
}

int Rgb64Shl6Swap(PIXEL_KERNEL_ARGS) {
    (void)params, (void)spare;
    return ConvertEither<6, 8, 8, false>(CONVERT_ARGS, Rgb16Shift<6, true, true>());
}
