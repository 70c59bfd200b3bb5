// Reading BMP files for `m52sim scene N FILE.bmp`.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tools/m52sim/bmp_picture.h"

namespace {

void Put16(std::vector<uint8_t> &f, size_t at, uint32_t v) { f[at] = uint8_t(v); f[at + 1] = uint8_t(v >> 8); }
void Put32(std::vector<uint8_t> &f, size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i)); }

// A w x h 24-bit BMP; pixel (x, y) of the picture (y = 0 at the top) is colour(x, y) as B, G, R.
std::vector<uint8_t> MakeBmp(int w, int h, bool topDown, uint16_t bits = 24)
{
    const uint32_t stride = (uint32_t(w) * 3 + 3) & ~3u;
    std::vector<uint8_t> f(54 + stride * h, 0);
    f[0] = 'B'; f[1] = 'M';
    Put32(f, 2, uint32_t(f.size())); Put32(f, 10, 54); Put32(f, 14, 40);
    Put32(f, 18, uint32_t(w)); Put32(f, 22, uint32_t(topDown ? -h : h));
    Put16(f, 26, 1); Put16(f, 28, bits);
    for (int y = 0; y < h; ++y) {
        const int row = topDown ? y : h - 1 - y;
        for (int x = 0; x < w; ++x) {
            uint8_t *p = &f[54 + row * stride + x * 3];
            p[0] = uint8_t(x); p[1] = uint8_t(y); p[2] = uint8_t(200);
        }
    }
    return f;
}

const uint8_t *Pixel(const std::vector<uint8_t> &rgb, unsigned x, unsigned y) { return &rgb[(y * 1360 + x) * 3]; }

TEST(BmpPictureTest, ScalesBottomUpAndTopDownFilesToTheSensorAsRgb)
{
    for (bool topDown : {false, true}) {
        std::vector<uint8_t> rgb;
        std::string error;
        ASSERT_TRUE(m52sim::DecodeBmpPicture(MakeBmp(5, 3, topDown), &rgb, &error)) << error;
        ASSERT_EQ(1360u * 1024u * 3u, rgb.size());
        EXPECT_EQ(200, Pixel(rgb, 0, 0)[0]);   // red
        EXPECT_EQ(0, Pixel(rgb, 0, 0)[1]);     // green = source row 0 (top)
        EXPECT_EQ(0, Pixel(rgb, 0, 0)[2]);     // blue = source column 0
        EXPECT_EQ(2, Pixel(rgb, 1359, 1023)[1]); // bottom row of the source
        EXPECT_EQ(4, Pixel(rgb, 1359, 1023)[2]); // last column
        EXPECT_EQ(2, Pixel(rgb, 544, 0)[2]);     // 544 * 5 / 1360 = column 2
    }
}

TEST(BmpPictureTest, RefusesWhatItCannotReadInsteadOfReadingPastTheFile)
{
    std::vector<uint8_t> rgb;
    std::string error;
    std::vector<uint8_t> truncated = MakeBmp(64, 64, false);
    truncated.resize(truncated.size() - 1);
    EXPECT_FALSE(m52sim::DecodeBmpPicture(truncated, &rgb, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(m52sim::DecodeBmpPicture(MakeBmp(4, 4, false, 32), &rgb, &error));
    std::vector<uint8_t> notBmp = MakeBmp(4, 4, false);
    notBmp[0] = 'X';
    EXPECT_FALSE(m52sim::DecodeBmpPicture(notBmp, &rgb, &error));
    std::vector<uint8_t> huge = MakeBmp(4, 4, false);
    Put32(huge, 18, 0x7FFFFFFF);
    EXPECT_FALSE(m52sim::DecodeBmpPicture(huge, &rgb, &error));
    std::vector<uint8_t> badOffset = MakeBmp(4, 4, false);
    Put32(badOffset, 10, 0xFFFFFFF0u);
    EXPECT_FALSE(m52sim::DecodeBmpPicture(badOffset, &rgb, &error));
    EXPECT_FALSE(m52sim::DecodeBmpPicture(std::vector<uint8_t>(10, 0), &rgb, &error));
}

}  // namespace
