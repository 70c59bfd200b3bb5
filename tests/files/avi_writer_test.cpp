// CAviWriter files checked byte by byte: header layout, chunks, index, size bookkeeping, rate
// arithmetic, and the limits that keep every 32-bit field from wrapping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/avi_writer.h"
#include "still_test_support.h"

namespace {

std::string FourCC(const std::vector<uint8_t>& f, size_t offset)
{
    return std::string(reinterpret_cast<const char*>(f.data() + offset), 4);
}

std::vector<uint8_t> Frame(uint32_t size, uint32_t seed)
{
    std::vector<uint8_t> frame(size);
    for (uint32_t i = 0; i < size; ++i)
        frame[i] = static_cast<uint8_t>((i * 2654435761u + seed * 40503u) >> 13);
    return frame;
}

// Checks the parts of the file that depend only on geometry and count.
void ExpectLayout(const std::vector<uint8_t>& f, uint32_t width, uint32_t height, uint32_t count)
{
    const uint32_t stride = (3 * width + 3) & ~3u;
    const uint32_t s = stride * height;
    const size_t length = 232 + size_t(count) * (8 + s) + 8 + 16 * size_t(count);
    ASSERT_EQ(length, f.size());
    EXPECT_EQ("RIFF", FourCC(f, 0));
    EXPECT_EQ(length - 8, U32At(f, 4));
    EXPECT_EQ("AVI ", FourCC(f, 8));
    EXPECT_EQ("LIST", FourCC(f, 12));
    EXPECT_EQ(200u, U32At(f, 16));
    EXPECT_EQ("hdrl", FourCC(f, 20));
    EXPECT_EQ("avih", FourCC(f, 24));
    EXPECT_EQ(56u, U32At(f, 28));
    EXPECT_EQ(0u, U32At(f, 40));
    EXPECT_EQ(0x10010u, U32At(f, 44));
    EXPECT_EQ(count, U32At(f, 48));
    EXPECT_EQ(0u, U32At(f, 52));
    EXPECT_EQ(1u, U32At(f, 56));
    EXPECT_EQ(s + 8, U32At(f, 60));
    EXPECT_EQ(width, U32At(f, 64));
    EXPECT_EQ(height, U32At(f, 68));
    for (size_t o = 72; o < 88; o += 4)
        EXPECT_EQ(0u, U32At(f, o));
    EXPECT_EQ("LIST", FourCC(f, 88));
    EXPECT_EQ(124u, U32At(f, 92));
    EXPECT_EQ("strl", FourCC(f, 96));
    EXPECT_EQ("strh", FourCC(f, 100));
    EXPECT_EQ(64u, U32At(f, 104));
    EXPECT_EQ("vids", FourCC(f, 108));
    EXPECT_EQ("DIB ", FourCC(f, 112));
    EXPECT_EQ(0u, U32At(f, 116));
    EXPECT_EQ(0u, U32At(f, 120));
    EXPECT_EQ(0u, U32At(f, 124));
    EXPECT_EQ(10000000u, U32At(f, 132));
    EXPECT_EQ(0u, U32At(f, 136));
    EXPECT_EQ(count, U32At(f, 140));
    EXPECT_EQ(s + 8, U32At(f, 144));
    for (size_t o = 148; o < 172; o += 4)
        EXPECT_EQ(0u, U32At(f, o));
    EXPECT_EQ("strf", FourCC(f, 172));
    EXPECT_EQ(40u, U32At(f, 176));
    EXPECT_EQ(40u, U32At(f, 180));
    EXPECT_EQ(width, U32At(f, 184));
    EXPECT_EQ(height, U32At(f, 188));
    EXPECT_EQ(1, U16At(f, 192));
    EXPECT_EQ(24, U16At(f, 194));
    for (size_t o = 196; o < 220; o += 4)
        EXPECT_EQ(0u, U32At(f, o));
    EXPECT_EQ("LIST", FourCC(f, 220));
    EXPECT_EQ(4 + count * (8 + s), U32At(f, 224));
    EXPECT_EQ("movi", FourCC(f, 228));

    const size_t idx = 232 + size_t(count) * (8 + s);
    EXPECT_EQ("idx1", FourCC(f, idx));
    EXPECT_EQ(16 * count, U32At(f, idx + 4));
    for (uint32_t i = 0; i < count; ++i) {
        const size_t e = idx + 8 + 16 * size_t(i);
        const uint32_t offset = 4 + i * (8 + s);  // from the "movi" fourcc
        EXPECT_EQ("00db", FourCC(f, e)) << "entry " << i;
        EXPECT_EQ(0x10u, U32At(f, e + 4)) << "entry " << i;
        EXPECT_EQ(offset, U32At(f, e + 8)) << "entry " << i;
        EXPECT_EQ(s, U32At(f, e + 12)) << "entry " << i;
        EXPECT_EQ("00db", FourCC(f, 228 + offset)) << "chunk " << i;
        EXPECT_EQ(s, U32At(f, 228 + offset + 4)) << "chunk " << i;
    }
}

TEST(AviWriterLayout, ZeroFramesGiveThe240ByteFile)
{
    ScratchDir dir;
    const std::string path = dir.File("empty.avi");
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(path.c_str(), 64, 48, 24, 30));
    EXPECT_TRUE(writer.IsOpen());
    ASSERT_EQ(1, writer.Close(3000));
    EXPECT_FALSE(writer.IsOpen());
    const std::vector<uint8_t> f = ReadFileBytes(path);
    ASSERT_EQ(240u, f.size());
    EXPECT_EQ(232u, U32At(f, 4));    // RIFF size
    EXPECT_EQ(4u, U32At(f, 224));    // "movi" size
    ExpectLayout(f, 64, 48, 0);
}

