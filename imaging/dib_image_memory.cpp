// CDibImage without GDI: every depth is zeroed heap memory and nothing can be drawn. Used where
// the pixel code runs outside Windows (the native test and benchmark builds).
#include "imaging/dib_image.h"

int CDibImage::MakeBitmap(void* /*referenceDc*/) {
    if (header.biBitCount == 8) SetPalette(kDibPaletteGray, nullptr, 0, 256);
    return AllocatePlainPixels();
}

int CDibImage::Draw(const CDibImage* /*source*/, const DibRect* /*sourceRect*/, int /*x*/,
                    int /*y*/) const {
    return 0;
}

void CDibImage::PushColourTable(int /*first*/, int /*count*/, const DibColour* /*table*/) {}

void CDibImage::ReadColourTable(DibColour table[256]) const {
    for (int i = 0; i < 256; ++i) table[i] = colours[i];
}

void CDibImage::ReleaseGdiObjects() {}
