// Frame geometry of raw transfers and the copy of the capture window out of
// a raw frame. Portable.
//
// A raw frame holds T lines of L pixels from the top of the sensor readout
// (only the first Y + H are transferred); the window is W pixels from column
// X on lines Y to Y + H - 1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorin {

struct FrameGeometry {
    int32_t lineWidth;    // L: pixels per raw line
    int32_t xOffset;      // X
    int32_t imageWidth;   // W
    int32_t totalLines;   // T
    int32_t yOffset;      // Y
    int32_t imageHeight;  // H
    int32_t ringCount;    // N
};

// 0 when the geometry is usable, else 3 (width), 4 (lines) or 1 (ring below 2
// or above kMaxRingCount).
int CheckFrameGeometry(const FrameGeometry& g);

// Bytes of one 8-bit frame: (H + Y) x L rounded up to a multiple of 1024.
uint32_t TransferSizeOf(const FrameGeometry& g);

// Bytes of a raw frame that the window copy reads (up to the last pixel of
// the window's last row) with `pixelBytes` per pixel.
size_t WindowSourceBytes(const FrameGeometry& g, int pixelBytes);

// Copies the window out of `src` into the packed rows of `dst` (stride W x p,
// top row first). `pixelBytes` is 1 or 2. `src` must hold the frame of a
// checked geometry. Returns 0, or 14 when dst is null or smaller than W x H x p.
int CopyFrameWindow(uint8_t* dst, size_t dstBytes, const uint8_t* src, const FrameGeometry& g,
                    int pixelBytes);

// Capture window of the sensor with its sub-sampling mode (0 to 3).
struct CaptureWindow {
    int32_t x, y, width, height, mode;
};

// The window lies on the sensor and is at least 4 x 3 with a mode 0 to 3,
// and sub-sampling leaves at least one line of it.
bool IsCaptureWindowValid(const CaptureWindow& w);

// Lines per frame divisor: sub-sampling mode 2 reads every fourth line.
inline int32_t SubSampleDivisor(int32_t mode) { return mode == 2 ? 4 : 1; }

// Geometry that makes the camera stream full sensor lines down to the
// window's bottom; the window itself is cut out on the host. The camera only
// learns the transfer size, so this is the only way its origin takes effect.
FrameGeometry GeometryForCaptureWindow(const CaptureWindow& w);

}  // namespace quorin
