// Bounded, seeded fuzzing of every writer: random sizes (1 to 64), depths, samples and types,
// each file read back and compared. Runs under ASan/UBSan in the native build.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "files/avi_writer.h"
#include "files/still_image_writer.h"
#include "still_test_support.h"

namespace {

constexpr int kIterations = 400;

TEST(WriterFuzz, RandomStillImagesReadBack)
{
    ScratchDir dir;
    std::mt19937 random(20261208);
    const uint16_t depths[] = {8, 16, 24, 32, 48, 64};
    for (int i = 0; i < kIterations; ++i) {
        const int width = std::uniform_int_distribution<int>(1, 64)(random);
        const int height = std::uniform_int_distribution<int>(1, 64)(random);
        const uint16_t depth = depths[random() % 6];
        const int type = static_cast<int>(random() % 7);
        const bool jpeg = type >= 2 && type <= 4;
        SCOPED_TRACE("iteration " + std::to_string(i) + ": " + std::to_string(width) + "x" + std::to_string(height) +
                     " depth " + std::to_string(depth) + " type " + std::to_string(type));
        CDibImage image;
        ASSERT_EQ(1, image.Create(width, height, depth));
        FillPattern(image, jpeg ? Pattern::Smooth : Pattern::Noise, static_cast<uint32_t>(random()));
        const std::string path = dir.File("f" + std::to_string(i));
        ASSERT_EQ(1, SaveStillImage(path.c_str(), image, type, 10));

        const size_t pixelBytes = size_t(height) * image.stride;
        if (type == kStillFileRaw) {
            const std::vector<uint8_t> f = ReadFileBytes(path);
            ASSERT_EQ(pixelBytes, f.size());
            ASSERT_EQ(0, std::memcmp(image.bits, f.data(), f.size()));
        } else if (type == kStillFileBmp) {
            const std::vector<uint8_t> f = ReadFileBytes(path);
            const size_t offset = depth == 8 ? 1078 : 54;
            ASSERT_EQ(offset + pixelBytes, f.size());
            for (int row = 0; row < height; ++row)
                ASSERT_EQ(0, std::memcmp(image.bits + size_t(height - 1 - row) * image.stride,
                                         f.data() + offset + size_t(row) * image.stride, size_t(width) * depth / 8));
        } else if (type == kStillFilePng) {
            Picture got;
            int colourType;
            ASSERT_TRUE(ReadPng(path, &got, &colourType));
            ASSERT_EQ("", ComparePictures(ExpectedPicture(image, type), got, 0));
        } else if (type == kStillFileTiff) {
            Picture got;
            TiffTags tags;
            ASSERT_TRUE(ReadTiff(path, &got, &tags));
            ASSERT_EQ("", ComparePictures(ExpectedPicture(image, type), got, 0));
        } else {
            Picture got;
            bool progressive = false;
            ASSERT_TRUE(ReadJpeg(path, &got, &progressive));
            EXPECT_TRUE(progressive);
            const Picture expected = ExpectedJpegPicture(image);
            ASSERT_EQ("", ComparePictures(expected, got, 255));  // shape only
            // Tiny pictures lose more to 8 x 8 blocks; the bound still catches flips and swaps.
            EXPECT_LT(MeanAbsDifference(expected, got), type == kStillFileJpeg20 ? 16.0 : 8.0);
        }
    }
}

TEST(WriterFuzz, RandomAviRecordingsAreConsistent)
{
    ScratchDir dir;
    std::mt19937 random(8122026);
    for (int i = 0; i < 60; ++i) {
        const int width = std::uniform_int_distribution<int>(1, 64)(random);
        const int height = std::uniform_int_distribution<int>(1, 64)(random);
        const uint32_t frames = random() % 12;
        const uint32_t rate = random() % 5000;  // 0 included
        SCOPED_TRACE("recording " + std::to_string(i));
        const std::string path = dir.File("r" + std::to_string(i) + ".avi");
        CAviWriter writer;
        ASSERT_EQ(1, writer.Open(path.c_str(), width, height, 24, 30));
        const uint32_t s = ((3 * uint32_t(width) + 3) & ~3u) * uint32_t(height);
        ASSERT_EQ(s, writer.FrameSize());
        std::vector<uint8_t> frame(s);
        for (uint32_t n = 0; n < frames; ++n) {
            for (auto& b : frame)
                b = static_cast<uint8_t>(random());
            ASSERT_EQ(AviFrameResult::Written, writer.WriteFrame(frame.data()));
        }
        ASSERT_EQ(1, writer.Close(rate));
        const std::vector<uint8_t> f = ReadFileBytes(path);
        ASSERT_EQ(232u + frames * (8u + s) + 8u + 16u * frames, f.size());
        EXPECT_EQ(f.size() - 8, U32At(f, 4));
        EXPECT_EQ(4 + frames * (8 + s), U32At(f, 224));
        const uint32_t r = rate == 0 ? 3000 : rate;
        EXPECT_EQ(100000000u / r, U32At(f, 32));
        EXPECT_EQ(1000000000u / r, U32At(f, 128));
        if (frames > 0) {  // last index entry points at the last chunk
            const size_t last = f.size() - 16;
            const uint32_t offset = U32At(f, last + 8);
            EXPECT_EQ(4 + (frames - 1) * (8 + s), offset);
            EXPECT_EQ(0, std::memcmp(f.data() + 228 + offset + 8, frame.data(), s));
        }
    }
}

}  // namespace
