// The preview's 32-bit copy of a 24-bit frame. Screens and window surfaces hold 32-bit pixels: a
// 24-bit frame handed to GDI is widened pixel by pixel inside GDI on the painting thread, while
// widened here it is cut into strips on the library's strip pool and GDI only copies rows.
#pragma once

#include <cstdint>

// Rows [y0, y1) of a width-pixel 24-bit image (B, G, R) widened to 32 bits (B, G, R, 0). The
// rows are read at src + y * srcStride and written at dst + y * dstStride.
void WidenRows24To32(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width, int y0, int y1);

// The same for all height rows, in strips on the strip pool (its caller must hold the pool, as a
// camera's frame pipeline does, or it starts and ends the pool's threads for this one call).
void WidenFrame24To32(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width, int height);
