// Binds images to pixel kernels. Kernels are plain functions that never see a CDibImage: they get
// pixel pointers, a source rectangle in memory rows, a destination position, bytes per pixel,
// strides and a parameter slot.
//
// Kernel conventions: pixel (x, row) lives at bits + row * stride + x * bytesPerPixel; 16-bit
// samples are little-endian; rows are walked from rect->top to rect->bottom - 1 and pixels from
// rect->left to rect->right - 1; Bayer parity counts from the rectangle's first pixel; results are
// clamped to the destination's sample range (255, or 1023 for 10-bit samples in 16-bit storage).
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/dib_image.h"

// A pointer-sized cell holding the address of a kernel's parameter block. Kernels receive the
// address of the slot (null for kernels without parameters).
typedef void* KernelParamSlot;

// Processes source pixel (x, r), x in [rect->left, rect->right), r in [rect->top, rect->bottom),
// writing destination pixel (dstX + x - rect->left, dstRow + r - rect->top). Source and
// destination may be the same image. Returns 1, or a measured value for measurement kernels.
typedef int (*PixelKernel)(uint8_t* dstBits, const uint8_t* srcBits, const DibRect* rect,
                           int dstX, int dstRow, uint16_t dstBytesPerPixel,
                           uint16_t srcBytesPerPixel, int dstStride, int srcStride,
                           KernelParamSlot* params, void* spare);

// Resamples srcRect of the source into dstRect of the destination (both whole images in the SDK).
typedef int (*ScaleKernel)(uint8_t* dstBits, const uint8_t* srcBits, const DibRect* dstRect,
                           const DibRect* srcRect, DibSize dstSize, DibSize srcSize,
                           uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int dstStride,
                           int srcStride, KernelParamSlot* params, void* spare);

// Parameter lists for defining kernels of either shape without repeating them.
#define PIXEL_KERNEL_ARGS                                                                     \
    uint8_t *dstBits, const uint8_t *srcBits, const DibRect *rect, int dstX, int dstRow,      \
        uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int dstStride, int srcStride,   \
        KernelParamSlot *params, void *spare
#define SCALE_KERNEL_ARGS                                                                     \
    uint8_t *dstBits, const uint8_t *srcBits, const DibRect *dstRect, const DibRect *srcRect, \
        DibSize dstSize, DibSize srcSize, uint16_t dstBytesPerPixel,                          \
        uint16_t srcBytesPerPixel, int dstStride, int srcStride, KernelParamSlot *params,     \
        void *spare

// Result of clipping a source rectangle and destination position against two images.
struct ClippedBlock {
    DibRect rect;  // source rectangle in memory rows
    int dstX;      // destination column of the first pixel
    int dstRow;    // destination memory row of the first memory row
};

// Clips a GDI-coordinate source rectangle placed at GDI position (x, y) against dst and src and
// converts it to memory rows. Returns 0 when nothing of it lies inside both images.
int ClipPixelBlock(const CDibImage& dst, const CDibImage& src, const DibRect& rect, int x, int y,
                   ClippedBlock* out);

// Runs kernel over srcRect (whole source when null) placed at (dstX, dstY), all in GDI
// coordinates of the bottom-up DIB. Returns 0 without calling the kernel when clipping leaves
// nothing or kernel is null; otherwise the kernel's result.
int RunPixelKernel(CDibImage& dst, PixelKernel kernel, const CDibImage& src,
                   const DibRect* srcRect, int dstX, int dstY, KernelParamSlot* params,
                   void* spare);

// Runs a scale kernel from srcRect (whole source when null) to dstRect (whole destination when
// null) without clipping. Returns 0 when kernel is null, else the kernel's result.
int RunScaleKernel(CDibImage& dst, ScaleKernel kernel, const CDibImage& src,
                   const DibRect* srcRect, const DibRect* dstRect, KernelParamSlot* params,
                   void* spare);
