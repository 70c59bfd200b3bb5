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

namespace {

const char kProductKey[] = "Software\\Zudada\\QuorinM52DXLTXSdk";

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// Runs a program of the build's bin folder with a command line; collects what it prints (through
// a file: the program's output may be larger than a pipe holds). A program still running after
// timeoutMs is ended and reported with exit code -1.
ProgramRun RunProgram(const std::string& name, const std::string& args, DWORD timeoutMs = 120000) {
    static int runs = 0;
    ProgramRun run;
    char exe[MAX_PATH];
    std::string path(exe, GetModuleFileNameA(nullptr, exe, MAX_PATH));
    path = path.substr(0, path.find_last_of("\\/") + 1) + name;
    char outName[96];
    std::snprintf(outName, sizeof outName, "Z:\\tmp\\quorin_sample_%lu_%d.out", GetCurrentProcessId(), runs++);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(outName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0,
                             nullptr);
    if (out == INVALID_HANDLE_VALUE) return run;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION pi = {};
    std::string line = "\"" + path + "\" " + args;
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        DWORD code = 0;
        if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 10000);
            run.output = "(did not end within the time)\n";
        } else if (GetExitCodeProcess(pi.hProcess, &code)) {
            run.exitCode = static_cast<int>(code);
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(out);
    std::ifstream in(outName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    run.output += text.str();
    in.close();
    DeleteFileA(outName);
    return run;
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
    const int code = rectest::RunUnix("/usr/bin/python3 '" SAMPLES_TEST_SOURCE_DIR "/picture_summary.py' '" +
                                          rectest::UnixPath(windowsPath) + "'",
                                      &p.text);
    char mode[16] = "";
    p.decoded = code == 0 && std::sscanf(p.text.c_str(), "%d %d %15s %d %d %d %d %d %d %d", &p.width, &p.height, mode,
                                         &p.left[0], &p.left[1], &p.left[2], &p.right[0], &p.right[1], &p.right[2],
                                         &p.distinct) == 10;
    p.mode = mode;
    return p;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class SamplesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sim_.IsOpen()) GTEST_SKIP() << "the simulated camera driver is not installed";
        ASSERT_TRUE(sim_.Attach(0) && sim_.Reset(0));
        RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);  // the samples start from first-run settings
    }
    void TearDown() override {
        sim_.Attach(0);
        sim_.Reset(0);
    }
    // The simulated camera shows a still picture: red on the left half, blue on the right.
    void ShowRedLeftBlueRight() {
        const std::string bmp = folder_.File("scene.bmp");
        ASSERT_TRUE(acqtest::WriteBmp(bmp, 1360, 1024, acqtest::RedLeftBlueRightPicture()));
        std::string why;
        ASSERT_TRUE(acqtest::RunM52Sim("scene 0 \"" + bmp + "\"", &why)) << why;
    }
    simtest::SimControl sim_;
    rectest::ScratchFolder folder_;
};

// Each row: a colour mode and a file format. The picture is still, so a raw snapshot and one in
// the format show the same image; Pillow decodes the file and compares it with the raw pixels,
// and the colour modes must show red on the left and blue on the right.
TEST_F(SamplesTest, SnapshotFilesDecodeToTheCameraImage) {
    ShowRedLeftBlueRight();
    struct Row { int colour; const char* format; int type; const char* mode; };
    const Row rows[] = {
        {8, "png", QUORIN_FILE_PNG, "L"},       {16, "tif", QUORIN_FILE_TIFF, "I;16"},
        {24, "jpg", QUORIN_FILE_JPEG_100, "RGB"},
        {32, "png", QUORIN_FILE_PNG, "RGBA"},   {48, "tif", QUORIN_FILE_TIFF, "RGB"},
        {64, "png", QUORIN_FILE_PNG, "RGBA"},
    };
    std::ostringstream manifest;
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.colour) + "-bit " + r.format);
        const std::string base = folder_.File("snap" + std::to_string(r.colour) + "_" + r.format);
        const std::string file = base + "." + r.format, raw = base + ".raw";
        const std::string colour = "--colour " + std::to_string(r.colour) + " ";
        ProgramRun run = RunProgram("snapshot.exe", colour + "--format raw \"" + raw + "\"");
        ASSERT_EQ(run.exitCode, 0) << run.output;
        run = RunProgram("snapshot.exe", colour + "--format " + r.format + " \"" + file + "\"");
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(LineStarting(run.output, "snapshot: camera 0, 1360 x 1024"), "") << run.output;
        const int stride = ((1360 * r.colour / 8) + 3) & ~3;
        manifest << rectest::UnixPath(file) << " " << r.type << " " << r.colour << " 1360 1024 " << stride << " "
                 << rectest::UnixPath(raw) << "\n";

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
    EXPECT_EQ(rectest::RunUnix("/usr/bin/python3 '" QUORIN_ROOT_DIR "/tests/files/check_still_files.py' '" +
                                   rectest::UnixPath(list) + "'",
                               &out),
              0)
        << out;
}

