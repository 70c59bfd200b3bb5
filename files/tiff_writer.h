// TIFF still files: one uncompressed strip, gray or RGB at 8 or 16 bits per sample, top line
// first, 16-bit samples in the machine's byte order.
#pragma once

#include "imaging/dib_image.h"

// sampleBits is the width of the samples held in 16-bit images (10, or 12); they are scaled to
// fill 16 bits. Returns 1, or 0 when the depth is not one of 8, 16, 24, 32, 48, 64, the image is
// empty, the file cannot be created or the library or a write fails; a failed file is deleted.
int WriteTiffFile(const char* path, const CDibImage& image, int sampleBits);
