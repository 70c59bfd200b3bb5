// Writes to a nearly full file system, a read-only one and a full device: every writer reports
// 0 and leaves nothing half-written behind, and an existing file it could not open stays as it
// was. Mounts need root; without it the suite is skipped.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "files/avi_writer.h"
#include "files/still_image_writer.h"
#include "still_test_support.h"
#include "tool_runner.h"

namespace {

uint64_t FreeBytes(const std::string& path)
{
    struct statvfs info;
    return statvfs(path.c_str(), &info) == 0 ? uint64_t{info.f_bavail} * info.f_frsize : 0;
}

class FullLocation : public ::testing::Test {
protected:
    void SetUp() override
    {
        full_ = dir_.File("full");
        readOnly_ = dir_.File("ro");
        readOnlySource_ = dir_.File("ro-source");
        ASSERT_EQ(0, mkdir(full_.c_str(), 0755));
        ASSERT_EQ(0, mkdir(readOnly_.c_str(), 0755));
        ASSERT_EQ(0, mkdir(readOnlySource_.c_str(), 0755));
        if (mount("tmpfs", full_.c_str(), "tmpfs", 0, "size=256k") != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs (needs root)";
        fullMounted_ = true;
        std::ofstream(readOnlySource_ + "/existing.bmp", std::ios::binary) << "keep me";
        ASSERT_EQ(0, mount(readOnlySource_.c_str(), readOnly_.c_str(), nullptr, MS_BIND, nullptr));
        roMounted_ = true;
        ASSERT_EQ(0, mount(nullptr, readOnly_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr));
    }
    void TearDown() override
    {
        if (roMounted_)
            umount(readOnly_.c_str());
        if (fullMounted_)
            umount(full_.c_str());
    }
    // Fills the tmpfs until about `keep` bytes are left.
    void FillLeaving(uint64_t keep)
    {
        const uint64_t free = FreeBytes(full_);
        ASSERT_GT(free, keep);
        std::ofstream filler(full_ + "/filler", std::ios::binary);
        filler << std::string(size_t(free - keep), 'f');
        filler.close();
        ASSERT_LE(FreeBytes(full_), keep + 4096);
    }

    ScratchDir dir_;
    std::string full_, readOnly_, readOnlySource_;
    bool fullMounted_ = false, roMounted_ = false;
};

TEST_F(FullLocation, StillFilesThatDoNotFitAreRemoved)
{
    FillLeaving(4 * 1024);
    const uint64_t before = FreeBytes(full_);
    for (uint16_t depth : {8, 16, 24, 32, 48, 64}) {
        CDibImage image;
        ASSERT_EQ(1, image.Create(320, 240, depth));
        FillPattern(image, Pattern::Noise, depth);
        for (int type = 0; type <= 6; ++type) {
            SCOPED_TRACE("depth " + std::to_string(depth) + " type " + std::to_string(type));
            const std::string path = full_ + "/still" + std::to_string(type);
            EXPECT_EQ(0, SaveStillImage(path.c_str(), image, type, 10));
            EXPECT_FALSE(FileExists(path));
        }
    }
    EXPECT_EQ(before, FreeBytes(full_));  // no partial file holds on to space

    // libpng's failure is reported in its own words before the writer gives up.
    CDibImage png;
    ASSERT_EQ(1, png.Create(320, 240, 24));
    FillPattern(png, Pattern::Noise, 8);
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, SaveStillImage((full_ + "/msg.png").c_str(), png, kStillFilePng, 10));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("libpng error: Write Error\n"));

    CDibImage small;
    ASSERT_EQ(1, small.Create(8, 8, 24));
    FillPattern(small, Pattern::Noise, 1);
    const std::string fits = full_ + "/fits.bmp";
    EXPECT_EQ(1, SaveStillImage(fits.c_str(), small, kStillFileBmp, 10));
    EXPECT_EQ(54u + 8u * 24u, ReadFileBytes(fits).size());
}

TEST_F(FullLocation, ReadOnlyFolderGivesZeroAndKeepsExistingFile)
{
    CDibImage image;
    ASSERT_EQ(1, image.Create(16, 16, 24));
    FillPattern(image, Pattern::Noise, 3);
    for (int type = 0; type <= 6; ++type) {
        SCOPED_TRACE(type);
        const std::string fresh = readOnly_ + "/new" + std::to_string(type);
        EXPECT_EQ(0, SaveStillImage(fresh.c_str(), image, type, 10));
        EXPECT_FALSE(FileExists(fresh));
        const std::string existing = readOnly_ + "/existing.bmp";
        EXPECT_EQ(0, SaveStillImage(existing.c_str(), image, type, 10));
        const std::vector<uint8_t> kept = ReadFileBytes(existing);
        EXPECT_EQ("keep me", std::string(kept.begin(), kept.end()));
    }
    CAviWriter writer;
    EXPECT_EQ(0, writer.Open((readOnly_ + "/rec.avi").c_str(), 16, 16, 24, 30));
    EXPECT_FALSE(FileExists(readOnly_ + "/rec.avi"));
}

TEST_F(FullLocation, FullDeviceFailsAndIsNotRemoved)
{
    CDibImage image;
    ASSERT_EQ(1, image.Create(300, 200, 32));
    FillPattern(image, Pattern::Noise, 4);
    for (int type = 0; type <= 6; ++type)
        EXPECT_EQ(0, SaveStillImage("/dev/full", image, type, 10)) << "type " << type;
    CAviWriter writer;
    EXPECT_EQ(0, writer.Open("/dev/full", 64, 64, 24, 30));
    struct stat info;
    ASSERT_EQ(0, stat("/dev/full", &info));
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST_F(FullLocation, AviKeepsTheFramesThatFit)
{
    FillLeaving(24 * 1024);
    const std::string path = full_ + "/rec.avi";
    CAviWriter writer;
    ASSERT_EQ(1, writer.Open(path.c_str(), 40, 25, 24, 30));  // 3000-byte frames
    std::vector<uint8_t> frame(writer.FrameSize());
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i * 13);
    uint32_t written = 0;
    AviFrameResult result = AviFrameResult::Written;
    for (int i = 0; i < 20 && result == AviFrameResult::Written; ++i) {
        result = writer.WriteFrame(frame.data());
        written += result == AviFrameResult::Written;
    }
    ASSERT_EQ(AviFrameResult::Failed, result);
    ASSERT_GT(written, 0u);
    EXPECT_EQ(AviFrameResult::Failed, writer.WriteFrame(frame.data()));  // the writer has stopped
    EXPECT_EQ(written, writer.FrameCount());
    ASSERT_EQ(1, writer.Close(3000));
    const std::vector<uint8_t> f = ReadFileBytes(path);
    ASSERT_EQ(232u + written * 3008u + 8u + 16u * written, f.size());
    EXPECT_EQ(f.size() - 8, U32At(f, 4));
    EXPECT_EQ(written, U32At(f, 48));
    const ToolResult probe = RunTool("ffprobe -v error -count_frames -show_entries stream=nb_read_frames "
                                     "-of default=nw=1 " + ShellQuote(path));
    EXPECT_EQ("nb_read_frames=" + std::to_string(written) + "\n", probe.output);
}

}  // namespace
