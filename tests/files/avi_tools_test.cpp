// AVI files read by ffprobe and decoded by ffmpeg back to the exact frames written.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/avi_writer.h"
#include "still_test_support.h"
#include "tool_runner.h"

namespace {

std::vector<uint8_t> Frame(uint32_t size, uint32_t seed)
{
    std::vector<uint8_t> frame(size);
    for (uint32_t i = 0; i < size; ++i)
        frame[i] = static_cast<uint8_t>((i * 2654435761u + seed * 40503u) >> 13);
    return frame;
}

std::string Probe(const std::string& path)
{
    return RunTool("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                   "stream=codec_name,width,height,pix_fmt,nb_read_frames,r_frame_rate,time_base "
                   "-of default=nw=1 " + ShellQuote(path))
        .output;
}

// ffmpeg's frames are top line first without padding; ours are bottom-up with 4-byte rows.
void ExpectDecodedFrames(const std::string& path, const std::vector<std::vector<uint8_t>>& frames, int width,
                         int height)
{
    const std::string raw = path + ".bgr";
    const ToolResult r = RunTool("ffmpeg -v error -y -i " + ShellQuote(path) + " -f rawvideo -pix_fmt bgr24 " +
                                 ShellQuote(raw));
    ASSERT_EQ(0, r.exitCode) << r.output;
    const std::vector<uint8_t> decoded = ReadFileBytes(raw);
    const size_t rowBytes = size_t(width) * 3, stride = (rowBytes + 3) & ~size_t{3};
    ASSERT_EQ(frames.size() * rowBytes * height, decoded.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* want = frames[i].data() + size_t(height - 1 - y) * stride;
            const uint8_t* got = decoded.data() + (i * height + y) * rowBytes;
            ASSERT_EQ(0, std::memcmp(want, got, rowBytes)) << "frame " << i << " line " << y;
        }
    }
}

TEST(AviFilesInTools, ThreeFullSensorFrames)
{
    ScratchDir dir;
    const std::string path = dir.File("full.avi");
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(path.c_str(), 1360, 1024, 24, 30));
    std::vector<std::vector<uint8_t>> frames;
    for (uint32_t i = 0; i < 3; ++i) {
        frames.push_back(Frame(writer.FrameSize(), i));
        ASSERT_EQ(AviFrameResult::Written, writer.WriteFrame(frames.back().data()));
    }
    ASSERT_EQ(1, writer.Close(2500));
    const std::string probe = Probe(path);
    EXPECT_NE(std::string::npos, probe.find("codec_name=rawvideo\n")) << probe;
    EXPECT_NE(std::string::npos, probe.find("width=1360\nheight=1024\n")) << probe;
    EXPECT_NE(std::string::npos, probe.find("pix_fmt=bgr24\n")) << probe;
    EXPECT_NE(std::string::npos, probe.find("nb_read_frames=3\n")) << probe;
    EXPECT_NE(std::string::npos, probe.find("r_frame_rate=25/1\n")) << probe;  // rate 2500 hundredths
    ExpectDecodedFrames(path, frames, 1360, 1024);
}

TEST(AviFilesInTools, ThreeHundredPaddedFramesInTenSeconds)
{
    ScratchDir dir;
    const std::string path = dir.File("small.avi");
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(path.c_str(), 35, 9, 24, 30));  // 105-byte lines in 108-byte rows
    std::vector<std::vector<uint8_t>> frames;
    for (uint32_t i = 0; i < 300; ++i) {
        frames.push_back(Frame(writer.FrameSize(), i));
        ASSERT_EQ(AviFrameResult::Written, writer.WriteFrame(frames.back().data()));
    }
    ASSERT_EQ(1, writer.Close(3000));
    const std::string probe = Probe(path);
    EXPECT_NE(std::string::npos, probe.find("width=35\nheight=9\n")) << probe;
    EXPECT_NE(std::string::npos, probe.find("nb_read_frames=300\n")) << probe;
    EXPECT_NE(std::string::npos, probe.find("r_frame_rate=10000000/333333\n")) << probe;
    EXPECT_NE(std::string::npos, probe.find("time_base=333333/10000000\n")) << probe;
    ExpectDecodedFrames(path, frames, 35, 9);
}

TEST(AviFilesInTools, FileClosedAtTheSizeLimitStillPlays)
{
    ScratchDir dir;
    const std::string path = dir.File("limited.avi");
    CAviWriter writer;
    writer.SetSizeLimit(232 + 5 * (8 + 48 + 16) + 8);  // room for exactly five 4 x 4 frames
    ASSERT_EQ(1, writer.Open(path.c_str(), 4, 4, 24, 30));
    std::vector<std::vector<uint8_t>> frames;
    for (uint32_t i = 0; i < 8; ++i) {
        std::vector<uint8_t> frame = Frame(writer.FrameSize(), i);
        const AviFrameResult result = writer.WriteFrame(frame.data());
        EXPECT_EQ(i < 5 ? AviFrameResult::Written : AviFrameResult::FileFull, result) << "frame " << i;
        if (result == AviFrameResult::Written)
            frames.push_back(frame);
    }
    ASSERT_EQ(1, writer.Close(3000));
    const std::string probe = Probe(path);
    EXPECT_NE(std::string::npos, probe.find("nb_read_frames=5\n")) << probe;
    ExpectDecodedFrames(path, frames, 4, 4);
}

}  // namespace