TEST(AviWriterLayout, HeaderBeforeCloseHoldsPlaceholders)
{
    ScratchDir dir;
    const std::string path = dir.File("open.avi");
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(path.c_str(), 10, 4, 32, 25));
    const std::vector<uint8_t> frame = Frame(writer.FrameSize(), 1);
    EXPECT_EQ(AviFrameResult::Written, writer.WriteFrame(frame.data()));
    // Reset leaves the file as written so far, unpatched.
    writer.Reset();
    const std::vector<uint8_t> f = ReadFileBytes(path);
    ASSERT_EQ(232u + 8 + 128, f.size());  // stride 32, 4 rows
    EXPECT_EQ(0u, U32At(f, 4));
    EXPECT_EQ(40000u, U32At(f, 32));      // 1000000 / 25
    EXPECT_EQ(128u * 25, U32At(f, 36));   // maximum bytes per second
    EXPECT_EQ(0u, U32At(f, 48));
    EXPECT_EQ(400000u, U32At(f, 128));    // 10000000 / 25
    EXPECT_EQ(0u, U32At(f, 140));
    EXPECT_EQ(0u, U32At(f, 224));
}

TEST(AviWriterLayout, FramesIndexAndRateAfterClose)
{
    ScratchDir dir;
    const std::string path = dir.File("frames.avi");
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(path.c_str(), 33, 7, 24, 30));  // stride 100: padded rows
    ASSERT_EQ(700u, writer.FrameSize());
    std::vector<std::vector<uint8_t>> frames;
    for (uint32_t i = 0; i < 300; ++i) {
        frames.push_back(Frame(700, i));
        ASSERT_EQ(AviFrameResult::Written, writer.WriteFrame(frames.back().data()));
    }
    EXPECT_EQ(300u, writer.FrameCount());
    ASSERT_EQ(1, writer.Close(3000));  // 300 frames in 10 000 ms
    const std::vector<uint8_t> f = ReadFileBytes(path);
    ExpectLayout(f, 33, 7, 300);
    EXPECT_EQ(33333u, U32At(f, 32));
    EXPECT_EQ(333333u, U32At(f, 128));
    for (uint32_t i = 0; i < 300; ++i)
        ASSERT_EQ(0, std::memcmp(frames[i].data(), f.data() + 232 + 8 + size_t(i) * 708, 700)) << "frame " << i;
}

TEST(AviWriterLayout, FullSensorFramesUseFourByteRows)
{
    ScratchDir dir;
    const std::string path = dir.File("full.avi");
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(path.c_str(), 1360, 1024, 24, 30));
    EXPECT_EQ(4080u * 1024u, writer.FrameSize());
    const std::vector<uint8_t> frame = Frame(writer.FrameSize(), 3);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(AviFrameResult::Written, writer.WriteFrame(frame.data()));
    ASSERT_EQ(1, writer.Close(1234));
    const std::vector<uint8_t> f = ReadFileBytes(path);
    ExpectLayout(f, 1360, 1024, 3);
    EXPECT_EQ(100000000u / 1234, U32At(f, 32));
    EXPECT_EQ(1000000000u / 1234, U32At(f, 128));
}

