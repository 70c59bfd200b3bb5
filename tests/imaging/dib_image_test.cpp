// CDibImage geometry, allocation and life cycle, and the colour-type tables. Runs natively (plain
// memory) and under Wine (real DIB sections for the depths GDI accepts).
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/colour_modes.h"
#include "imaging/dib_image.h"

namespace {

bool AllZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

void ExpectEmpty(const CDibImage& image) {
    EXPECT_EQ(0, image.width);
    EXPECT_EQ(0, image.height);
    EXPECT_EQ(0, image.stride);
    EXPECT_EQ(0, image.bitCount);
    EXPECT_EQ(nullptr, image.bits);
    EXPECT_EQ(nullptr, image.dc);
    EXPECT_EQ(nullptr, image.bitmap);
    EXPECT_EQ(40u, image.header.biSize);
    EXPECT_EQ(0, image.header.biWidth);
    EXPECT_EQ(0, image.header.biBitCount);
    EXPECT_TRUE(AllZero(reinterpret_cast<const uint8_t*>(image.colours), sizeof(image.colours)));
}

TEST(DibImageGeometry, StrideRoundsRowsToFourBytes) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(641, 480, 24));
    EXPECT_EQ(1924, image.stride);
    ASSERT_EQ(1, image.Create(641, 480, 8));
    EXPECT_EQ(644, image.stride);
    ASSERT_EQ(1, image.Create(640, 480, 16));
    EXPECT_EQ(1280, image.stride);
    ASSERT_EQ(1, image.Create(3, 2, 48));
    EXPECT_EQ(20, image.stride);
    ASSERT_EQ(1, image.Create(1, 1, 32));
    EXPECT_EQ(4, image.stride);
}

TEST(DibImageGeometry, HeaderDescribesABottomUpDib) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(1360, 1024, 24));
    EXPECT_EQ(40u, image.header.biSize);
    EXPECT_EQ(1360, image.header.biWidth);
    EXPECT_EQ(1024, image.header.biHeight);
    EXPECT_EQ(1, image.header.biPlanes);
    EXPECT_EQ(24, image.header.biBitCount);
    EXPECT_EQ(0u, image.header.biCompression);
    EXPECT_EQ(1360, image.width);
    EXPECT_EQ(1024, image.height);
    EXPECT_EQ(24, image.bitCount);
    ASSERT_NE(nullptr, image.bits);
    // The whole block is writable (checked by the sanitizers in the native build).
    std::memset(image.bits, 0x7F, size_t(image.stride) * image.height);
}

TEST(DibImageAllocation, SixteenBitSamplesPerChannelArePlainZeroedMemory) {
    for (uint16_t bits : {uint16_t(48), uint16_t(64)}) {
        CDibImage image;
        ASSERT_EQ(1, image.Create(321, 17, bits)) << bits;
        EXPECT_EQ(nullptr, image.dc);
        EXPECT_EQ(nullptr, image.bitmap);
        ASSERT_NE(nullptr, image.bits);
        EXPECT_EQ(CDibImage::StrideFor(321, bits), image.stride);
        EXPECT_EQ(bits == 48 ? 1928 : 2568, image.stride);
        EXPECT_TRUE(AllZero(image.bits, size_t(image.stride) * image.height));
        // The image object draws nothing without a DC.
        CDibImage other;
        ASSERT_EQ(1, other.Create(10, 10, 24));
        EXPECT_EQ(0, other.Draw(&image, nullptr, 0, 0));
    }
}

TEST(DibImageAllocation, InvalidSizesLeaveTheImageUnchanged) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(64, 32, 8));
    image.bits[0] = 42;
    uint8_t* const bits = image.bits;
    EXPECT_EQ(0, image.Create(0, 480, 8));
    EXPECT_EQ(0, image.Create(640, 0, 8));
    EXPECT_EQ(0, image.Create(-5, 480, 8));
    EXPECT_EQ(0, image.Create(640, -1, 24));
    EXPECT_EQ(0, image.Create(640, 480, 0));
    // Sizes whose pixel block cannot be addressed with 32-bit strides.
    EXPECT_EQ(0, image.Create(INT32_MAX, 2, 64));
    EXPECT_EQ(bits, image.bits);
    EXPECT_EQ(42, image.bits[0]);
    EXPECT_EQ(64, image.width);
    EXPECT_EQ(32, image.height);
    EXPECT_EQ(8, image.bitCount);
    EXPECT_EQ(64, image.header.biWidth);
}

TEST(DibImageAllocation, EightBitImagesCarryTheGrayTable) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(16, 16, 8));
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(i, image.colours[i].rgbBlue);
        EXPECT_EQ(i, image.colours[i].rgbGreen);
        EXPECT_EQ(i, image.colours[i].rgbRed);
        EXPECT_EQ(0, image.colours[i].rgbReserved);
    }
    // Header and table form one BITMAPINFO.
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(&image.header) + 40,
              reinterpret_cast<const uint8_t*>(image.colours));
}

TEST(DibImageAllocation, ColourImagesHaveNoTable) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(16, 16, 24));
    EXPECT_TRUE(AllZero(reinterpret_cast<const uint8_t*>(image.colours), sizeof(image.colours)));
}

