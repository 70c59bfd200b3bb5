// Still files of every depth and type, written through SaveStillImage and read back with the
// image libraries' own decoders (no code of the writers involved in reading).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "files/still_image_writer.h"
#include "still_test_support.h"

namespace {

const uint16_t kDepths[] = {8, 16, 24, 32, 48, 64};

struct Source {
    CDibImage image;
    Source(int width, int height, uint16_t depth, Pattern pattern, uint32_t seed)
    {
        EXPECT_EQ(1, image.Create(width, height, depth));
        FillPattern(image, pattern, seed);
    }
};

std::string Name(const char* stem, uint16_t depth, const char* ext)
{
    return std::string(stem) + std::to_string(depth) + ext;
}

// ---- Type codes and inputs that must be refused -------------------------------------------

TEST(StillImageRefusals, UnknownTypeCodesCreateNoFile)
{
    ScratchDir dir;
    Source src(16, 8, 24, Pattern::Noise, 1);
    for (int type : {7, -1, 8, 1000, -2147483647 - 1}) {
        const std::string path = dir.File("unknown" + std::to_string(type));
        EXPECT_EQ(0, SaveStillImage(path.c_str(), src.image, type, 10)) << "type " << type;
        EXPECT_FALSE(FileExists(path)) << "type " << type;
    }
}

TEST(StillImageRefusals, EmptyImageOrPathGivesZero)
{
    ScratchDir dir;
    CDibImage empty;
    Source src(4, 4, 8, Pattern::Noise, 2);
    for (int type = 0; type <= 6; ++type) {
        const std::string path = dir.File("empty" + std::to_string(type));
        EXPECT_EQ(0, SaveStillImage(path.c_str(), empty, type, 10)) << "type " << type;
        EXPECT_FALSE(FileExists(path));
        EXPECT_EQ(0, SaveStillImage(nullptr, src.image, type, 10)) << "type " << type;
        EXPECT_EQ(0, SaveStillImage("", src.image, type, 10)) << "type " << type;
    }
}

TEST(StillImageRefusals, MissingFolderGivesZero)
{
    ScratchDir dir;
    Source src(4, 4, 24, Pattern::Noise, 3);
    const std::string path = dir.File("no-such-folder/x.bin");
    for (int type = 0; type <= 6; ++type)
        EXPECT_EQ(0, SaveStillImage(path.c_str(), src.image, type, 10)) << "type " << type;
}

// ---- BMP ---------------------------------------------------------------------------------

TEST(StillImageBmp, EveryDepthHasHeaderTableAndRowsBottomUp)
{
    ScratchDir dir;
    for (uint16_t depth : kDepths) {
        SCOPED_TRACE(depth);
        Source src(37, 11, depth, Pattern::Noise, depth);  // odd width: rows carry padding
        const std::string path = dir.File(Name("d", depth, ".bmp"));
        ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kStillFileBmp, 10));
        const std::vector<uint8_t> f = ReadFileBytes(path);
        const uint32_t offset = depth == 8 ? 1078 : 54;
        const size_t pixelBytes = size_t(src.image.height) * src.image.stride;
        ASSERT_EQ(offset + pixelBytes, f.size());
        EXPECT_EQ('B', f[0]);
        EXPECT_EQ('M', f[1]);
        EXPECT_EQ(f.size(), U32At(f, 2));
        EXPECT_EQ(0u, U32At(f, 6));
        EXPECT_EQ(offset, U32At(f, 10));
        EXPECT_EQ(40u, U32At(f, 14));
        EXPECT_EQ(37u, U32At(f, 18));
        EXPECT_EQ(11u, U32At(f, 22));  // positive: bottom-up
        EXPECT_EQ(1, U16At(f, 26));
        EXPECT_EQ(depth, U16At(f, 28));  // 16, 48 and 64 go out as they are
        EXPECT_EQ(0u, U32At(f, 30));
        if (depth == 8) {
            for (int i = 0; i < 256; ++i) {  // the gray ramp of 8-bit images
                ASSERT_EQ(uint32_t(i * 0x010101), U32At(f, 54 + 4 * i)) << "entry " << i;
            }
        }
        // The first stored row is the picture's bottom line (the last memory row), padding
        // included, the last stored row its top line.
        for (int row = 0; row < src.image.height; ++row) {
            const uint8_t* expect = src.image.bits + size_t(src.image.height - 1 - row) * src.image.stride;
            ASSERT_EQ(0, std::memcmp(expect, f.data() + offset + size_t(row) * src.image.stride,
                                     size_t(src.image.width) * depth / 8))
                << "file row " << row;
        }
    }
}