TEST(AviWriterLayout, CloseWithRateZeroUsesThirtyFramesPerSecond)
{
    ScratchDir dir;
    const std::string path = dir.File("rate0.avi");
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(path.c_str(), 8, 8, 24, 0));  // open rate 0 too
    const std::vector<uint8_t> frame = Frame(writer.FrameSize(), 1);
    writer.WriteFrame(frame.data());
    ASSERT_EQ(1, writer.Close(0));
    const std::vector<uint8_t> f = ReadFileBytes(path);
    ExpectLayout(f, 8, 8, 1);
    EXPECT_EQ(33333u, U32At(f, 32));
    EXPECT_EQ(333333u, U32At(f, 128));
}

TEST(AviWriterLayout, ReopenStartsAFreshFile)
{
    ScratchDir dir;
    const std::string first = dir.File("a.avi"), second = dir.File("b.avi");
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(first.c_str(), 8, 2, 24, 30));
    const std::vector<uint8_t> frame = Frame(writer.FrameSize(), 1);
    writer.WriteFrame(frame.data());
    // Opening again drops the first file's index and count.
    ASSERT_EQ(1, writer.Open(second.c_str(), 4, 4, 24, 30));
    EXPECT_EQ(0u, writer.FrameCount());
    const std::vector<uint8_t> small = Frame(writer.FrameSize(), 2);
    writer.WriteFrame(small.data());
    ASSERT_EQ(1, writer.Close(3000));
    ExpectLayout(ReadFileBytes(second), 4, 4, 1);
}

TEST(AviWriterFailures, OpenRefusesBadPathAndGeometry)
{
    ScratchDir dir;
    CAviWriter writer;
    EXPECT_EQ(0, writer.Open(dir.File("missing/x.avi").c_str(), 8, 8, 24, 30));
    EXPECT_EQ(0, writer.Open(nullptr, 8, 8, 24, 30));
    EXPECT_EQ(0, writer.Open(dir.File("w0.avi").c_str(), 0, 8, 24, 30));
    EXPECT_EQ(0, writer.Open(dir.File("h0.avi").c_str(), 8, -1, 24, 30));
    EXPECT_FALSE(FileExists(dir.File("w0.avi")));
    // A frame so large the file could not hold it.
    EXPECT_EQ(0, writer.Open(dir.File("huge.avi").c_str(), 100000, 100000, 24, 30));
    EXPECT_FALSE(FileExists(dir.File("huge.avi")));
    EXPECT_FALSE(writer.IsOpen());
    const std::vector<uint8_t> frame(16);
    EXPECT_EQ(AviFrameResult::Failed, writer.WriteFrame(frame.data()));
    EXPECT_EQ(0, writer.Close(3000));
}

TEST(AviWriterFailures, FrameThatWouldOverflowTheFileIsRefused)
{
    ScratchDir dir;
    const std::string path = dir.File("limit.avi");
    CAviWriter writer;
    // Room for the headers, two 96-byte frames and their index, one byte short of a third.
    const uint64_t limit96 = 232 + 3 * (8 + 96) + 8 + 3 * 16 - 1;
    writer.SetSizeLimit(limit96);
    ASSERT_EQ(1, writer.Open(path.c_str(), 4, 8, 24, 30));  // stride 12: S = 96
    ASSERT_EQ(96u, writer.FrameSize());
    const std::vector<uint8_t> frame = Frame(96, 5);
    EXPECT_EQ(AviFrameResult::Written, writer.WriteFrame(frame.data()));
    EXPECT_EQ(AviFrameResult::Written, writer.WriteFrame(frame.data()));
    EXPECT_EQ(AviFrameResult::FileFull, writer.WriteFrame(frame.data()));
    EXPECT_EQ(AviFrameResult::FileFull, writer.WriteFrame(frame.data()));
    EXPECT_EQ(2u, writer.FrameCount());
    ASSERT_EQ(1, writer.Close(3000));  // the refused frames left nothing behind
    const std::vector<uint8_t> f = ReadFileBytes(path);
    EXPECT_LE(f.size(), limit96);
    ExpectLayout(f, 4, 8, 2);
}

}  // namespace
