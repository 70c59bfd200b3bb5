// CDibImage's GDI side: a DIB section selected into a memory DC, falling back to zeroed heap
// memory for the depths GDI refuses (48 and 64 bits per pixel).
#include <windows.h>

#include <cstddef>
#include <cstdlib>

#include "imaging/dib_image.h"

static_assert(sizeof(DibInfoHeader) == sizeof(BITMAPINFOHEADER), "header size");
static_assert(offsetof(DibInfoHeader, biWidth) == offsetof(BITMAPINFOHEADER, biWidth), "biWidth");
static_assert(offsetof(DibInfoHeader, biBitCount) == offsetof(BITMAPINFOHEADER, biBitCount),
              "biBitCount");
static_assert(offsetof(DibInfoHeader, biSizeImage) == offsetof(BITMAPINFOHEADER, biSizeImage),
              "biSizeImage");
static_assert(offsetof(DibInfoHeader, biClrImportant) ==
                  offsetof(BITMAPINFOHEADER, biClrImportant),
              "biClrImportant");
static_assert(sizeof(DibColour) == sizeof(RGBQUAD), "colour size");
static_assert(sizeof(DibRect) == sizeof(RECT) && offsetof(DibRect, bottom) == offsetof(RECT, bottom),
              "rect layout");

int CDibImage::MakeBitmap(void* referenceDc) {
    if (header.biBitCount == 8) SetPalette(kDibPaletteGray, nullptr, 0, 256);

    void* sectionBits = nullptr;
    HBITMAP section = CreateDIBSection(static_cast<HDC>(referenceDc),
                                       reinterpret_cast<const BITMAPINFO*>(&header),
                                       DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    if (section != nullptr) {
        bitmap = section;
        bits = static_cast<uint8_t*>(sectionBits);
        HDC memoryDc = CreateCompatibleDC(nullptr);
        if (memoryDc == nullptr) {
            Release();
            return 0;
        }
        dc = memoryDc;
        HGDIOBJ previous = SelectObject(memoryDc, section);
        if (previous == nullptr || previous == HGDI_ERROR) {
            Release();
            return 0;
        }
        oldBitmap = previous;
        // The table was written before the section existed; the section copied it on creation.
        return 1;
    }

    return AllocatePlainPixels();
}

int CDibImage::Draw(const CDibImage* source, const DibRect* sourceRect, int x, int y) const {
    if (source == nullptr || dc == nullptr || source->dc == nullptr) return 0;
    const DibBox box = FullBox(sourceRect, source->width, source->height);
    const BOOL drawn = BitBlt(static_cast<HDC>(dc), x, y, box.w, box.h, static_cast<HDC>(source->dc), box.x,
                              box.y, SRCCOPY);
    // GDI may batch the blit: flushed here, the pixels are complete for direct access on return.
    GdiFlush();
    return drawn ? 1 : 0;
}

void CDibImage::PushColourTable(int first, int count, const DibColour* table) {
    if (dc == nullptr) return;
    SetDIBColorTable(static_cast<HDC>(dc), static_cast<UINT>(first), static_cast<UINT>(count),
                     reinterpret_cast<const RGBQUAD*>(table));
}

void CDibImage::ReadColourTable(DibColour table[256]) const {
    const UINT read = dc != nullptr && bitmap != nullptr
                          ? GetDIBColorTable(static_cast<HDC>(dc), 0, 256, reinterpret_cast<RGBQUAD*>(table))
                          : 0;
    // Sections deeper than 8 bits have no table; the header's stands in for them.
    for (UINT i = read; i < 256; ++i) table[i] = colours[i];
}

void CDibImage::ReleaseGdiObjects() {
    if (bitmap != nullptr) {
        if (dc != nullptr && oldBitmap != nullptr)
            SelectObject(static_cast<HDC>(dc), static_cast<HGDIOBJ>(oldBitmap));
        DeleteObject(static_cast<HGDIOBJ>(bitmap));
        bitmap = nullptr;
        oldBitmap = nullptr;
        bits = nullptr;  // the section's memory went with it
    }
    if (dc != nullptr) {
        DeleteDC(static_cast<HDC>(dc));
        dc = nullptr;
    }
}