TEST(StillImageBmp, FullSensorSizes)
{
    ScratchDir dir;
    Source gray(1360, 1024, 8, Pattern::Smooth, 1);
    const std::string p8 = dir.File("full8.bmp");
    ASSERT_EQ(1, SaveStillImage(p8.c_str(), gray.image, kStillFileBmp, 10));
    EXPECT_EQ(1078u + 1024u * 1360u, ReadFileBytes(p8).size());

    Source colour(1360, 1024, 24, Pattern::Smooth, 1);
    const std::string p24 = dir.File("full24.bmp");
    ASSERT_EQ(1, SaveStillImage(p24.c_str(), colour.image, kStillFileBmp, 10));
    EXPECT_EQ(54u + 1024u * 4080u, ReadFileBytes(p24).size());
}

TEST(StillImageBmp, ReplacesExistingFileAndCreatesNewOne)
{
    ScratchDir dir;
    const std::string path = dir.File("over.bmp");
    {
        std::ofstream big(path, std::ios::binary);
        big << std::string(200000, 'x');
    }
    Source src(5, 3, 24, Pattern::Noise, 9);
    ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kStillFileBmp, 10));
    EXPECT_EQ(54u + 3u * 16u, ReadFileBytes(path).size());  // cut to the new length

    const std::string fresh = dir.File("fresh.bmp");
    ASSERT_EQ(1, SaveStillImage(fresh.c_str(), src.image, kStillFileBmp, 10));
    EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(fresh));
}

// ---- Raw ---------------------------------------------------------------------------------

TEST(StillImageRaw, PixelBlockInBufferOrderWithPadding)
{
    ScratchDir dir;
    for (uint16_t depth : kDepths) {
        SCOPED_TRACE(depth);
        Source src(13, 7, depth, Pattern::Noise, 100 + depth);
        const std::string path = dir.File(Name("raw", depth, ".raw"));
        ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kStillFileRaw, 10));
        const std::vector<uint8_t> f = ReadFileBytes(path);
        ASSERT_EQ(size_t(src.image.height) * src.image.stride, f.size());
        EXPECT_EQ(0, std::memcmp(src.image.bits, f.data(), f.size()));
    }
}

// ---- PNG ---------------------------------------------------------------------------------

TEST(StillImagePng, EveryDepthDecodesToTheSourceSamples)
{
    ScratchDir dir;
    const int kColourTypes[] = {0, 0, 2, 6, 2, 6};
    int i = 0;
    for (uint16_t depth : kDepths) {
        SCOPED_TRACE(depth);
        Source src(29, 9, depth, Pattern::Noise, 200 + depth);
        const std::string path = dir.File(Name("d", depth, ".png"));
        ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kStillFilePng, 10));
        Picture got;
        int colourType = -1;
        ASSERT_TRUE(ReadPng(path, &got, &colourType));
        EXPECT_EQ(kColourTypes[i++], colourType);
        EXPECT_EQ("", ComparePictures(ExpectedPicture(src.image, kStillFilePng), got, 0));
    }
}

TEST(StillImagePng, SixteenBitMaximumFillsSixteenBits)
{
    ScratchDir dir;
    Source src(6, 2, 16, Pattern::Noise, 1);
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 2; ++y) {
            src.image.bits[y * src.image.stride + 2 * x] = 0xFF;  // 1023
            src.image.bits[y * src.image.stride + 2 * x + 1] = 0x03;
        }
    const std::string path = dir.File("max16.png");
    ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kStillFilePng, 10));
    Picture got;
    int colourType = -1;
    ASSERT_TRUE(ReadPng(path, &got, &colourType));
    EXPECT_EQ(16, got.bitDepth);
    for (uint32_t s : got.samples)
        ASSERT_EQ(65472u, s);
}

TEST(StillImagePng, ThirtyTwoBitAlphaIsComplementOfFourthByte)
{
    ScratchDir dir;
    Source src(4, 3, 32, Pattern::Noise, 5);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            src.image.bits[y * src.image.stride + 4 * x + 3] = x == 3 ? 200 : 0;
    const std::string path = dir.File("alpha.png");
    ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kStillFilePng, 10));
    Picture got;
    int colourType = -1;
    ASSERT_TRUE(ReadPng(path, &got, &colourType));
    ASSERT_EQ(4, got.channels);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(x == 3 ? 55u : 255u, got.At(x, y, 3)) << x << "," << y;
}

