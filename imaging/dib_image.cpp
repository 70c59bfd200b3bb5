// The platform-neutral part of CDibImage: geometry, the empty state and the colour table.
// MakeBitmap, Draw and the GDI side of Release and SetPalette live in dib_image_gdi.cpp (Win32)
// and dib_image_memory.cpp (everything else).
#include "imaging/dib_image.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

// Header and colour table must form one BITMAPINFO for CreateDIBSection and the file writers.
static_assert(offsetof(CDibImage, colours) == offsetof(CDibImage, header) + sizeof(DibInfoHeader),
              "the colour table must follow the header directly");

void CDibImage::Init() {
    header = DibInfoHeader();
    header.biSize = sizeof(DibInfoHeader);
    std::memset(colours, 0, sizeof(colours));
    dc = nullptr;
    bitmap = nullptr;
    bits = nullptr;
    width = 0;
    height = 0;
    stride = 0;
    bitCount = 0;
    oldBitmap = nullptr;
}

int32_t CDibImage::StrideFor(int32_t width, uint16_t bitCount) {
    const int64_t rowBytes = static_cast<int64_t>(width) * (bitCount / 8) + 3;
    return static_cast<int32_t>(rowBytes & ~static_cast<int64_t>(3));
}

// Geometry that is positive and whose pixel block is addressable with 32-bit strides and offsets
// that fit the platform's size type.
static bool GeometryIsUsable(int32_t width, int32_t height, uint16_t bitCount) {
    if (width <= 0 || height <= 0 || bitCount == 0) return false;
    const int64_t rowBytes = static_cast<int64_t>(width) * (bitCount / 8) + 3;
    if (rowBytes > INT32_MAX) return false;
    const uint64_t blockBytes = static_cast<uint64_t>(rowBytes & ~int64_t(3)) * uint64_t(height);
    return blockBytes <= static_cast<uint64_t>(PTRDIFF_MAX);
}

int CDibImage::Create(int32_t newWidth, int32_t newHeight, uint16_t newBitCount) {
    if (!GeometryIsUsable(newWidth, newHeight, newBitCount)) return 0;
    Release();
    header.biPlanes = 1;
    header.biWidth = newWidth;
    header.biHeight = newHeight;
    header.biBitCount = newBitCount;
    header.biCompression = 0;
    width = newWidth;
    height = newHeight;
    bitCount = newBitCount;
    stride = StrideFor(newWidth, newBitCount);
    return MakeBitmap(nullptr);
}

int CDibImage::CreateLike(const CDibImage* other) {
    if (other == nullptr || other == this) return 0;
    if (!GeometryIsUsable(other->width, other->height, other->bitCount)) return 0;
    Release();
    header = other->header;
    width = other->width;
    height = other->height;
    stride = other->stride;
    bitCount = other->bitCount;
    return MakeBitmap(other->dc);
}

void CDibImage::Release() {
    ReleaseGdiObjects();
    // What is left in bits now is a heap block of a plain-memory image.
    std::free(bits);
    Init();
}

void CDibImage::WriteGrayRamp() {
    for (int i = 0; i < 256; ++i) {
        colours[i].rgbBlue = static_cast<uint8_t>(i);
        colours[i].rgbGreen = static_cast<uint8_t>(i);
        colours[i].rgbRed = static_cast<uint8_t>(i);
        colours[i].rgbReserved = 0;
    }
}

int CDibImage::SetPalette(int mode, const DibColour* table, int first, int count) {
    if (mode == kDibPaletteGray) {
        WriteGrayRamp();
        PushColourTable(0, 256, colours);
    } else if (mode == kDibPaletteCaller && table != nullptr && count > 0 && first >= 0) {
        PushColourTable(first, count, table);
    }
    return 1;
}

DibRect CDibImage::FullRect(const DibRect* rect, int32_t width, int32_t height) {
    if (rect != nullptr) return *rect;
    DibRect whole = {0, 0, width, height};
    return whole;
}

DibBox CDibImage::FullBox(const DibRect* rect, int32_t width, int32_t height) {
    const DibRect r = FullRect(rect, width, height);
    DibBox box = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    return box;
}

int CDibImage::AllocatePlainPixels() {
    const size_t blockBytes = static_cast<size_t>(height) * static_cast<size_t>(stride);
    bits = static_cast<uint8_t*>(std::calloc(blockBytes != 0 ? blockBytes : 1, 1));
    if (bits == nullptr) {
        Release();
        return 0;
    }
    return 1;
}
