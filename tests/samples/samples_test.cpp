// The sample programs and the demo run as a user runs them, as their own processes against the
// simulated camera; what they print and the files they write are checked by Debian's readers
// (Pillow, ffprobe).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/acquisition/acquisition_support.h"
#include "tests/recording/recording_support.h"
#include "tests/support/process.h"
#include "tests/support/scratch.h"

namespace {

// Runs a program of the build's bin folder with a command line and collects what it prints; one
// still running after timeoutMs is ended and reported so.
qtest::ChildResult RunProgram(const std::string& name, const std::string& args, DWORD timeoutMs = 120000) {
    return qtest::RunChild("\"" + qtest::ProgramPath(name) + "\" " + args, timeoutMs, qtest::ChildOptions{true});
}

// The line of the output that starts with prefix, or "".
std::string LineStarting(const std::string& output, const std::string& prefix) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
        if (line.compare(0, prefix.size(), prefix) == 0) return line;
    return "";
}

// What picture_summary.py reads from a picture file.
struct Picture {
    bool decoded = false;
    int width = 0, height = 0;
    std::string mode;
    int left[3] = {}, right[3] = {};  // mean colours of the middle rows' left and right quarters
    int distinct = 0;
    std::string text;
};

Picture Summarise(const std::string& windowsPath) {
    Picture p;
    const int code = qtest::RunUnix("/usr/bin/python3 '" SAMPLES_TEST_SOURCE_DIR "/picture_summary.py' '" +
                                          qtest::UnixPath(windowsPath) + "'",
                                      &p.text);
    char mode[16] = "";
    p.decoded = code == 0 && std::sscanf(p.text.c_str(), "%d %d %15s %d %d %d %d %d %d %d", &p.width, &p.height, mode,
                                         &p.left[0], &p.left[1], &p.left[2], &p.right[0], &p.right[1], &p.right[2],
                                         &p.distinct) == 10;
    p.mode = mode;
    return p;
}

class SamplesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(qtest::SimReady(0));
        qtest::ClearProductKey();  // the samples start from first-run settings
    }
    void TearDown() override {
        sim_.Attach(0);
        sim_.Reset(0);
    }
    // The simulated camera shows a still picture: red on the left half, blue on the right.
    void ShowRedLeftBlueRight() { ASSERT_TRUE(qtest::SetPicture(0, acqtest::RedLeftBlueRightPicture())); }
    simtest::SimControl& sim_ = qtest::Sim();
    qtest::ScratchFolder folder_{"samples"};
};

