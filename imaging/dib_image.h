// The SDK's in-memory picture: a device-independent bitmap whose header and 256-entry colour table
// form one BITMAPINFO, with its pixels in a GDI DIB section selected into a memory DC, or in plain
// heap memory when GDI refuses the depth (48 and 64 bits per pixel).
//
// Memory row 0 is the first line the sensor delivers (the top of the picture); the header describes
// a bottom-up DIB, so GDI sees memory row 0 as its last row.
//
// This header is portable: the Win32 types are mirrored by layout-identical structs and the GDI
// handles are opaque pointers, so pixel code and tests build without <windows.h>.
#pragma once

#include <cstdint>

// Same layout as BITMAPINFOHEADER (40 bytes).
struct DibInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(DibInfoHeader) == 40, "DibInfoHeader must match BITMAPINFOHEADER");

// Same layout as RGBQUAD.
struct DibColour {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};
static_assert(sizeof(DibColour) == 4, "DibColour must match RGBQUAD");

// Same layout as RECT: right and bottom are exclusive.
struct DibRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// A rectangle as origin and size.
struct DibBox {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

// Width and height passed together by value (the scale kernels' image sizes).
struct DibSize {
    int32_t width;
    int32_t height;
};

// SetPalette modes.
enum DibPaletteMode {
    kDibPaletteGray = 0,    // the 256-step gray ramp
    kDibPaletteCaller = 2,  // the caller's entries
};

class CDibImage {
public:
    CDibImage() { Init(); }
    ~CDibImage() { Release(); }
    CDibImage(const CDibImage&) = delete;
    CDibImage& operator=(const CDibImage&) = delete;

    // Zeroes everything and sets biSize = 40: an empty image. Only for a structure that holds
    // nothing (the constructor calls it); use Release on an allocated image.
    void Init();

    // Allocates width x height at bitCount bits per pixel, dropping what the image held.
    // Returns 0 and changes nothing when width <= 0, height <= 0 or bitCount == 0.
    int Create(int32_t width, int32_t height, uint16_t bitCount);

    // Allocates an image with other's header and geometry (not its colour table), using other's
    // DC as the reference. Returns 0 and changes nothing when other is null or empty.
    int CreateLike(const CDibImage* other);

    // Makes the pixel block for the geometry already in the header: a DIB section in a memory DC,
    // or zeroed heap memory when no DIB section can be made. On failure the image is released.
    int MakeBitmap(void* referenceDc);

    // Frees the bitmap, DC and heap block and returns to the empty state. Safe on an empty image.
    void Release();

    // Mode kDibPaletteGray writes the gray ramp into the header's table and the DIB section;
    // mode kDibPaletteCaller passes count entries from first on to the DIB section only; other
    // modes do nothing. Always returns 1.
    int SetPalette(int mode, const DibColour* table, int first, int count);

    // The 256 entries of the colour table in effect: the DIB section's (which SetPalette with
    // kDibPaletteCaller changes), or the header's when the image has no DIB section.
    void ReadColourTable(DibColour table[256]) const;

    // BitBlt of source's rectangle (whole source when null; GDI coordinates) to (x, y) of this
    // image. Returns the blit's result; 0 when either image has no DC.
    int Draw(const CDibImage* source, const DibRect* sourceRect, int x, int y) const;

    // (0, 0, width, height) when rect is null, else a copy of *rect.
    static DibRect FullRect(const DibRect* rect, int32_t width, int32_t height);
    // The same as (x, y, w, h).
    static DibBox FullBox(const DibRect* rect, int32_t width, int32_t height);

    // Bytes per row for a width and depth: rows padded to a multiple of 4 bytes.
    static int32_t StrideFor(int32_t width, uint16_t bitCount);

    // Fields, in this order: header and table form one BITMAPINFO.
    DibInfoHeader header;
    DibColour colours[256];
    void* dc;          // HDC of the memory DC holding bitmap; null without a DIB section
    void* bitmap;      // HBITMAP of the DIB section; null for plain memory
    uint8_t* bits;     // first pixel byte (memory row 0)
    int32_t width;
    int32_t height;
    int32_t stride;
    uint16_t bitCount;
    void* oldBitmap;   // HGDIOBJ selected in dc before bitmap, put back on release

private:
    void WriteGrayRamp();
    // Platform part: pushes colours[first, first + count) to the DIB section (no-op without one).
    void PushColourTable(int first, int count, const DibColour* table);
    // Platform part: deselects and deletes the bitmap and DC, forgetting bits if they were the
    // section's.
    void ReleaseGdiObjects();
    // Zeroed heap pixels for the depths (or builds) without a DIB section: 1, or 0 after releasing
    // the image when memory runs out.
    int AllocatePlainPixels();
};
