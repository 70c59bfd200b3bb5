// The camera's six colour types and the numbers the exports use for them.
//   type 0: 8 bpp mosaic or gray      type 3: 32 bpp blue, green, red, spare byte
//   type 1: 16 bpp 10-bit mosaic      type 4: 48 bpp blue, green, red, 10-bit samples
//   type 2: 24 bpp blue, green, red   type 5: 64 bpp blue, green, red, spare sample
#pragma once

#include <cstdint>

enum ColourType {
    kColourGray8 = 0,
    kColourRaw16 = 1,
    kColourRgb24 = 2,
    kColourRgb32 = 3,
    kColourRgb48 = 4,
    kColourRgb64 = 5,
};

// Colour type for a value accepted by Quorin_SetColorMode (8, 16, 24, 32, 48, 64), else -1.
int ColourTypeFromSetValue(int value);

// Value reported by Quorin_GetColorMode for a colour type: 8, 10, 24, 32, 42, 58, else -1.
int ColorModeResultOf(int colourType);

// Bits per pixel of a colour type's result image (8 .. 64), else 0.
uint16_t BitCountOfColourType(int colourType);

// 1 when the colour type is computed from a 16-bit raw frame (types 1, 4, 5), 0 otherwise.
int ColourTypeUsesRaw16(int colourType);