// Each row: a colour mode and a file format. The picture is still, so the SDK's raw snapshot in
// this process and the sample's file show the same image; Pillow decodes the file and compares it
// with the raw pixels, and the colour modes must show red on the left and blue on the right.
TEST_F(SamplesTest, SnapshotFilesDecodeToTheCameraImage) {
    ShowRedLeftBlueRight();
    struct Row { int colour; const char* format; int type; const char* mode; };
    const Row rows[] = {
        {8, "png", QUORIN_FILE_PNG, "L"},       {16, "tif", QUORIN_FILE_TIFF, "I;16"},
        {24, "jpg", QUORIN_FILE_JPEG_100, "RGB"},
        {32, "png", QUORIN_FILE_PNG, "RGBA"},   {48, "tif", QUORIN_FILE_TIFF, "RGB"},
        {64, "png", QUORIN_FILE_PNG, "RGBA"},
    };
    auto nameOf = [&](const Row& r, const char* ext) {
        return folder_.File("snap" + std::to_string(r.colour) + "_" + r.format + "." + ext);
    };
    {
        // The raw references, from one camera of this process (one open, not one sample run each).
        const int h = Quorin_Initialize(nullptr);
        ASSERT_NE(0, h);
        for (const Row& r : rows)
            EXPECT_TRUE(Quorin_SetColorMode(h, r.colour) && Quorin_SnapShot(h, nullptr, 0, 1) &&
                        Quorin_SaveImage(h, nameOf(r, "raw").c_str(), QUORIN_FILE_RAW))
                << r.colour << "-bit raw reference";
        Quorin_Release(h);
        qtest::ClearProductKey();  // the sample starts from first-run settings again
    }
    std::ostringstream manifest;
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.colour) + "-bit " + r.format);
        const std::string file = nameOf(r, r.format), raw = nameOf(r, "raw");
        const std::string colour = "--colour " + std::to_string(r.colour) + " ";
        const qtest::ChildResult run =
            RunProgram("snapshot.exe", colour + "--format " + r.format + " \"" + file + "\"");
        ASSERT_EQ(run.exitCode, 0u) << run.Describe();
        EXPECT_NE(LineStarting(run.output, "snapshot: camera 0, 1360 x 1024"), "") << run.output;
        const int stride = ((1360 * r.colour / 8) + 3) & ~3;
        manifest << qtest::UnixPath(file) << " " << r.type << " " << r.colour << " 1360 1024 " << stride << " "
                 << qtest::UnixPath(raw) << "\n";

        const Picture p = Summarise(file);
        ASSERT_TRUE(p.decoded) << p.text;
        EXPECT_EQ(p.width, 1360);
        EXPECT_EQ(p.height, 1024);
        EXPECT_EQ(p.mode, r.mode);
        if (r.colour >= 24) {
            EXPECT_GT(p.left[0], p.left[2] + 40) << p.text;   // red on the left
            EXPECT_GT(p.right[2], p.right[0] + 40) << p.text; // blue on the right
        }
    }
    const std::string list = folder_.File("manifest.txt");
    std::ofstream(list) << manifest.str();
    std::string out;
    EXPECT_EQ(qtest::RunUnix("/usr/bin/python3 '" QUORIN_ROOT_DIR "/tests/files/check_still_files.py' '" +
                                   qtest::UnixPath(list) + "'",
                               &out),
              0)
        << out;
}

TEST_F(SamplesTest, SnapshotTakesTheCameraItIsGiven) {
    ASSERT_TRUE(sim_.Attach(3));
    const std::string present = folder_.File("camera3.bmp"), absent = folder_.File("camera9.bmp");
    const qtest::ChildResult ok = RunProgram("snapshot.exe", "--camera 3 \"" + present + "\"");
    const qtest::ChildResult refused = RunProgram("snapshot.exe", "--camera 9 \"" + absent + "\"");
    const qtest::ChildResult bad = RunProgram("snapshot.exe", "--format gif \"" + absent + "\"");
    sim_.Detach(3);
    EXPECT_EQ(ok.exitCode, 0u) << ok.Describe();
    EXPECT_TRUE(qtest::Exists(present));
    EXPECT_EQ(refused.exitCode, 1u) << refused.Describe();
    EXPECT_EQ(bad.exitCode, 2u) << bad.Describe();
    EXPECT_FALSE(qtest::Exists(absent));
}

// The sample's own count over 3 s against the frames the simulated camera delivered and its period.
TEST_F(SamplesTest, CallbackReportsTheCameraRate) {
    const uint32_t deliveredBefore = sim_.Status(0).frames_delivered;
    const qtest::ChildResult run = RunProgram("callback.exe", "--seconds 3");
    ASSERT_EQ(run.exitCode, 0u) << run.Describe();
    const M52SimStatus status = sim_.Status(0);
    const double delivered = status.frames_delivered - deliveredBefore;
    ASSERT_GT(status.frame_period_us, 0u);
    const double cameraRate = 1e6 / double(status.frame_period_us);

    for (int second = 1; second <= 3; ++second)
        EXPECT_NE(LineStarting(run.output, "second " + std::to_string(second) + ":"), "") << run.output;
    unsigned frames = 0, lost = 99;
    double seconds = 0, rate = 0;
    ASSERT_EQ(std::sscanf(LineStarting(run.output, "total:").c_str(), "total: %u frames in %lf s, %lf fps, %u lost",
                          &frames, &seconds, &rate, &lost),
              4)
        << run.output;
    // The sample counts what the camera sent: at most its rate, and every frame it delivered but
    // the few in flight when the sample stopped. (A busy machine can slow the simulated camera
    // itself below its period; the sample's count must follow it.)
    EXPECT_LE(rate, cameraRate * 1.15) << run.output;
    EXPECT_NEAR(frames, delivered, 3 + 0.15 * delivered) << run.output;
    EXPECT_NEAR(rate, frames / seconds, 0.05 * rate + 0.1) << run.output;
    EXPECT_EQ(lost, 0u) << run.output;
}