// ---- TIFF --------------------------------------------------------------------------------

TEST(StillImageTiff, EveryDepthHasItsTagsAndSamples)
{
    ScratchDir dir;
    struct Want {
        uint16_t bits, photometric, samples;
    } const kWant[] = {{8, 1, 1}, {16, 1, 1}, {8, 2, 3}, {8, 2, 4}, {16, 2, 3}, {16, 2, 4}};
    int i = 0;
    for (uint16_t depth : kDepths) {
        SCOPED_TRACE(depth);
        Source src(31, 10, depth, Pattern::Noise, 300 + depth);
        const std::string path = dir.File(Name("d", depth, ".tif"));
        ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kStillFileTiff, 10));
        Picture got;
        TiffTags tags;
        ASSERT_TRUE(ReadTiff(path, &got, &tags));
        EXPECT_EQ(31u, tags.width);
        EXPECT_EQ(10u, tags.height);
        EXPECT_EQ(kWant[i].bits, tags.bitsPerSample);
        EXPECT_EQ(kWant[i].photometric, tags.photometric);
        EXPECT_EQ(kWant[i].samples, tags.samplesPerPixel);
        EXPECT_EQ(1, tags.compression);
        EXPECT_EQ(1, tags.planar);
        EXPECT_EQ(1u, tags.strips);
        EXPECT_FALSE(tags.bigEndian);  // the machine's order on x86
        EXPECT_EQ("", ComparePictures(ExpectedPicture(src.image, kStillFileTiff), got, 0));
        ++i;
    }
}

TEST(StillImageTiff, ThirtyTwoBitFourthSampleIsZero)
{
    ScratchDir dir;
    Source src(5, 4, 32, Pattern::Noise, 77);  // fourth bytes are noise in the source
    const std::string path = dir.File("four.tif");
    ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kStillFileTiff, 10));
    Picture got;
    TiffTags tags;
    ASSERT_TRUE(ReadTiff(path, &got, &tags));
    ASSERT_EQ(4, got.channels);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(0u, got.At(x, y, 3));
}

// ---- JPEG --------------------------------------------------------------------------------

TEST(StillImageJpeg, EveryDepthAndQualityIsProgressiveAndUpright)
{
    ScratchDir dir;
    const int kTypes[] = {kStillFileJpeg100, kStillFileJpeg70, kStillFileJpeg20};
    const double kMeanError[] = {1.0, 2.5, 5.0};
    for (uint16_t depth : kDepths) {
        Source src(64, 48, depth, Pattern::Smooth, 1);
        const Picture expected = ExpectedJpegPicture(src.image);
        for (int q = 0; q < 3; ++q) {
            SCOPED_TRACE("depth " + std::to_string(depth) + " type " + std::to_string(kTypes[q]));
            const std::string path = dir.File(Name("d", depth, "") + "-" + std::to_string(kTypes[q]) + ".jpg");
            ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kTypes[q], 10));
            Picture got;
            bool progressive = false;
            ASSERT_TRUE(ReadJpeg(path, &got, &progressive));
            EXPECT_TRUE(progressive);
            EXPECT_EQ("", ComparePictures(expected, got, 40));
            EXPECT_LT(MeanAbsDifference(expected, got), kMeanError[q]);
        }
    }
}

TEST(StillImageJpeg, SixteenBitMaximumIsWhite)
{
    ScratchDir dir;
    Source src(16, 16, 16, Pattern::Noise, 1);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            src.image.bits[y * src.image.stride + 2 * x] = 0xFF;
            src.image.bits[y * src.image.stride + 2 * x + 1] = 0x03;
        }
    const std::string path = dir.File("max16.jpg");
    ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, kStillFileJpeg100, 10));
    Picture got;
    bool progressive = false;
    ASSERT_TRUE(ReadJpeg(path, &got, &progressive));
    ASSERT_EQ(1, got.channels);
    for (uint32_t s : got.samples)
        ASSERT_EQ(255u, s);
}

TEST(StillImageJpeg, SizeLibjpegRefusesGivesZeroAndNoFile)
{
    // Wider than JPEG's 65500-pixel limit: the encoder's error must come back as 0, not end
    // the process.
    ScratchDir dir;
    Source src(70000, 1, 8, Pattern::Noise, 1);
    const std::string path = dir.File("wide.jpg");
    EXPECT_EQ(0, SaveStillImage(path.c_str(), src.image, kStillFileJpeg70, 10));
    EXPECT_FALSE(FileExists(path));
}