TEST(DibImageLifeCycle, ReleaseEmptiesAndIsSafeTwice) {
    CDibImage image;
    ExpectEmpty(image);
    ASSERT_EQ(1, image.Create(100, 50, 8));
    image.Release();
    ExpectEmpty(image);
    image.Release();
    ExpectEmpty(image);
}

TEST(DibImageLifeCycle, RecreatingDropsTheOldPixels) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(100, 50, 24));
    std::memset(image.bits, 0xFF, size_t(image.stride) * 50);
    ASSERT_EQ(1, image.Create(100, 50, 24));
    EXPECT_TRUE(AllZero(image.bits, size_t(image.stride) * 50));
    ASSERT_EQ(1, image.Create(30, 20, 64));
    EXPECT_EQ(240, image.stride);
    ASSERT_EQ(1, image.Create(30, 20, 8));
    EXPECT_EQ(32, image.stride);
}

TEST(DibImageLifeCycle, CreateLikeCopiesHeaderAndGeometry) {
    for (uint16_t bits : {uint16_t(8), uint16_t(16), uint16_t(24), uint16_t(32), uint16_t(48), uint16_t(64)}) {
        CDibImage source, copy;
        ASSERT_EQ(1, source.Create(123, 45, bits));
        source.header.biXPelsPerMeter = 2835;
        ASSERT_EQ(1, copy.CreateLike(&source)) << bits;
        EXPECT_EQ(123, copy.width);
        EXPECT_EQ(45, copy.height);
        EXPECT_EQ(source.stride, copy.stride);
        EXPECT_EQ(bits, copy.bitCount);
        EXPECT_EQ(0, std::memcmp(&source.header, &copy.header, sizeof(DibInfoHeader)));
        ASSERT_NE(nullptr, copy.bits);
        EXPECT_NE(source.bits, copy.bits);
        EXPECT_TRUE(AllZero(copy.bits, size_t(copy.stride) * copy.height));
        if (bits == 8) {
            EXPECT_EQ(200, copy.colours[200].rgbRed);
        }
    }
}

TEST(DibImageLifeCycle, CreateLikeRefusesNullAndEmptySources) {
    CDibImage image, empty;
    ASSERT_EQ(1, image.Create(10, 10, 24));
    EXPECT_EQ(0, image.CreateLike(nullptr));
    EXPECT_EQ(0, image.CreateLike(&empty));
    EXPECT_EQ(0, image.CreateLike(&image));
    EXPECT_EQ(10, image.width);
    EXPECT_NE(nullptr, image.bits);
}

TEST(DibImagePalette, ModesAndReturnValue) {
    CDibImage image;
    ASSERT_EQ(1, image.Create(8, 8, 24));
    EXPECT_EQ(1, image.SetPalette(kDibPaletteGray, nullptr, 0, 256));
    EXPECT_EQ(77, image.colours[77].rgbGreen);
    DibColour table[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    // Caller entries go to the DIB section only, never into the header's table.
    EXPECT_EQ(1, image.SetPalette(kDibPaletteCaller, table, 10, 2));
    EXPECT_EQ(10, image.colours[10].rgbBlue);
    EXPECT_EQ(1, image.SetPalette(kDibPaletteCaller, nullptr, 0, 5));
    EXPECT_EQ(1, image.SetPalette(1, table, 0, 2));
    CDibImage empty;
    EXPECT_EQ(1, empty.SetPalette(kDibPaletteCaller, table, 0, 2));
}

TEST(ColourModes, SetValuesMapToTypes) {
    EXPECT_EQ(0, ColourTypeFromSetValue(8));
    EXPECT_EQ(1, ColourTypeFromSetValue(16));
    EXPECT_EQ(2, ColourTypeFromSetValue(24));
    EXPECT_EQ(3, ColourTypeFromSetValue(32));
    EXPECT_EQ(4, ColourTypeFromSetValue(48));
    EXPECT_EQ(5, ColourTypeFromSetValue(64));
    // What GetColorMode reports for the 16-bit-sample modes is not accepted back.
    for (int v : {10, 42, 58, 0, 12, -8, 128}) EXPECT_EQ(-1, ColourTypeFromSetValue(v)) << v;
}

TEST(ColourModes, ReportedModesAndDepths) {
    const int reported[6] = {8, 10, 24, 32, 42, 58};
    const int depth[6] = {8, 16, 24, 32, 48, 64};
    for (int type = 0; type < 6; ++type) {
        EXPECT_EQ(reported[type], ColorModeResultOf(type));
        EXPECT_EQ(depth[type], BitCountOfColourType(type));
    }
    EXPECT_EQ(-1, ColorModeResultOf(6));
    EXPECT_EQ(-1, ColorModeResultOf(-1));
    EXPECT_EQ(0, BitCountOfColourType(7));
    EXPECT_EQ(0, ColourTypeUsesRaw16(0));
    EXPECT_EQ(1, ColourTypeUsesRaw16(1));
    EXPECT_EQ(0, ColourTypeUsesRaw16(2));
    EXPECT_EQ(0, ColourTypeUsesRaw16(3));
    EXPECT_EQ(1, ColourTypeUsesRaw16(4));
    EXPECT_EQ(1, ColourTypeUsesRaw16(5));
}

}  // namespace
