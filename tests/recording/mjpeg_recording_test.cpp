// Motion-JPEG recording through the exports on the simulated camera: the record format's arguments
// and its registry value, files read back by ffprobe and decoded by ffmpeg against an uncompressed
// recording of the same picture, the quantisation tables of each quality, gray images for the gray
// colour modes, and an unplugged camera's file.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/recording/jpeg_quant_tables.h"
#include "tests/recording/recording_support.h"
#include "tests/settings/registry_test_keys.h"
#include "tests/support/camera.h"

using qtest::DrainHistory;
using qtest::ScratchFolder;

namespace {

const int kW = 1360, kH = 1024;

// What ffmpeg says while it decodes every frame: nothing for a sound file.
std::string DecodeErrors(const std::string& path) {
    std::string out;
    const int code = qtest::RunUnix("ffmpeg -v error -i " + qtest::ShellQuote(qtest::UnixPath(path)) + " -f null -", &out);
    return code == 0 ? out : "exit " + std::to_string(code) + ": " + out;
}

std::string ProbeField(const std::string& path, const char* field) {
    std::string out;
    qtest::RunUnix("ffprobe -v error -select_streams v:0 -show_entries stream=" + std::string(field) +
                       " -of default=nw=1:nk=1 " + qtest::ShellQuote(qtest::UnixPath(path)), &out);
    return out.substr(0, out.find('\n'));
}

// A picture with gradients, soft waves and hard-edged blocks, like a lit scene more than noise.
std::vector<uint8_t> ScenePicture() {
    std::vector<uint8_t> rgb(size_t(kW) * kH * 3);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t* p = &rgb[(size_t(y) * kW + x) * 3];
            p[0] = uint8_t(x * 255 / kW);
            p[1] = uint8_t((x / 170 + y / 128) % 3 == 0 ? 40 : y * 255 / kH);
            p[2] = uint8_t(128 + 100 * std::sin(x / 60.0) * std::cos(y / 45.0));
        }
    return rgb;
}

// A camera at fast pacing with first-run settings.
class MjpegRecording : public qtest::CameraTest {
protected:
    // Records ms into path; the file once finished.
    void Record(const std::string& path, int format, int quality, int ms) {
        ASSERT_EQ(Quorin_SetRecordFormat(h_, format, quality), 1);
        ASSERT_EQ(Quorin_Record(h_, path.c_str(), ms, 0), 1) << "history " << ::testing::PrintToString(DrainHistory(h_));
        ASSERT_TRUE(rectest::WaitUntilFinished(path, ms + 30000));
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
    }
};

}  // namespace

TEST_F(MjpegRecording, FormatArgumentsAndTheStoredValue) {
    int format = -1, quality = -1;
    ASSERT_EQ(Quorin_GetRecordFormat(h_, &format, &quality), 1);
    EXPECT_EQ(std::make_pair(format, quality), std::make_pair(0, 90));
    const int bad[][2] = {{-1, 90}, {2, 90}, {1, 0}, {1, 101}, {0, 0}};
    for (const auto& b : bad) {
        EXPECT_EQ(Quorin_SetRecordFormat(h_, b[0], b[1]), 0) << b[0] << ", " << b[1];
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{QUORIN_ERR_PARAMETER});
    }
    EXPECT_EQ(Quorin_GetRecordFormat(h_, nullptr, &quality), 0);
    EXPECT_EQ(Quorin_GetRecordFormat(h_, &format, nullptr), 0);
    EXPECT_EQ(DrainHistory(h_), (std::vector<int>{QUORIN_ERR_PARAMETER, QUORIN_ERR_PARAMETER}));
    EXPECT_EQ(Quorin_GetRecordFormat(0, &format, &quality), 0);

    ASSERT_EQ(Quorin_SetRecordFormat(h_, 1, 55), 1);
    ASSERT_EQ(Quorin_Release(h_), 1);
    cam_.handle = h_ = 0;
    EXPECT_EQ(ReadValues(CameraPath(int(cam_.camera)) + "\\Record"), (std::map<std::string, int64_t>{{"Format", 1}, {"Quality", 55}}));
    cam_.handle = h_ = Quorin_Initialize(nullptr);
    ASSERT_NE(h_, 0);
    if (cam_.camera != 0) {
        ASSERT_EQ(Quorin_SetDeviceNumber(h_, int(cam_.camera)), 1);  // loads its values
    }
    ASSERT_EQ(Quorin_GetRecordFormat(h_, &format, &quality), 1);
    EXPECT_EQ(std::make_pair(format, quality), std::make_pair(1, 55));
}