// The quality is read from the file itself: the quantisation tables of its DQT segments (bytes
// parsed here, no decoder involved) must be the standard's example tables scaled for 100, 70 and
// 20 (factor 5000 / q below 50, else 200 - 2q, in percent, rounded, held to 1..255), luminance for
// the first component and chrominance for the others.
const int kLuminanceTable[64] = {
    16, 11, 10, 16, 24, 40, 51, 61,      12, 12, 14, 19, 26, 58, 60, 55,
    14, 13, 16, 24, 40, 57, 69, 56,      14, 17, 22, 29, 51, 87, 80, 62,
    18, 22, 37, 56, 68, 109, 103, 77,    24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101,  72, 92, 95, 98, 112, 100, 103, 99};
const int kChrominanceTable[64] = {
    17, 18, 24, 47, 99, 99, 99, 99,  18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99,  47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99,  99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99,  99, 99, 99, 99, 99, 99, 99, 99};
// Position in the 8 x 8 block (row-major) of the k-th value stored, in zig-zag order.
const int kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                         12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                         35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                         58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

std::vector<int> ScaledTable(const int* base, int quality)
{
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::vector<int> table(64);
    for (int i = 0; i < 64; ++i)
        table[i] = std::min(255, std::max(1, (base[i] * scale + 50) / 100));
    return table;
}

struct JpegTables {
    std::vector<int> byId[4];      // natural order; empty when not defined
    std::vector<int> componentTable;  // table id of each component of the frame header
};

// Walks the markers up to the first scan.
bool ReadJpegTables(const std::vector<uint8_t>& f, JpegTables* out)
{
    if (f.size() < 4 || f[0] != 0xFF || f[1] != 0xD8)
        return false;
    size_t at = 2;
    while (at + 4 <= f.size()) {
        if (f[at] != 0xFF)
            return false;
        const uint8_t marker = f[at + 1];
        const size_t length = size_t(f[at + 2]) << 8 | f[at + 3];
        const size_t end = at + 2 + length;
        if (length < 2 || end > f.size())
            return false;
        if (marker == 0xDA)
            return true;
        if (marker == 0xDB) {
            for (size_t p = at + 4; p < end;) {
                const int precision = f[p] >> 4, id = f[p] & 15;
                if (precision != 0 || id > 3 || p + 65 > end)
                    return false;  // baseline tables are 8-bit
                out->byId[id].assign(64, 0);
                for (int k = 0; k < 64; ++k)
                    out->byId[id][kZigZag[k]] = f[p + 1 + k];
                p += 65;
            }
        } else if (marker >= 0xC0 && marker <= 0xC2) {
            const int components = f[at + 9];
            for (int c = 0; c < components && at + 12 + 3 * c < end; ++c)
                out->componentTable.push_back(f[at + 12 + 3 * c]);
        }
        at = end;
    }
    return false;
}

TEST(StillImageJpeg, QualityShowsInTheQuantisationTables)
{
    ScratchDir dir;
    const struct {
        int type, quality;
    } kQualities[] = {{kStillFileJpeg100, 100}, {kStillFileJpeg70, 70}, {kStillFileJpeg20, 20}};
    for (uint16_t depth : {uint16_t(8), uint16_t(24), uint16_t(64)}) {
        Source src(24, 16, depth, Pattern::Smooth, 3);
        for (const auto& q : kQualities) {
            SCOPED_TRACE("depth " + std::to_string(depth) + " quality " + std::to_string(q.quality));
            const std::string path = dir.File("q" + std::to_string(depth) + "-" + std::to_string(q.quality) + ".jpg");
            ASSERT_EQ(1, SaveStillImage(path.c_str(), src.image, q.type, 10));
            JpegTables tables;
            ASSERT_TRUE(ReadJpegTables(ReadFileBytes(path), &tables));
            const size_t components = depth == 8 ? 1 : 3;
            ASSERT_EQ(components, tables.componentTable.size());
            for (size_t c = 0; c < components; ++c) {
                const int id = tables.componentTable[c] & 3;
                EXPECT_EQ(ScaledTable(c == 0 ? kLuminanceTable : kChrominanceTable, q.quality), tables.byId[id])
                    << "component " << c;
            }
        }
    }
}

// ---- Several cameras at once -----------------------------------------------------------------

