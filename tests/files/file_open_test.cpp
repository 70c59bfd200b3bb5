// How the writers open their files: an existing file is replaced whatever its attributes, a new
// one is created, and nobody else gets at a file while it is being written. And the BMP palette
// of an 8-bit image is the one its DIB shows with.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "files/avi_writer.h"
#include "files/still_image_writer.h"
#include "still_test_support.h"

namespace {

void WriteJunk(const std::string& path, size_t bytes)
{
    std::ofstream junk(path, std::ios::binary);
    junk << std::string(bytes, 'x');
}

#ifdef _WIN32

// What each writer produces for the same source, written to a path that did not exist.
std::vector<uint8_t> FreshFile(const ScratchDir& dir, const std::string& name, const CDibImage& image, int type)
{
    const std::string path = dir.File("fresh-" + name);
    EXPECT_EQ(1, SaveStillImage(path.c_str(), image, type, 10));
    return ReadFileBytes(path);
}

TEST(FileOpen, HiddenAndSystemFilesAreReplaced)
{
    ScratchDir dir;
    CDibImage image;
    ASSERT_EQ(1, image.Create(21, 9, 24));
    FillPattern(image, Pattern::Noise, 5);
    const DWORD kAttributes[] = {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};
    for (int type = kStillFileBmp; type <= kStillFileTiff; ++type) {
        const std::string name = "still" + std::to_string(type);
        const std::vector<uint8_t> expected = FreshFile(dir, name, image, type);
        for (DWORD attributes : kAttributes) {
            SCOPED_TRACE("type " + std::to_string(type) + ", attributes " + std::to_string(attributes));
            const std::string path = dir.File(name + "-" + std::to_string(attributes));
            WriteJunk(path, 300000);
            ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes));
            ASSERT_EQ(1, SaveStillImage(path.c_str(), image, type, 10));
            EXPECT_EQ(expected, ReadFileBytes(path));  // cut to the new length, nothing left over
        }
    }
    for (DWORD attributes : kAttributes) {
        const std::string path = dir.File("movie-" + std::to_string(attributes) + ".avi");
        WriteJunk(path, 300000);
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes));
        CAviWriter avi;
        ASSERT_EQ(1, avi.Open(path.c_str(), 16, 8, 24, 30)) << attributes;
        ASSERT_EQ(1, avi.Close(3000)) << attributes;
        EXPECT_EQ(240u, ReadFileBytes(path).size()) << attributes;
    }
}

// The palette a caller set on the image's DIB goes into the file, read back by the system's own
// BMP loader as well as from the bytes.
TEST(BmpPalette, CallerPaletteOfTheDibIsWritten)
{
    ScratchDir dir;
    CDibImage image;
    ASSERT_EQ(1, image.Create(7, 3, 8));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            image.bits[y * image.stride + x] = static_cast<uint8_t>(16 + y * 7 + x);
    DibColour table[8];
    for (int i = 0; i < 8; ++i)
        table[i] = DibColour{static_cast<uint8_t>(200 - i), static_cast<uint8_t>(i * 30), static_cast<uint8_t>(255 - i * 3), 0};
    image.SetPalette(kDibPaletteCaller, table, 16, 8);  // entries 16..23; the rest stay gray

    auto expectedEntry = [&](int i) {
        return i >= 16 && i < 24 ? table[i - 16] : DibColour{uint8_t(i), uint8_t(i), uint8_t(i), 0};
    };
    const std::string path = dir.File("palette.bmp");
    ASSERT_EQ(1, SaveStillImage(path.c_str(), image, kStillFileBmp, 10));
    const std::vector<uint8_t> f = ReadFileBytes(path);
    ASSERT_EQ(1078u + 3u * 8u, f.size());
    for (int i = 0; i < 256; ++i) {
        const DibColour want = expectedEntry(i);
        const uint32_t packed = want.rgbBlue | (want.rgbGreen << 8) | (want.rgbRed << 16);
        ASSERT_EQ(packed, U32At(f, 54 + 4 * i)) << "entry " << i;
    }

    HBITMAP loaded = static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, loaded);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, loaded);
    RGBQUAD readBack[256] = {};
    EXPECT_EQ(256u, GetDIBColorTable(dc, 0, 256, readBack));
    for (int i = 0; i < 256; ++i) {
        const DibColour want = expectedEntry(i);
        EXPECT_EQ(want.rgbBlue, readBack[i].rgbBlue) << "entry " << i;
        EXPECT_EQ(want.rgbGreen, readBack[i].rgbGreen) << "entry " << i;
        EXPECT_EQ(want.rgbRed, readBack[i].rgbRed) << "entry " << i;
    }
    // The picture itself: top line of memory (palette index 16..22) shows as the file's last row.
    EXPECT_EQ(RGB(table[0].rgbRed, table[0].rgbGreen, table[0].rgbBlue), GetPixel(dc, 0, 0));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(loaded);
}

#else

TEST(FileOpen, HiddenAndSystemFilesAreReplaced)
{
    GTEST_SKIP() << "hidden and system attributes exist on Windows only";
}

TEST(BmpPalette, CallerPaletteOfTheDibIsWritten)
{
    GTEST_SKIP() << "images have no DIB section outside Windows";
}

#endif

// An existing file is cut to the new length, and a second writer cannot open a file while the
// first one writes it (nor spoil it by truncating).
TEST(FileOpen, SecondOpenFailsWhileTheFileIsWritten)
{
    ScratchDir dir;
    const std::string path = dir.File("rec.avi");
    WriteJunk(path, 100000);
    CAviWriter first;
    ASSERT_EQ(1, first.Open(path.c_str(), 16, 8, 24, 30));
    const std::vector<uint8_t> frame(first.FrameSize(), 0x42);
    ASSERT_EQ(AviFrameResult::Written, first.WriteFrame(frame.data()));

    CAviWriter second;
    EXPECT_EQ(0, second.Open(path.c_str(), 16, 8, 24, 30));
#ifdef _WIN32
    // A reader is shut out too.
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, reader);
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
#endif
    CDibImage image;
    ASSERT_EQ(1, image.Create(16, 8, 24));
    for (int type = kStillFileBmp; type <= kStillFileTiff; ++type)
        EXPECT_EQ(0, SaveStillImage(path.c_str(), image, type, 10)) << "type " << type;

    ASSERT_EQ(AviFrameResult::Written, first.WriteFrame(frame.data()));
    ASSERT_EQ(1, first.Close(3000));
    const std::vector<uint8_t> f = ReadFileBytes(path);
    EXPECT_EQ(232u + 2u * (8u + 48u * 8u) + 8u + 32u, f.size());
    EXPECT_EQ(2u, U32At(f, 48));

    // Once closed, the file is free again.
    EXPECT_EQ(1, second.Open(path.c_str(), 16, 8, 24, 30));
    EXPECT_EQ(1, second.Close(3000));
    EXPECT_EQ(240u, ReadFileBytes(path).size());
}

}  // namespace
