// JPEG still files: 8-bit gray or 24-bit colour, progressive, top line first.
#pragma once

#include "imaging/dib_image.h"

// quality 1..100. sampleBits is the width of the samples held in 16-bit images (10, or 12 for
// 12-bit data, whose gray images then keep their top 8 bits). Returns 1, or 0 when the depth is
// not one JPEG takes, the image is empty, the file cannot be created or the encoder or a write
// fails; a failed file is deleted.
int WriteJpegFile(const char* path, const CDibImage& image, int quality, int sampleBits);
