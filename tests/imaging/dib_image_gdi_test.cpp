// CDibImage on real GDI objects: DIB sections in memory DCs, colour tables, BitBlt and release.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/dib_image.h"

namespace {

TEST(DibImageGdi, ColourDepthsGetASectionSelectedIntoAMemoryDc) {
    for (uint16_t bits : {uint16_t(8), uint16_t(16), uint16_t(24), uint16_t(32)}) {
        CDibImage image;
        ASSERT_EQ(1, image.Create(641, 33, bits)) << bits;
        ASSERT_NE(nullptr, image.dc) << bits;
        ASSERT_NE(nullptr, image.bitmap) << bits;
        ASSERT_NE(nullptr, image.oldBitmap) << bits;
        EXPECT_EQ(image.bitmap, GetCurrentObject(static_cast<HDC>(image.dc), OBJ_BITMAP));
        DIBSECTION section;
        ASSERT_EQ(int(sizeof(section)), GetObjectA(static_cast<HBITMAP>(image.bitmap), sizeof(section), &section));
        EXPECT_EQ(image.bits, section.dsBm.bmBits);
        EXPECT_EQ(image.stride, section.dsBm.bmWidthBytes) << bits;
        EXPECT_EQ(33, section.dsBm.bmHeight);
    }
}

TEST(DibImageGdi, WideSampleDepthsFallBackToPlainMemory) {
    for (uint16_t bits : {uint16_t(48), uint16_t(64)}) {
        CDibImage image;
        ASSERT_EQ(1, image.Create(100, 10, bits));
        EXPECT_EQ(nullptr, image.dc);
        EXPECT_EQ(nullptr, image.bitmap);
        ASSERT_NE(nullptr, image.bits);
        for (int i = 0; i < image.stride * 10; ++i) ASSERT_EQ(0, image.bits[i]);
    }
}

TEST(DibImageGdi, EightBitSectionHasTheGrayTable) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(16, 16, 8));
    RGBQUAD table[256];
    ASSERT_EQ(256u, GetDIBColorTable(static_cast<HDC>(image.dc), 0, 256, table));
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(i, table[i].rgbBlue);
        EXPECT_EQ(i, table[i].rgbGreen);
        EXPECT_EQ(i, table[i].rgbRed);
    }
}

TEST(DibImageGdi, CallerPaletteReachesTheSectionOnly) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(16, 16, 8));
    const DibColour red[3] = {{0, 0, 255, 0}, {0, 0, 254, 0}, {0, 0, 253, 0}};
    EXPECT_EQ(1, image.SetPalette(kDibPaletteCaller, red, 100, 3));
    RGBQUAD table[3];
    ASSERT_EQ(3u, GetDIBColorTable(static_cast<HDC>(image.dc), 100, 3, table));
    EXPECT_EQ(255, table[0].rgbRed);
    EXPECT_EQ(0, table[0].rgbBlue);
    EXPECT_EQ(253, table[2].rgbRed);
    EXPECT_EQ(100, image.colours[100].rgbRed);  // the header keeps the gray ramp
    // Mode 0 puts the ramp back in both.
    EXPECT_EQ(1, image.SetPalette(kDibPaletteGray, nullptr, 0, 0));
    ASSERT_EQ(3u, GetDIBColorTable(static_cast<HDC>(image.dc), 100, 3, table));
    EXPECT_EQ(100, table[0].rgbRed);
    EXPECT_EQ(100, table[0].rgbBlue);
}

// Fills memory row r, column x of a 24-bit image with (x, r, 7).
void FillPattern(CDibImage& image) {
    for (int r = 0; r < image.height; ++r)
        for (int x = 0; x < image.width; ++x) {
            uint8_t* p = image.bits + r * image.stride + x * 3;
            p[0] = uint8_t(x);
            p[1] = uint8_t(r);
            p[2] = 7;
        }
}

TEST(DibImageGdi, DrawCopiesTheWholeSource) {
    CDibImage source, target;
    ASSERT_EQ(1, source.Create(37, 21, 24));
    ASSERT_EQ(1, target.Create(37, 21, 24));
    FillPattern(source);
    GdiFlush();
    EXPECT_NE(0, target.Draw(&source, nullptr, 0, 0));
    GdiFlush();
    for (int r = 0; r < 21; ++r)
        ASSERT_EQ(0, std::memcmp(source.bits + r * source.stride, target.bits + r * target.stride, 37 * 3)) << r;
}

TEST(DibImageGdi, DrawTakesARectangleInGdiCoordinates) {
    CDibImage source, target;
    ASSERT_EQ(1, source.Create(40, 30, 24));
    ASSERT_EQ(1, target.Create(20, 20, 24));
    FillPattern(source);
    GdiFlush();
    const DibRect rect = {5, 2, 15, 12};  // 10 x 10 from GDI (5, 2)
    EXPECT_NE(0, target.Draw(&source, &rect, 3, 4));
    GdiFlush();
    // GDI row y of a bottom-up DIB is memory row height - 1 - y.
    for (int gy = 0; gy < 10; ++gy)
        for (int gx = 0; gx < 10; ++gx) {
            const uint8_t* t = target.bits + (20 - 1 - (4 + gy)) * target.stride + (3 + gx) * 3;
            EXPECT_EQ(5 + gx, t[0]);
            EXPECT_EQ(30 - 1 - (2 + gy), t[1]);
            EXPECT_EQ(7, t[2]);
        }
}

TEST(DibImageGdi, ReleaseDeletesTheGdiObjects) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(64, 64, 24));
    HDC dc = static_cast<HDC>(image.dc);
    HBITMAP bitmap = static_cast<HBITMAP>(image.bitmap);
    image.Release();
    EXPECT_EQ(0u, GetObjectType(bitmap));
    EXPECT_EQ(0u, GetObjectType(dc));
    EXPECT_EQ(nullptr, image.dc);
    EXPECT_EQ(nullptr, image.bits);
}

TEST(DibImageGdi, CreateLikeUsesTheOtherDcAsReference) {
    CDibImage source, copy;
    ASSERT_EQ(1, source.Create(50, 40, 8));
    ASSERT_EQ(1, copy.CreateLike(&source));
    EXPECT_NE(nullptr, copy.dc);
    EXPECT_NE(source.dc, copy.dc);
    RGBQUAD entry;
    ASSERT_EQ(1u, GetDIBColorTable(static_cast<HDC>(copy.dc), 128, 1, &entry));
    EXPECT_EQ(128, entry.rgbGreen);
}

}  // namespace