TEST(StillImageConcurrency, CamerasSaveAtTheSameTime)
{
    // Each camera saves its own image under its own frame lock, so writes of different cameras
    // overlap freely; the library state of one must never leak into another's file.
    ScratchDir dir;
    const uint16_t depths[] = {16, 24, 32, 64};
    std::vector<std::unique_ptr<Source>> cameras;
    for (int c = 0; c < 4; ++c)
        cameras.push_back(std::make_unique<Source>(40 + c, 30 - c, depths[c], Pattern::Smooth, 10 + c));
    const int kTypes[] = {kStillFilePng, kStillFileJpeg70, kStillFileTiff};
    auto pathOf = [&](int camera, int round, int type) {
        return dir.File("c" + std::to_string(camera) + "-" + std::to_string(round) + "-" + std::to_string(type));
    };
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < 4; ++c) {
        threads.emplace_back([&, c] {
            for (int round = 0; round < 8; ++round)
                for (int type : kTypes)
                    if (SaveStillImage(pathOf(c, round, type).c_str(), cameras[c]->image, type, 10) != 1)
                        ++failures;
        });
    }
    for (std::thread& t : threads)
        t.join();
    ASSERT_EQ(0, failures.load());
    for (int c = 0; c < 4; ++c) {
        const CDibImage& image = cameras[c]->image;
        for (int round = 0; round < 8; ++round) {
            SCOPED_TRACE("camera " + std::to_string(c) + " round " + std::to_string(round));
            Picture png, tiff, jpeg;
            int colourType;
            TiffTags tags;
            bool progressive;
            ASSERT_TRUE(ReadPng(pathOf(c, round, kStillFilePng), &png, &colourType));
            EXPECT_EQ("", ComparePictures(ExpectedPicture(image, kStillFilePng), png, 0));
            ASSERT_TRUE(ReadTiff(pathOf(c, round, kStillFileTiff), &tiff, &tags));
            EXPECT_EQ("", ComparePictures(ExpectedPicture(image, kStillFileTiff), tiff, 0));
            ASSERT_TRUE(ReadJpeg(pathOf(c, round, kStillFileJpeg70), &jpeg, &progressive));
            EXPECT_LT(MeanAbsDifference(ExpectedJpegPicture(image), jpeg), 3.0);
        }
    }
}

// ---- Sample width -------------------------------------------------------------------------

TEST(StillImageSampleWidth, TwelveBitSamplesAreScaledByFour)
{
    ScratchDir dir;
    Source gray(4, 2, 16, Pattern::Noise, 1);
    Source colour(4, 2, 48, Pattern::Noise, 2);
    for (Source* src : {&gray, &colour})
        for (int y = 0; y < 2; ++y)
            for (int i = 0; i < src->image.width * src->image.bitCount / 16; ++i) {
                src->image.bits[y * src->image.stride + 2 * i] = 0xFF;  // 4095, a 12-bit maximum
                src->image.bits[y * src->image.stride + 2 * i + 1] = 0x0F;
            }
    for (Source* src : {&gray, &colour}) {
        SCOPED_TRACE(src->image.bitCount);
        const std::string png = dir.File("w12-" + std::to_string(src->image.bitCount) + ".png");
        const std::string tif = dir.File("w12-" + std::to_string(src->image.bitCount) + ".tif");
        ASSERT_EQ(1, SaveStillImage(png.c_str(), src->image, kStillFilePng, 12));
        ASSERT_EQ(1, SaveStillImage(tif.c_str(), src->image, kStillFileTiff, 12));
        Picture fromPng, fromTiff;
        int colourType;
        TiffTags tags;
        ASSERT_TRUE(ReadPng(png, &fromPng, &colourType));
        ASSERT_TRUE(ReadTiff(tif, &fromTiff, &tags));
        for (uint32_t s : fromPng.samples)
            ASSERT_EQ(65520u, s);
        for (uint32_t s : fromTiff.samples)
            ASSERT_EQ(65520u, s);
    }
    const std::string jpg = dir.File("w12.jpg");
    ASSERT_EQ(1, SaveStillImage(jpg.c_str(), gray.image, kStillFileJpeg100, 12));
    Picture fromJpeg;
    bool progressive;
    ASSERT_TRUE(ReadJpeg(jpg, &fromJpeg, &progressive));
    for (uint32_t s : fromJpeg.samples)
        ASSERT_EQ(255u, s);  // the top 8 of 12 bits
}

}  // namespace
