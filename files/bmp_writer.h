// BMP still files: file header, the image's info header, a 256-entry colour table for 8 bits or
// less, then the pixel rows bottom line first.
#pragma once

#include "imaging/dib_image.h"

// Returns 1, or 0 (and no file left behind) when the image is empty, the file cannot be created
// or any write fails.
int WriteBmpFile(const char* path, const CDibImage& image);
