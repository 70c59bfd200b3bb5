// CDibImage without GDI: every depth is zeroed heap memory and nothing can be drawn. Used where
// the pixel code runs outside Windows (the native test and benchmark builds).
#include <cstdlib>

#include "imaging/dib_image.h"

int CDibImage::MakeBitmap(void* /*referenceDc*/) {
    if (header.biBitCount == 8) SetPalette(kDibPaletteGray, nullptr, 0, 256);
    const size_t blockBytes = static_cast<size_t>(height) * static_cast<size_t>(stride);
    bits = static_cast<uint8_t*>(std::calloc(blockBytes != 0 ? blockBytes : 1, 1));
    if (bits == nullptr) {
        Release();
        return 0;
    }
    return 1;
}

int CDibImage::Draw(const CDibImage* /*source*/, const DibRect* /*sourceRect*/, int /*x*/,
                    int /*y*/) const {
    return 0;
}

void CDibImage::PushColourTable(int /*first*/, int /*count*/, const DibColour* /*table*/) {}

void CDibImage::ReleaseGdiObjects() {}
