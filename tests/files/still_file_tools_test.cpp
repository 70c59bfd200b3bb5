// Still files opened by tools nobody here wrote: Pillow for pixel values, tiffinfo and tiffdump
// for tags, pngcheck, djpeg and jpeginfo.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "files/still_image_writer.h"
#include "still_test_support.h"
#include "tool_runner.h"

namespace {

const uint16_t kDepths[] = {8, 16, 24, 32, 48, 64};

// One file per depth and type, written once for the whole suite.
class StillFilesInTools : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new ScratchDir;
        std::ofstream manifest(dir_->File("manifest.txt"));
        for (uint16_t depth : kDepths) {
            // Odd sizes, so every depth has row padding to skip.
            auto noise = std::make_unique<CDibImage>();
            ASSERT_EQ(1, noise->Create(37, 23, depth));
            FillPattern(*noise, Pattern::Noise, depth);
            auto smooth = std::make_unique<CDibImage>();
            ASSERT_EQ(1, smooth->Create(61, 45, depth));
            FillPattern(*smooth, Pattern::Smooth, depth);
            for (const CDibImage* image : {noise.get(), smooth.get()}) {
                const std::string stem = "d" + std::to_string(depth) + (image == noise.get() ? "n" : "s");
                const std::string source = dir_->File(stem + ".src");
                std::ofstream(source, std::ios::binary)
                    .write(reinterpret_cast<const char*>(image->bits), std::streamsize(image->height) * image->stride);
                // Lossless formats from noise, JPEG from the smooth picture.
                const int types[] = {0, 5, 6, 2, 3, 4};
                for (int type : types) {
                    if ((type >= 2 && type <= 4) != (image == smooth.get()))
                        continue;
                    const std::string path = dir_->File(stem + "-" + std::to_string(type) + Extension(type));
                    ASSERT_EQ(1, SaveStillImage(path.c_str(), *image, type, 10)) << path;
                    paths_[{depth, type}] = path;
                    manifest << path << ' ' << type << ' ' << depth << ' ' << image->width << ' ' << image->height
                             << ' ' << image->stride << ' ' << source << '\n';
                }
            }
        }
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
        paths_.clear();
    }
    static const char* Extension(int type)
    {
        return type == 0 ? ".bmp" : type == 5 ? ".png" : type == 6 ? ".tif" : ".jpg";
    }
    static std::string PathOf(uint16_t depth, int type) { return paths_.at({depth, type}); }

    static ScratchDir* dir_;
    static std::map<std::pair<uint16_t, int>, std::string> paths_;
};
ScratchDir* StillFilesInTools::dir_ = nullptr;
std::map<std::pair<uint16_t, int>, std::string> StillFilesInTools::paths_;

TEST_F(StillFilesInTools, PillowDecodesThePicturesUpright)
{
    const ToolResult r = RunTool("/usr/bin/python3 " + ShellQuote(TestSourceDir() + "/check_still_files.py") + " " +
                                 ShellQuote(dir_->File("manifest.txt")));
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("checked 36 files, 0 failed")) << r.output;
}

TEST_F(StillFilesInTools, TiffinfoAndTiffdumpShowTheTags)
{
    struct Want {
        const char* bits;
        const char* photometric;
        const char* samples;
    } const kWant[] = {{"8", "min-is-black", "1"}, {"16", "min-is-black", "1"}, {"8", "RGB color", "3"},
                       {"8", "RGB color", "4"},    {"16", "RGB color", "3"},    {"16", "RGB color", "4"}};
    int i = 0;
    for (uint16_t depth : kDepths) {
        SCOPED_TRACE(depth);
        const std::string path = ShellQuote(PathOf(depth, 6));
        const ToolResult info = RunTool("tiffinfo " + path);
        EXPECT_EQ(0, info.exitCode) << info.output;
        EXPECT_NE(std::string::npos, info.output.find("Image Width: 37 Image Length: 23")) << info.output;
        EXPECT_NE(std::string::npos, info.output.find(std::string("Bits/Sample: ") + kWant[i].bits + "\n")) << info.output;
        EXPECT_NE(std::string::npos, info.output.find("Compression Scheme: None")) << info.output;
        EXPECT_NE(std::string::npos, info.output.find(std::string("Photometric Interpretation: ") + kWant[i].photometric))
            << info.output;
        EXPECT_NE(std::string::npos, info.output.find(std::string("Samples/Pixel: ") + kWant[i].samples + "\n"))
            << info.output;
        EXPECT_NE(std::string::npos, info.output.find("Planar Configuration: single image plane")) << info.output;

        const ToolResult dump = RunTool("tiffdump " + path);
        EXPECT_EQ(0, dump.exitCode) << dump.output;
        EXPECT_NE(std::string::npos, dump.output.find("Magic: 0x4949 <little-endian>")) << dump.output;
        EXPECT_NE(std::string::npos, dump.output.find("Compression (259) SHORT (3) 1<1>")) << dump.output;
        EXPECT_NE(std::string::npos, dump.output.find("PlanarConfig (284) SHORT (3) 1<1>")) << dump.output;
        // One strip holding every row without padding.
        const size_t rowBytes = 37u * depth / 8u;
        const size_t stripBytes = rowBytes * 23u;
        EXPECT_NE(std::string::npos, dump.output.find("StripByteCounts (279) LONG (4) 1<" + std::to_string(stripBytes) + ">"))
            << dump.output;
        ++i;
    }
}

TEST_F(StillFilesInTools, PngcheckFindsNoErrors)
{
    const char* kKinds[] = {"8-bit grayscale", "16-bit grayscale", "24-bit RGB", "32-bit RGB+alpha", "48-bit RGB",
                            "64-bit RGB+alpha"};
    int i = 0;
    for (uint16_t depth : kDepths) {
        SCOPED_TRACE(depth);
        const ToolResult r = RunTool("pngcheck " + ShellQuote(PathOf(depth, 5)));
        EXPECT_EQ(0, r.exitCode) << r.output;
        EXPECT_EQ(0u, r.output.find("OK: ")) << r.output;
        EXPECT_NE(std::string::npos, r.output.find(std::string("(37x23, ") + kKinds[i++] + ", non-interlaced"))
            << r.output;
    }
}

TEST_F(StillFilesInTools, JpeginfoAndDjpegSeeProgressiveFiles)
{
    for (uint16_t depth : kDepths) {
        for (int type : {2, 3, 4}) {
            SCOPED_TRACE("depth " + std::to_string(depth) + " type " + std::to_string(type));
            const std::string path = ShellQuote(PathOf(depth, type));
            const ToolResult info = RunTool("jpeginfo -c " + path);
            EXPECT_EQ(0, info.exitCode) << info.output;
            const std::string bits = depth <= 16 ? " 8bit P " : "24bit P ";  // P: progressive
            EXPECT_NE(std::string::npos, info.output.find(bits)) << info.output;
            EXPECT_NE(std::string::npos, info.output.find("OK")) << info.output;

            const ToolResult pnm = RunTool("djpeg -pnm " + path + " | head -c 2; echo; djpeg -pnm " + path + " | wc -c");
            const std::string magic = depth <= 16 ? "P5" : "P6";
            const size_t bytes = 61u * 45u * (depth <= 16 ? 1u : 3u) + std::string(magic + "\n61 45\n255\n").size();
            EXPECT_EQ(magic + "\n" + std::to_string(bytes) + "\n", pnm.output);
        }
    }
}

}  // namespace