TEST_F(MjpegRecording, QualityNinetyKeepsThePictureAtAFractionOfTheSize) {
    ASSERT_TRUE(qtest::SetPicture(cam_.camera, ScenePicture()));
    ScratchFolder dir;
    const std::string raw = dir.File("raw.avi"), mjpeg = dir.File("mjpeg.avi");
    Record(raw, 0, 90, 500);
    Record(mjpeg, 1, 90, 2000);

    const rectest::Probe probe = rectest::ProbeAvi(mjpeg), rawProbe = rectest::ProbeAvi(raw);
    ASSERT_TRUE(probe.read && rawProbe.read) << probe.text << rawProbe.text;
    EXPECT_EQ(probe.warnings, "");
    EXPECT_EQ(ProbeField(mjpeg, "codec_name"), "mjpeg");
    EXPECT_EQ(std::make_pair(probe.width, probe.height), std::make_pair(kW, kH));
    ASSERT_GE(probe.frames, 5);
    // The measured rate, not the nominal 30: the frames over the time from the first to the last one,
    // which ends with the first frame past the duration (a late frame under load stretches it).
    EXPECT_NEAR(probe.rate, probe.frames / 2.0, probe.frames / 2.0 * 0.25);
    EXPECT_EQ(DecodeErrors(mjpeg), "");

    const std::vector<std::vector<uint8_t>> a = rectest::DecodeAvi(raw, kW, kH, 1), b = rectest::DecodeAvi(mjpeg, kW, kH, 1);
    ASSERT_TRUE(a.size() == 1 && b.size() == 1);
    double squared = 0;
    for (size_t i = 0; i < a[0].size(); ++i) squared += double(a[0][i] - b[0][i]) * (a[0][i] - b[0][i]);
    const double psnr = 10 * std::log10(255.0 * 255.0 * a[0].size() / squared);
    EXPECT_GE(psnr, 38.0);
    const double rawPerFrame = double(qtest::ReadBytes(raw).size()) / rawProbe.frames;
    const double mjpegPerFrame = double(qtest::ReadBytes(mjpeg).size()) / probe.frames;
    EXPECT_GE(rawPerFrame / mjpegPerFrame, 8.0);
    std::printf("[ figures  ] PSNR %.1f dB; bytes per frame %.0f uncompressed (%.1f fps), %.0f Motion-JPEG 90 (%.1f fps)\n",
                psnr, rawPerFrame, rawProbe.rate, mjpegPerFrame, probe.rate);
}

TEST_F(MjpegRecording, QualitiesAndColourModesGiveTheirTablesAndImages) {
    // A still picture: the first frames of the recordings show the same image, whatever the time.
    ASSERT_TRUE(qtest::SetPicture(cam_.camera, ScenePicture()));
    ASSERT_EQ(Quorin_SetCaptureWindowEx(h_, 1360, 0, 320, 1024, 0, 240), 1);
    struct Case {
        int bits, quality;
        const char* pixels;
    };
    const Case cases[] = {{24, 100, "yuvj420p"}, {24, 50, "yuvj420p"}, {24, 10, "yuvj420p"}, {8, 90, "gray"}, {16, 90, "gray"}};
    ScratchFolder dir;
    uint32_t previous = UINT32_MAX;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, quality " << c.quality);
        ASSERT_EQ(Quorin_SetColorMode(h_, c.bits), 1);
        const std::string path = dir.File("q" + std::to_string(c.quality) + "_" + std::to_string(c.bits) + ".avi");
        Record(path, 1, c.quality, 300);
        EXPECT_EQ(Quorin_StopPreview(h_), 1);  // the next colour mode applies from the next start
        EXPECT_EQ(ProbeField(path, "pix_fmt"), c.pixels);
        EXPECT_EQ(DecodeErrors(path), "");
        // The first chunk follows "movi" at 232: "00dc", its size, the JPEG image.
        const std::vector<uint8_t> f = qtest::ReadBytes(path);
        ASSERT_GT(f.size(), 240u);
        ASSERT_EQ(std::string(f.begin() + 232, f.begin() + 236), "00dc");
        const uint32_t bytes = f[236] | f[237] << 8 | f[238] << 16 | uint32_t(f[239]) << 24;
        ASSERT_LE(240 + size_t(bytes), f.size());
        const std::vector<std::vector<int>> tables = jpegtest::QuantTables(&f[240], bytes);
        ASSERT_EQ(tables.size(), c.bits == 24 ? 2u : 1u);  // gray images have no chrominance table
        EXPECT_EQ(tables[0], jpegtest::LuminanceTable(c.quality));
        EXPECT_TRUE(c.bits != 24 || bytes < previous) << bytes;  // the same picture at a lower quality
        previous = bytes;
    }
}

TEST_F(MjpegRecording, UnpluggedCameraLeavesEveryWholeFrame) {
    ASSERT_EQ(Quorin_SetRecordFormat(h_, 1, 90), 1);
    ScratchFolder dir;
    const std::string path = dir.File("unplug.avi");
    ASSERT_EQ(Quorin_Record(h_, path.c_str(), 60000, 0), 1);
    Sleep(1500);
    ASSERT_TRUE(cam_.sim.Detach(cam_.camera));
    ASSERT_TRUE(rectest::WaitUntilFinished(path, 20000));
    const rectest::Probe probe = rectest::ProbeAvi(path);
    ASSERT_TRUE(probe.read) << probe.text;
    EXPECT_EQ(probe.warnings, "");
    EXPECT_GE(probe.frames, 2);
    EXPECT_EQ(DecodeErrors(path), "");
}
