// Raw still files: the image's pixel block as it is in memory (top line first, row padding
// included), no header.
#pragma once

#include "imaging/dib_image.h"

// Returns 1, or 0 (and no file left behind) when the image is empty, the file cannot be created
// or any write fails.
int WriteRawFile(const char* path, const CDibImage& image);
