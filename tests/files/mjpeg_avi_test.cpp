// Motion-JPEG AVI files as a recording writes them, read back by ffprobe and ffmpeg: headers that
// describe the largest frame, an index whose entries find their chunks, and a recording on a full
// disk or over several files that leaves every whole frame readable. The mount needs root; without
// it that case is skipped.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "camera/recording_file.h"
#include "files/avi_writer.h"
#include "files/mjpeg_encoder.h"
#include "still_test_support.h"
#include "tool_runner.h"

namespace {

std::string FourCC(const std::vector<uint8_t>& f, size_t at) { return std::string(f.begin() + at, f.begin() + at + 4); }

// Writes frames of width x height, each a different smooth picture, until one is not written.
uint32_t WriteFrames(CAviWriter& writer, int count, int width, int height, uint32_t* largest) {
    CMjpegEncoder encoder;
    CDibImage image;
    EXPECT_EQ(1, image.Create(width, height, 24));
    uint32_t written = 0;
    for (int i = 0; i < count; ++i) {
        FillPattern(image, i % 2 ? Pattern::Smooth : Pattern::Noise, uint32_t(i));
        EXPECT_TRUE(encoder.Encode(image.bits, width, height, image.stride, 24, 60 + i));
        if (writer.WriteFrame(encoder.Data(), uint32_t(encoder.Size())) != AviFrameResult::Written) break;
        *largest = std::max(*largest, uint32_t(encoder.Size()));
        ++written;
    }
    return written;
}

std::string Probe(const std::string& path) {
    return RunTool("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                   "stream=codec_name,width,height,nb_read_frames,r_frame_rate -of default=nw=1 " + ShellQuote(path))
        .output;
}

}  // namespace

TEST(MjpegAvi, HeadersAndIndexDescribeChunksOfEverySize) {
    ScratchDir dir;
    const std::string path = dir.File("clip.avi");
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(path.c_str(), 322, 240, 24, 30, AviCodec::Mjpeg));
    uint32_t largest = 0;
    ASSERT_EQ(6u, WriteFrames(writer, 6, 322, 240, &largest));
    ASSERT_EQ(1, writer.Close(1250));  // 12.5 frames per second

    EXPECT_EQ("codec_name=mjpeg\nwidth=322\nheight=240\nr_frame_rate=25/2\nnb_read_frames=6\n", Probe(path));
    const ToolResult decode = RunTool("ffmpeg -v error -i " + ShellQuote(path) + " -f null -");
    EXPECT_EQ(0, decode.exitCode);
    EXPECT_EQ("", decode.output);

    const std::vector<uint8_t> f = ReadFileBytes(path);
    EXPECT_EQ(f.size() - 8, U32At(f, 4));
    EXPECT_EQ("MJPG", FourCC(f, 112));                    // stream handler
    EXPECT_EQ("MJPG", FourCC(f, 196));                    // biCompression
    EXPECT_EQ(largest, U32At(f, 200));                    // biSizeImage
    const uint32_t suggested = largest + (largest & 1) + 8;  // the largest chunk
    EXPECT_EQ(suggested, U32At(f, 60));
    EXPECT_EQ(suggested, U32At(f, 144));
    EXPECT_EQ((uint64_t(suggested) * 1250 + 99) / 100, U32At(f, 36));
    const size_t index = 228 + U32At(f, 224);  // after the "movi" list, whose size counts "movi"
    ASSERT_EQ("idx1", FourCC(f, index));
    ASSERT_EQ(6u * 16, U32At(f, index + 4));
    for (size_t e = 0; e < 6; ++e) {
        const size_t entry = index + 8 + 16 * e, chunk = 228 + U32At(f, entry + 8);
        EXPECT_EQ("00dc", FourCC(f, entry));
        EXPECT_EQ(0x10u, U32At(f, entry + 4));
        EXPECT_EQ(0u, chunk % 2);
        EXPECT_EQ("00dc", FourCC(f, chunk));
        EXPECT_EQ(U32At(f, entry + 12), U32At(f, chunk + 4));
        EXPECT_EQ(0xD8FFu, U16At(f, chunk + 8));  // a JPEG image starts there
    }
}

// A recording's files: on a full disk, and continued in numbered files when one is full.
TEST(MjpegAvi, RecordingFilesKeepEveryWholeFrame) {
    ScratchDir dir;
    const std::string full = dir.File("full");
    ASSERT_EQ(0, mkdir(full.c_str(), 0755));
    if (mount("tmpfs", full.c_str(), "tmpfs", 0, "size=160k") != 0) GTEST_SKIP() << "cannot mount a small tmpfs (needs root)";
    struct Case {
        std::string path;
        uint64_t limit;
        uint32_t minFiles, maxFiles;
    };
    const Case cases[] = {{full + "/rec.avi", CAviWriter::kDefaultSizeLimit, 1, 1}, {dir.File("cut.avi"), 300000, 3, 11}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CRecordingFile recording;
        recording.SetSizeLimit(c.limit);
        ASSERT_EQ(1, recording.Open(c.path.c_str(), 320, 240, 24, RecordFormat{RecordFormat::kMjpeg, 90}));
        CDibImage image;
        ASSERT_EQ(1, image.Create(320, 240, 24));
        bool appended = true;
        for (uint32_t i = 0; i < 12 && appended; ++i) {
            FillPattern(image, Pattern::Noise, i);
            appended = recording.Append(image.bits, image.stride, 24, 2500);
        }
        EXPECT_EQ(c.limit == CAviWriter::kDefaultSizeLimit, !appended);  // the disk is full, or room is made
        EXPECT_EQ(1, recording.Finish(2500));
        ASSERT_GE(recording.Files(), c.minFiles);
        ASSERT_LE(recording.Files(), c.maxFiles);
        uint64_t frames = 0;
        for (uint32_t n = 0; n < recording.Files(); ++n) {
            const std::string file = n ? CRecordingFile::ContinuationName(c.path, n) : c.path;
            const std::string probe = Probe(file);
            EXPECT_NE(std::string::npos, probe.find("codec_name=mjpeg\n")) << probe;
            frames += std::strtoull(probe.substr(probe.find("nb_read_frames=") + 15).c_str(), nullptr, 10);
            EXPECT_EQ("", RunTool("ffmpeg -v error -i " + ShellQuote(file) + " -f null -").output);
        }
        EXPECT_EQ(recording.TotalFrames(), frames);
        EXPECT_GT(frames, 0u);
    }
    umount(full.c_str());
}
