// Working images of the still writers: a copy of the camera's image in the layout one file format
// stores, made by one conversion kernel over the whole image.
#pragma once

#include <cstdint>

#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

// True when image holds pixels whose geometry agrees with its stride, so that a writer may read
// height x stride bytes from bits.
bool HasPixelData(const CDibImage& image);

// Creates work with source's size at bitCount bits per pixel (with source's header when the depth
// is the same), clears it and runs kernel from source over the whole image.
bool MakeWorkingImage(CDibImage& work, const CDibImage& source, uint16_t bitCount, PixelKernel kernel);