TEST_F(SamplesTest, SnapshotTakesTheCameraItIsGiven) {
    ASSERT_TRUE(sim_.Attach(3));
    const std::string present = folder_.File("camera3.bmp"), absent = folder_.File("camera9.bmp");
    const ProgramRun ok = RunProgram("snapshot.exe", "--camera 3 \"" + present + "\"");
    const ProgramRun refused = RunProgram("snapshot.exe", "--camera 9 \"" + absent + "\"");
    const ProgramRun bad = RunProgram("snapshot.exe", "--format gif \"" + absent + "\"");
    sim_.Detach(3);
    EXPECT_EQ(ok.exitCode, 0) << ok.output;
    EXPECT_TRUE(Exists(present));
    EXPECT_EQ(refused.exitCode, 1) << refused.output;
    EXPECT_EQ(bad.exitCode, 2) << bad.output;
    EXPECT_FALSE(Exists(absent));
}

// The sample's own count over 3 s against the frame period the simulated camera runs at.
TEST_F(SamplesTest, CallbackReportsTheCameraRate) {
    const ProgramRun run = RunProgram("callback.exe", "--seconds 3");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const M52SimStatus status = sim_.Status(0);
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
    EXPECT_NEAR(rate, cameraRate, cameraRate * 0.15) << run.output;
    EXPECT_EQ(lost, 0u) << run.output;
}

// Exactly one file per pulse: the simulated camera delivered as many frames as were pulsed, and
// each file decodes to a whole frame.
TEST_F(SamplesTest, TriggerWritesOneFilePerPulse) {
    const uint32_t deliveredBefore = sim_.Status(0).frames_delivered;
    std::string folder = folder_.Windows();
    folder.pop_back();  // no backslash before the closing quote, where it would escape it
    const ProgramRun run = RunProgram("trigger.exe", "--pulses 4 --interval 200 \"" + folder + "\"");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(LineStarting(run.output, "total: 4 pulses sent, 4 files written"), "") << run.output;
    EXPECT_EQ(sim_.Status(0).frames_delivered - deliveredBefore, 4u);
    for (int i = 1; i <= 4; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%03d.bmp", i);
        const Picture p = Summarise(folder_.File(name));
        EXPECT_TRUE(p.decoded && p.width == 1360 && p.height == 1024) << name << ": " << p.text;
    }
    EXPECT_FALSE(Exists(folder_.File("frame_005.bmp")));
}

// The tour: every step succeeds, and what it says it wrote is there and reads back.
TEST_F(SamplesTest, DemoTourEndsWithItsSummary) {
    const std::string out = folder_.File("demo");
    for (int pass = 1; pass <= 2; ++pass) {  // a second run replaces the first one's files
        SCOPED_TRACE("run " + std::to_string(pass));
        const ProgramRun run = RunProgram("quorin_demo.exe", "\"" + out + "\"", 180000);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const std::string summary = LineStarting(run.output, "demo ok:");
        unsigned lost = 99, frames = 0;
        ASSERT_NE(summary, "") << run.output;
        ASSERT_EQ(std::sscanf(summary.c_str() + summary.find("fps, "), "fps, %u lost", &lost), 1) << summary;
        ASSERT_EQ(std::sscanf(summary.c_str() + summary.find("recording "), "recording %u frames", &frames), 1);
        EXPECT_EQ(lost, 0u) << summary;

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
