// RunPixelKernel and RunScaleKernel: clipping, GDI-to-memory-row conversion and the call.
#include "imaging/pixel_runner.h"

#include <algorithm>

namespace {

// Boxes are kept in 64 bits so positions near the 32-bit limits cannot wrap while clipping.
struct Box64 {
    int64_t left, top, right, bottom;
};

// Fails when the box lies entirely outside (0, 0, width, height); otherwise clamps it to it.
bool ClampToImage(Box64* box, int64_t width, int64_t height) {
    if (box->right <= 0 || box->bottom <= 0 || box->left >= width || box->top >= height)
        return false;
    box->left = std::max<int64_t>(box->left, 0);
    box->top = std::max<int64_t>(box->top, 0);
    box->right = std::min<int64_t>(box->right, width);
    box->bottom = std::min<int64_t>(box->bottom, height);
    return true;
}

}  // namespace

int ClipPixelBlock(const CDibImage& dst, const CDibImage& src, const DibRect& rect, int x, int y,
                   ClippedBlock* out) {
    // An inverted rectangle would hand kernels negative sizes.
    if (rect.right < rect.left || rect.bottom < rect.top) return 0;

    // Destination box, in the destination's GDI coordinates.
    Box64 q = {x, y, int64_t(x) + (int64_t(rect.right) - rect.left),
               int64_t(y) + (int64_t(rect.bottom) - rect.top)};
    if (!ClampToImage(&q, dst.width, dst.height)) return 0;

    // The source box moves and shrinks with the destination box.
    Box64 t;
    t.left = int64_t(rect.left) + (q.left - x);
    t.top = int64_t(rect.top) + (q.top - y);
    t.right = t.left + (q.right - q.left);
    t.bottom = t.top + (q.bottom - q.top);
    if (!ClampToImage(&t, src.width, src.height)) return 0;

    // GDI row 0 of the bottom-up DIB is the last memory row.
    out->dstX = static_cast<int>(q.left);
    out->dstRow = static_cast<int>(dst.height - q.bottom);
    out->rect.left = static_cast<int32_t>(t.left);
    out->rect.right = static_cast<int32_t>(t.right);
    out->rect.top = static_cast<int32_t>(src.height - t.bottom);
    out->rect.bottom = static_cast<int32_t>(src.height - t.top);
    return 1;
}

int RunPixelKernel(CDibImage& dst, PixelKernel kernel, const CDibImage& src,
                   const DibRect* srcRect, int dstX, int dstY, KernelParamSlot* params,
                   void* spare) {
    const DibRect rect = CDibImage::FullRect(srcRect, src.width, src.height);
    ClippedBlock block;
    if (!ClipPixelBlock(dst, src, rect, dstX, dstY, &block)) return 0;
    if (kernel == nullptr) return 0;
    return kernel(dst.bits, src.bits, &block.rect, block.dstX, block.dstRow,
                  static_cast<uint16_t>(dst.bitCount / 8), static_cast<uint16_t>(src.bitCount / 8),
                  dst.stride, src.stride, params, spare);
}

int RunScaleKernel(CDibImage& dst, ScaleKernel kernel, const CDibImage& src,
                   const DibRect* srcRect, const DibRect* dstRect, KernelParamSlot* params,
                   void* spare) {
    const DibRect source = CDibImage::FullRect(srcRect, src.width, src.height);
    const DibRect target = CDibImage::FullRect(dstRect, dst.width, dst.height);
    if (kernel == nullptr) return 0;
    const DibSize dstSize = {dst.width, dst.height};
    const DibSize srcSize = {src.width, src.height};
    return kernel(dst.bits, src.bits, &target, &source, dstSize, srcSize,
                  static_cast<uint16_t>(dst.bitCount / 8), static_cast<uint16_t>(src.bitCount / 8),
                  dst.stride, src.stride, params, spare);
}
