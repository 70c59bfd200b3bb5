// Still image files of the camera's current image, by type code.
#pragma once

#include "imaging/dib_image.h"

enum StillFileType {
    kStillFileBmp = 0,
    kStillFileRaw = 1,
    kStillFileJpeg100 = 2,  // quality 100
    kStillFileJpeg70 = 3,   // quality 70
    kStillFileJpeg20 = 4,   // quality 20
    kStillFilePng = 5,
    kStillFileTiff = 6,
};

// Writes image to path (ANSI) as fileType. sampleBits is the width of the samples held in 16-bit
// images; the camera's are 10 bits. Returns 1, or 0 for a type code outside 0..6 (nothing is
// created), an empty image, a null or empty path, a depth the format does not take, or a file
// that cannot be created or completely written (no partial file is left).
int SaveStillImage(const char* path, const CDibImage& image, int fileType, int sampleBits);