// Exactly one file per pulse: the simulated camera delivered as many frames as were pulsed, and
// each file decodes to a whole frame.
TEST_F(SamplesTest, TriggerWritesOneFilePerPulse) {
    const uint32_t deliveredBefore = sim_.Status(0).frames_delivered;
    std::string folder = folder_.Windows();
    folder.pop_back();  // no backslash before the closing quote, where it would escape it
    const qtest::ChildResult run = RunProgram("trigger.exe", "--pulses 4 --interval 200 \"" + folder + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.Describe();
    EXPECT_NE(LineStarting(run.output, "total: 4 pulses sent, 4 files written"), "") << run.output;
    EXPECT_EQ(sim_.Status(0).frames_delivered - deliveredBefore, 4u);
    for (int i = 1; i <= 4; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%03d.bmp", i);
        const Picture p = Summarise(folder_.File(name));
        EXPECT_TRUE(p.decoded && p.width == 1360 && p.height == 1024) << name << ": " << p.text;
    }
    EXPECT_FALSE(qtest::Exists(folder_.File("frame_005.bmp")));
}

// The tour: every step succeeds, and what it says it wrote is there and reads back.
TEST_F(SamplesTest, DemoTourEndsWithItsSummary) {
    const std::string out = folder_.File("demo");
    for (int pass = 1; pass <= 2; ++pass) {  // a second run replaces the first one's files
        SCOPED_TRACE("run " + std::to_string(pass));
        const qtest::ChildResult run = RunProgram("quorin_demo.exe", "\"" + out + "\"", 180000);
        ASSERT_EQ(run.exitCode, 0u) << run.Describe();
        const std::string summary = LineStarting(run.output, "demo ok:");
        unsigned lost = 99, frames = 0;
        ASSERT_NE(summary, "") << run.output;
        ASSERT_EQ(std::sscanf(summary.c_str() + summary.find("fps, "), "fps, %u lost", &lost), 1) << summary;
        ASSERT_EQ(std::sscanf(summary.c_str() + summary.find("recording "), "recording %u frames", &frames), 1);
        EXPECT_LE(lost, 3u) << summary;  // a busy machine may skip one now and then; the demo allows 1 in 20

        const Picture shot = Summarise(out + "\\preview.png");
        EXPECT_TRUE(shot.decoded && shot.width == 1360 && shot.height == 1024) << shot.text;
        EXPECT_GT(shot.distinct, 8) << "the screenshot is blank: " << shot.text;
        for (const char* still : {"bmp", "png", "jpg", "tif"})
            EXPECT_TRUE(Summarise(out + "\\snapshot." + still).decoded) << still;
        WIN32_FILE_ATTRIBUTE_DATA raw = {};
        ASSERT_TRUE(GetFileAttributesExA((out + "\\snapshot.raw").c_str(), GetFileExInfoStandard, &raw));
        EXPECT_EQ(raw.nFileSizeLow, 1360u * 3 * 1024);
        const rectest::Probe avi = rectest::ProbeAvi(out + "\\recording.avi");
        EXPECT_TRUE(avi.read) << avi.text;
        EXPECT_EQ(avi.frames, int64_t(frames)) << avi.text;
    }
    for (const char* f : {"preview.png", "snapshot.bmp", "snapshot.png", "snapshot.jpg", "snapshot.tif",
                          "snapshot.raw", "recording.avi"})
        DeleteFileA((out + "\\" + f).c_str());
    RemoveDirectoryA(out.c_str());
}

}  // namespace
