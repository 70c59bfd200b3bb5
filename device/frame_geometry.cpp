#include "device/frame_geometry.h"

#include <cstring>

#include "device/device_protocol.h"
#include "device/ring_index.h"

namespace quorin {

int CheckFrameGeometry(const FrameGeometry& g) {
    const int64_t L = g.lineWidth, X = g.xOffset, W = g.imageWidth;
    const int64_t T = g.totalLines, Y = g.yOffset, H = g.imageHeight;
    if (L <= 0 || W <= 0 || W > L || X < 0 || X + W > L) return DEV_BAD_WIDTH;
    if (T <= 0 || H <= 0 || Y < 0 || Y + H > T) return DEV_BAD_LINES;
    // The ring's hand-over word holds 10-bit indices.
    if (g.ringCount < 2 || g.ringCount > kMaxRingCount) return DEV_BAD_RING_OR_WINDOW;
    // Two bytes per pixel must still fit a 32-bit transfer length.
    if ((Y + H) * L > 0x7FFFF000LL / 2) return DEV_BAD_LINES;
    return DEV_OK;
}

uint32_t TransferSizeOf(const FrameGeometry& g) {
    const uint64_t bytes = static_cast<uint64_t>(g.yOffset + g.imageHeight) *
                           static_cast<uint64_t>(g.lineWidth);
    return static_cast<uint32_t>((bytes + 1023) / 1024 * 1024);
}

size_t WindowSourceBytes(const FrameGeometry& g, int pixelBytes) {
    const size_t p = static_cast<size_t>(pixelBytes);
    if (g.imageWidth <= 0 || g.imageHeight <= 0) return 0;
    if (g.lineWidth == g.imageWidth && g.totalLines == g.imageHeight) {
        return static_cast<size_t>(g.imageWidth) * static_cast<size_t>(g.imageHeight) * p;
    }
    const size_t lastRow = static_cast<size_t>(g.yOffset + g.imageHeight - 1);
    return (lastRow * static_cast<size_t>(g.lineWidth) + static_cast<size_t>(g.xOffset) +
            static_cast<size_t>(g.imageWidth)) * p;
}

int CopyFrameWindow(uint8_t* dst, size_t dstBytes, const uint8_t* src, const FrameGeometry& g,
                    int pixelBytes) {
    const size_t p = static_cast<size_t>(pixelBytes);
    const size_t rowBytes = static_cast<size_t>(g.imageWidth) * p;
    const size_t rows = static_cast<size_t>(g.imageHeight);
    if (dst == nullptr || src == nullptr || dstBytes < rowBytes * rows) return DEV_NO_BUFFER;
    if (g.lineWidth == g.imageWidth && g.totalLines == g.imageHeight) {
        std::memcpy(dst, src, rowBytes * rows);  // the frame is exactly the window
        return DEV_OK;
    }
    const size_t srcStride = static_cast<size_t>(g.lineWidth) * p;
    const uint8_t* from = src + static_cast<size_t>(g.yOffset) * srcStride +
                          static_cast<size_t>(g.xOffset) * p;
    for (size_t i = 0; i < rows; ++i) {
        std::memcpy(dst + i * rowBytes, from + i * srcStride, rowBytes);
    }
    return DEV_OK;
}

bool IsCaptureWindowValid(const CaptureWindow& w) {
    if (w.x < 0 || w.y < 0) return false;
    if (w.width < 4 || w.width > kSensorWidth - w.x) return false;
    if (w.height < 3 || w.height > kSensorHeight - w.y) return false;
    if (w.mode < 0 || w.mode > 3) return false;
    return w.height / SubSampleDivisor(w.mode) >= 1;  // at least one line is read out
}

FrameGeometry GeometryForCaptureWindow(const CaptureWindow& w) {
    const int32_t divisor = SubSampleDivisor(w.mode);
    const int32_t lines = w.height / divisor;
    const int32_t top = w.y / divisor;
    FrameGeometry g;
    g.lineWidth = kSensorWidth;
    g.xOffset = w.x;
    g.imageWidth = w.width;
    g.totalLines = top + lines;
    g.yOffset = top;
    g.imageHeight = lines;
    g.ringCount = 4;
    return g;
}

}  // namespace quorin
