// Format conversion kernels (pixel kernels over whole images of equal size, no parameters).
// "Rev" kernels reverse the rows: destination memory row i comes from source memory row
// rect->bottom - 1 - i. Samples are s0, s1, s2, s3 in memory order (blue, green, red, fourth);
// 16-bit sources hold 10-bit values.
#pragma once

#include "imaging/pixel_runner.h"

// 24 bpp colour to 8 bpp gray: (30 red + 59 green + 11 blue) / 100.
int ColourToGray8(PIXEL_KERNEL_ARGS);

// In place: spreads a tightly packed frame (rows of width x 1 or 2 bytes) to the image's stride,
// last pixel first.
int RepackRows8(PIXEL_KERNEL_ARGS);
int RepackRows16(PIXEL_KERNEL_ARGS);

// 16 bpp gray.
int Gray16To8(PIXEL_KERNEL_ARGS);         // low byte of s0 >> 2
int Gray16To8Rev(PIXEL_KERNEL_ARGS);      // low byte of s0 >> 2, rows reversed
int Gray16To8Hi12Rev(PIXEL_KERNEL_ARGS);  // low byte of s0 >> 4, rows reversed
int Gray16Shl4(PIXEL_KERNEL_ARGS);        // s0 << 4 (10 to 14 bits)
int Gray16Shl6(PIXEL_KERNEL_ARGS);        // s0 << 6 (10 to 16 bits)

// 8-bit colour.
int Rgb32To24(PIXEL_KERNEL_ARGS);      // bytes 0, 1, 2
int Rgb24Rev(PIXEL_KERNEL_ARGS);       // 24/32 to 24, bytes 0, 1, 2, rows reversed
int RowCopyRev(PIXEL_KERNEL_ARGS);     // whole rows, min(dstStride, srcStride) bytes, reversed
int Rgb24Swap(PIXEL_KERNEL_ARGS);      // 24/32 to 24: bytes 2, 1, 0
int Rgb32InvAlpha(PIXEL_KERNEL_ARGS);  // bytes 0, 1, 2, 255 - byte 3

// 16-bit colour (48 or 64 bpp sources).
int Rgb48To24(PIXEL_KERNEL_ARGS);      // low byte of sk >> 2
int Rgb48To24Rev(PIXEL_KERNEL_ARGS);   // the same, rows reversed
int Rgb48Shl4(PIXEL_KERNEL_ARGS);      // (s0, s1, s2) << 4
int Rgb48Shl4Swap(PIXEL_KERNEL_ARGS);  // (s2, s1, s0) << 4
int Rgb48Shl6(PIXEL_KERNEL_ARGS);      // (s0, s1, s2) << 6
int Rgb48Shl6Swap(PIXEL_KERNEL_ARGS);  // (s2, s1, s0) << 6
int Rgb64Shl4(PIXEL_KERNEL_ARGS);      // (s0, s1, s2) << 4, fourth sample 65535
int Rgb64Shl4Swap(PIXEL_KERNEL_ARGS);  // (s2, s1, s0) << 4, fourth sample 65535
int Rgb64Shl6(PIXEL_KERNEL_ARGS);      // (s0, s1, s2) << 6, fourth sample 65535
int Rgb64Shl6Swap(PIXEL_KERNEL_ARGS);  // (s2, s1, s0) << 6, fourth sample 65535
