// Every export with arguments a careless caller passes: null pointers, sizes of 0, -1, one short and
// huge, ids and values beyond their ranges, paths that are empty, too long, missing, on a full or a
// read-only location. Each case must return its documented failure, leave the documented codes in
// the history (and post them), leave every output untouched, and leave no file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/support/camera.h"
#include "tests/support/scratch.h"

namespace {

constexpr BYTE kSentinelByte = 0xA5;
constexpr int kSentinelInt = 0x5A5A5A5A;
constexpr int kAnyResult = INT_MIN + 1;  // the call must only survive
constexpr int kFrame24 = 4080 * 1024;     // one 24-bit frame at 1360 x 1024

// Output storage of one call, filled with sentinels before it.
struct Outputs {
    std::vector<BYTE> bytes = std::vector<BYTE>(kFrame24 + 4096, kSentinelByte);
    int ok = kSentinelInt;
    int value = kSentinelInt;
    char* text() { return reinterpret_cast<char*>(bytes.data()); }
    wchar_t* wide() { return reinterpret_cast<wchar_t*>(bytes.data()); }
};

struct Case {
    Case(std::string n, std::function<int(int, Outputs&)> f, int r, std::vector<int> h, std::vector<int> notify = {},
         bool zero = false, size_t writable = 0, bool image = false)
        : name(std::move(n)), call(std::move(f)), result(r), history(std::move(h)), notifyOnly(std::move(notify)),
          okZero(zero), writableBytes(writable), needsImage(image) {}
    std::string name;
    std::function<int(int, Outputs&)> call;
    int result;
    std::vector<int> history;      // recorded (and posted), newest first
    std::vector<int> notifyOnly;   // posted, not recorded
    bool okZero = false;           // the call takes an ok pointer, which must read 0 afterwards
    size_t writableBytes = 0;      // leading bytes of the buffer the call may change
    bool needsImage = false;       // a processed frame must exist before the call
};

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// A Linux folder from the environment as a Windows path on drive Z:, or "" when not set.
std::string LocationFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || !*value) return "";
    std::string path = std::string("Z:") + value;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

using qtest::DrainHistory;
using qtest::Exists;

class BadArguments : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cam_.Open(0, M52SIM_PACE_REALTIME, window_.Handle()));
        handle_ = cam_.handle;
    }
    void TearDown() override { cam_.Close(); }

    void Run(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            if (c.needsImage) {
                ASSERT_EQ(Quorin_SnapShot(handle_, nullptr, 0, 1), 1);
            }
            DrainHistory(handle_);
            TestWindow::Drain();
            Outputs out;
            const int result = c.call(handle_, out);
            if (c.result != kAnyResult) {
                EXPECT_EQ(result, c.result);
            }
            EXPECT_EQ(DrainHistory(handle_), c.history);
            // Posted: every recorded code and every notify-only one.
            std::vector<int> expected(c.history.begin(), c.history.end());
            expected.insert(expected.end(), c.notifyOnly.begin(), c.notifyOnly.end());
            std::vector<int> posted;
            for (const PostedMessage& m : TestWindow::Drain())
                if (m.message == QUORIN_WM_ERROR && m.window == window_.Handle()) posted.push_back(int(m.lParam));
            std::sort(expected.begin(), expected.end());
            std::sort(posted.begin(), posted.end());
            EXPECT_EQ(posted, expected);
            // Untouched outputs.
            const auto firstChanged = std::find_if(out.bytes.begin() + c.writableBytes, out.bytes.end(),
                                                   [](BYTE b) { return b != kSentinelByte; });
            EXPECT_TRUE(firstChanged == out.bytes.end())
                << "buffer changed at byte " << (firstChanged - out.bytes.begin());
            EXPECT_EQ(out.ok, c.okZero ? 0 : kSentinelInt);
            EXPECT_EQ(out.value, kSentinelInt);
            EXPECT_EQ(dir_.Files(), std::vector<std::string>{}) << "a file was left behind";
        }
    }

    qtest::CameraSession cam_;
    TestWindow& window_ = cam_.window;
    int handle_ = 0;
    qtest::ScratchFolder dir_{"badargs"};
};

}  // namespace

TEST_F(BadArguments, DeviceSelectionAndInformation) {
    std::vector<Case> cases = {
        {"EnumDevice null", [](int h, Outputs&) { return Quorin_EnumDevice(h, nullptr); }, 0, {9}},
        {"EnumDeviceW null", [](int h, Outputs&) { return Quorin_EnumDeviceW(h, nullptr); }, 0, {9}},
        {"GetDeviceName null", [](int h, Outputs&) { return Quorin_GetDeviceName(h, 0, nullptr, 256); }, 0, {9}},
        {"GetDeviceNameW null", [](int h, Outputs&) { return Quorin_GetDeviceNameW(h, 0, nullptr, 256); }, 0, {9}},
        {"SetDeviceNumber absent 7", [](int h, Outputs&) { return Quorin_SetDeviceNumber(h, 7); }, 0, {2}},
        {"GetCameraInfo null", [](int h, Outputs&) { return Quorin_GetCameraInfo(h, nullptr); }, 0, {9}},
    };
    for (int index : {-1, 32, 5, INT_MIN, INT_MAX}) {
        const std::vector<int> code = {index == 5 ? 2 : 9};  // 5 is in range but not attached
        cases.push_back({"GetDeviceName index " + std::to_string(index),
                         [index](int h, Outputs& o) { return Quorin_GetDeviceName(h, index, o.text(), 256); }, 0, code});
        cases.push_back({"GetDeviceNameW index " + std::to_string(index),
                         [index](int h, Outputs& o) { return Quorin_GetDeviceNameW(h, index, o.wide(), 256); }, 0,
                         code});
        if (index != 5)
            cases.push_back({"SetDeviceNumber " + std::to_string(index),
                             [index](int h, Outputs&) { return Quorin_SetDeviceNumber(h, index); }, 0, {2}});
    }
    // The name with its number and terminator takes 19: 18 is one short.
    for (int size : {0, -1, 14, 18, INT_MIN}) {
        cases.push_back({"GetDeviceName size " + std::to_string(size),
                         [size](int h, Outputs& o) { return Quorin_GetDeviceName(h, 0, o.text(), size); }, 0, {9}});
        cases.push_back({"GetDeviceNameW size " + std::to_string(size),
                         [size](int h, Outputs& o) { return Quorin_GetDeviceNameW(h, 0, o.wide(), size); }, 0, {9}});
    }
    for (int size : {35, 0, -1, INT_MIN}) {
        cases.push_back({"GetCameraInfo size " + std::to_string(size),
                         [size](int h, Outputs& o) {
                             QuorinCameraInfo info;
                             memset(&info, kSentinelByte, sizeof info);
                             info.size = size;
                             const int r = Quorin_GetCameraInfo(h, &info);
                             info.size = int(0xA5A5A5A5);
                             memcpy(o.bytes.data(), &info, sizeof info);
                             return r;
                         },
                         0, {5}});
    }
    // A huge size field fills the 36 bytes of the structure and nothing beyond.
    cases.push_back({"GetCameraInfo size INT_MAX",
                     [](int h, Outputs& o) {
                         reinterpret_cast<QuorinCameraInfo*>(o.bytes.data())->size = INT_MAX;
                         return Quorin_GetCameraInfo(h, reinterpret_cast<QuorinCameraInfo*>(o.bytes.data()));
                     },
                     1, {}, {}, false, sizeof(QuorinCameraInfo)});
    Run(cases);
    // The camera is still selected and works.
    EXPECT_EQ(Quorin_SnapShot(handle_, nullptr, 0, 1), 1);
    EXPECT_EQ(DrainHistory(handle_), std::vector<int>{});
}

TEST_F(BadArguments, ConfigurationFile) {
    const std::string longPath = dir_.File(std::string(300, 'c') + ".cfg");
    const std::wstring longWide = Widen(dir_.File(std::string(2000, 'c')));
    const std::string folder = dir_.File("");
    const std::string missing = dir_.File("missing\\x.cfg");
    const std::vector<Case> cases = {
        // The A form reports nothing when the file cannot be read.
        {"A null", [](int h, Outputs&) { return Quorin_LoadConfigFileA(h, nullptr); }, 0, {}},
        {"A empty", [](int h, Outputs&) { return Quorin_LoadConfigFileA(h, ""); }, 0, {}},
        {"A too long", [&](int h, Outputs&) { return Quorin_LoadConfigFileA(h, longPath.c_str()); }, 0, {}},
        {"A folder", [&](int h, Outputs&) { return Quorin_LoadConfigFileA(h, folder.c_str()); }, 0, {}},
        {"A missing", [&](int h, Outputs&) { return Quorin_LoadConfigFileA(h, missing.c_str()); }, 0, {}},
        {"W null", [](int h, Outputs&) { return Quorin_LoadConfigFileW(h, nullptr); }, 0, {12}},
        {"W empty", [](int h, Outputs&) { return Quorin_LoadConfigFileW(h, L""); }, 0, {}},
        {"W beyond 1023 bytes", [&](int h, Outputs&) { return Quorin_LoadConfigFileW(h, longWide.c_str()); }, 0, {12}},
    };
    Run(cases);
}

TEST_F(BadArguments, CallerBuffers) {
    const std::vector<Case> cases = {
        // A snapshot whose copy fails: the copy's 5, then the snapshot's.
        {"SnapShot size -1", [](int h, Outputs& o) { return Quorin_SnapShot(h, o.bytes.data(), -1, 1); }, 0, {5, 5}},
        {"SnapShot one short", [](int h, Outputs& o) { return Quorin_SnapShot(h, o.bytes.data(), kFrame24 - 1, 1); },
         0, {5, 5}},
        {"SnapShot size INT_MIN", [](int h, Outputs& o) { return Quorin_SnapShot(h, o.bytes.data(), INT_MIN, 1); }, 0,
         {5, 5}},
        // No buffer: nothing to copy.
        {"SnapShot null buffer", [](int h, Outputs&) { return Quorin_SnapShot(h, nullptr, kFrame24, 1); }, 1, {}},
        {"GetImage null", [](int h, Outputs&) { return Quorin_GetImage(h, nullptr, kFrame24, 1); }, 0, {5}, {}, false,
         0, true},
        {"GetImage size 0", [](int h, Outputs& o) { return Quorin_GetImage(h, o.bytes.data(), 0, 1); }, 0, {5, 5}, {},
         false, 0, true},
        {"GetImage size -1", [](int h, Outputs& o) { return Quorin_GetImage(h, o.bytes.data(), -1, 0); }, 0, {5, 5},
         {}, false, 0, true},
        {"GetImage one short",
         [](int h, Outputs& o) { return Quorin_GetImage(h, o.bytes.data(), kFrame24 - 1, 1); }, 0, {5, 5}, {}, false,
         0, true},
        {"GetImage size INT_MIN", [](int h, Outputs& o) { return Quorin_GetImage(h, o.bytes.data(), INT_MIN, 1); }, 0,
         {5, 5}, {}, false, 0, true},
        // Exactly the frame: written, and not a byte more.
        {"GetImage exact", [](int h, Outputs& o) { return Quorin_GetImage(h, o.bytes.data(), kFrame24, 1); }, 1, {},
         {}, false, kFrame24, true},
    };
    Run(cases);
}

TEST_F(BadArguments, GeometryFormatAndTiming) {
    std::vector<Case> cases;
    struct Window {
        const char* name;
        int hTotal, hStart, hEffective, vTotal, vStart, vEffective;
    };
    for (const Window& w : std::vector<Window>{{"zero", 0, 0, 0, 0, 0, 0},
                                               {"negative", -1, -1, -1, -1, -1, -1},
                                               {"beyond its total", 1360, 8, 1360, 1024, 0, 1024},
                                               {"huge", INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX},
                                               {"wrapping start", 1360, INT_MAX, 16, 1024, 0, 1024}}) {
        cases.push_back({std::string("SetCaptureWindowEx ") + w.name,
                         [w](int h, Outputs&) {
                             const int r = Quorin_SetCaptureWindowEx(h, w.hTotal, w.hStart, w.hEffective, w.vTotal,
                                                                     w.vStart, w.vEffective);
                             // The values stay stored: a sound window for the next case.
                             Quorin_SetCaptureWindowEx(h, 1360, 0, 1360, 1024, 0, 1024);
                             return r;
                         },
                         0, {7}});
    }
    for (int size : {0, -1, INT_MAX})
        cases.push_back({"SetCaptureWindow " + std::to_string(size),
                         [size](int h, Outputs&) { return Quorin_SetCaptureWindow(h, size, size); }, 0, {4}});
    for (int bits : {0, -1, 12, 65, INT_MIN, INT_MAX})
        cases.push_back({"SetColorMode " + std::to_string(bits),
                         [bits](int h, Outputs&) {
                             const int r = Quorin_SetColorMode(h, bits);
                             return Quorin_GetColorMode(h) == 24 ? r : -100;
                         },
                         0, {9}});
    for (int mode : {1, -1, INT_MAX})
        cases.push_back({"SetSubSample " + std::to_string(mode),
                         [mode](int h, Outputs&) {
                             const int r = Quorin_SetSubSample(h, mode);
                             return Quorin_GetSubSample(h) == 0 ? r : -100;
                         },
                         0, {}});
    for (int ms : {-1, INT_MIN})
        cases.push_back({"SetWaitTime " + std::to_string(ms),
                         [ms](int h, Outputs&) {
                             const int before = Quorin_GetWaitTime(h);
                             const int r = Quorin_SetWaitTime(h, ms);
                             return Quorin_GetWaitTime(h) == before ? r : -100;
                         },
                         0, {}});
    for (int us : {-1, INT_MIN, INT_MAX, 100000000})  // 0 us is the shortest exposure, 100 s is too long
        cases.push_back({"SetRealExposureTime " + std::to_string(us),
                         [us](int h, Outputs&) {
                             const int before = Quorin_GetExposureTime(h, nullptr);
                             const int r = Quorin_SetRealExposureTime(h, us);
                             return Quorin_GetExposureTime(h, nullptr) == before ? r : -100;
                         },
                         0, {9}});
    // Null ok pointers are allowed everywhere; null outputs of the getters are skipped.
    cases.push_back({"GetCaptureWindowEx all null",
                     [](int h, Outputs&) {
                         return Quorin_GetCaptureWindowEx(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
                     },
                     1, {}});
    cases.push_back({"GetHalfClock null ok", [](int h, Outputs&) { return Quorin_GetHalfClock(h, nullptr); },
                     kAnyResult, {}});
    cases.push_back({"GetRealExposureTime null ok",
                     [](int h, Outputs&) { return Quorin_GetRealExposureTime(h, nullptr); }, kAnyResult, {}});
    Run(cases);
}

TEST_F(BadArguments, RecordingAndStillFiles) {
    const std::string longName = dir_.File(std::string(300, 'r') + ".avi");
    const std::wstring longWide = Widen(dir_.File(std::string(2000, 'w') + ".avi"));
    const std::string missing = dir_.File("missing\\clip.avi");
    const std::string still = dir_.File("still.bmp");
    std::vector<Case> cases = {
        {"Record null", [](int h, Outputs&) { return Quorin_Record(h, nullptr, 100, 0); }, 0, {9}},
        {"Record empty", [](int h, Outputs&) { return Quorin_Record(h, "", 100, 0); }, 0, {9}},
        {"Record duration -1", [&](int h, Outputs&) { return Quorin_Record(h, still.c_str(), -1, 0); }, 0, {9}},
        {"Record duration INT_MIN", [&](int h, Outputs&) { return Quorin_Record(h, still.c_str(), INT_MIN, 0); }, 0,
         {9}},
        {"Record missing folder", [&](int h, Outputs&) { return Quorin_Record(h, missing.c_str(), 100, 0); }, 0, {12}},
        {"Record too long", [&](int h, Outputs&) { return Quorin_Record(h, longName.c_str(), 100, 0); }, 0, {12}},
        {"RecordW null", [](int h, Outputs&) { return Quorin_RecordW(h, nullptr, 100, 0); }, 0, {12}},
        {"RecordW empty", [](int h, Outputs&) { return Quorin_RecordW(h, L"", 100, 0); }, 0, {9}},
        {"RecordW beyond 1023 bytes", [&](int h, Outputs&) { return Quorin_RecordW(h, longWide.c_str(), 100, 0); }, 0,
         {12}},
        {"SaveImage null", [](int h, Outputs&) { return Quorin_SaveImage(h, nullptr, 0); }, 0, {9}, {}, false, 0, true},
        {"SaveImage empty", [](int h, Outputs&) { return Quorin_SaveImage(h, "", 0); }, 0, {9}, {}, false, 0, true},
        {"SaveImageW null", [](int h, Outputs&) { return Quorin_SaveImageW(h, nullptr, 0); }, 0, {9}, {}, false, 0,
         true},
        {"SaveImageW empty", [](int h, Outputs&) { return Quorin_SaveImageW(h, L"", 0); }, 0, {9}, {}, false, 0, true},
        // The writers' own failures return 0 and report nothing.
        {"SaveImage missing folder", [&](int h, Outputs&) { return Quorin_SaveImage(h, missing.c_str(), 0); }, 0, {},
         {}, false, 0, true},
        {"SaveImage too long", [&](int h, Outputs&) { return Quorin_SaveImage(h, longName.c_str(), 5); }, 0, {}, {},
         false, 0, true},
        {"SaveImageW beyond 1023 bytes", [&](int h, Outputs&) { return Quorin_SaveImageW(h, longWide.c_str(), 0); }, 0,
         {1}, {}, false, 0, true},
        // Nothing captured since the camera was closed.
        {"SaveImage without a frame",
         [&](int h, Outputs&) {
             Quorin_Close(h);
             return Quorin_SaveImage(h, still.c_str(), 0);
         },
         0, {1}},
    };
    for (int type : {-1, 7, INT_MIN, INT_MAX})
        for (bool wide : {false, true})
            cases.push_back({std::string(wide ? "SaveImageW" : "SaveImage") + " type " + std::to_string(type),
                             [&, type, wide](int h, Outputs&) {
                                 return wide ? Quorin_SaveImageW(h, Widen(still).c_str(), type)
                                             : Quorin_SaveImage(h, still.c_str(), type);
                             },
                             0, {}, {}, false, 0, true});
    Run(cases);
}

TEST_F(BadArguments, FullAndReadOnlyLocations) {
    const std::string full = LocationFromEnvironment("QUORIN_FULL_DIR");
    const std::string readOnly = LocationFromEnvironment("QUORIN_READONLY_DIR");
    if (full.empty() && readOnly.empty()) GTEST_SKIP() << "no full or read-only location (mounting needs root)";
    std::vector<Case> cases;
    if (!full.empty()) {
        for (int type = 0; type <= 6; ++type)
            cases.push_back({"SaveImage full type " + std::to_string(type),
                             [&, type](int h, Outputs&) {
                                 const std::string path = full + "\\still" + std::to_string(type);
                                 const int r = Quorin_SaveImage(h, path.c_str(), type);
                                 return Exists(path) ? -100 : r;
                             },
                             0, {}, {}, false, 0, true});
    }
    if (!readOnly.empty()) {
        cases.push_back({"SaveImage read-only over an existing file",
                         [&](int h, Outputs&) { return Quorin_SaveImage(h, (readOnly + "\\existing.bmp").c_str(), 0); },
                         0, {}, {}, false, 0, true});
        cases.push_back({"SaveImage read-only new file",
                         [&](int h, Outputs&) {
                             const std::string path = readOnly + "\\new.png";
                             const int r = Quorin_SaveImage(h, path.c_str(), 5);
                             return Exists(path) ? -100 : r;
                         },
                         0, {}, {}, false, 0, true});
        cases.push_back({"Record read-only",
                         [&](int h, Outputs&) {
                             const std::string path = readOnly + "\\clip.avi";
                             const int r = Quorin_Record(h, path.c_str(), 500, 0);
                             return Exists(path) ? -100 : r;
                         },
                         0, {12}});
    }
    Run(cases);
    if (!readOnly.empty()) {
        HANDLE file = CreateFileA((readOnly + "\\existing.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        char text[16] = {};
        DWORD got = 0;
        ReadFile(file, text, sizeof text, &got, nullptr);
        CloseHandle(file);
        EXPECT_EQ(std::string(text, got), "keep me");
    }
}

TEST_F(BadArguments, AdjustableValuesAndDeviceAccess) {
    std::vector<Case> cases;
    for (int id : {0, 29, -1, INT_MIN, INT_MAX}) {
        cases.push_back({"GetFilterValue id " + std::to_string(id),
                         [id](int h, Outputs& o) { return Quorin_GetFilterValue(h, id, &o.ok); }, 0, {9}, {}, true});
        cases.push_back({"SetFilterValue id " + std::to_string(id),
                         [id](int h, Outputs&) { return Quorin_SetFilterValue(h, id, 0); }, 0, {9}});
    }
    // Each id's first rejected values on both sides; ids 6 and 10 take any value. The value stays.
    struct Limits {
        int id, low, high;
    };
    const std::vector<Limits> limits = {{1, -256, 256}, {2, -128, 128}, {3, -361, 361}, {4, -256, 256},
                                        {5, -1, 31},    {7, -1, 401},   {8, -1, 401},   {9, -1, 401},
                                        {11, -1, 201},  {12, -1, 4},    {13, -1, 1024}, {14, -1, 1},
                                        {15, -1, 1},    {16, -1, 1},    {17, -1, 1},    {18, 7, 1075},
                                        {19, -1, 3},    {20, -1, 256},  {21, -1, 256},  {22, -1, 256},
                                        {23, -1, 256},  {24, -256, 256}, {25, -256, 256}, {26, -256, 256},
                                        {27, -256, 256}, {28, -1, 2}};
    for (const Limits& l : limits)
        for (int value : {l.low, l.high, INT_MIN, INT_MAX})
            cases.push_back({"SetFilterValue id " + std::to_string(l.id) + " value " + std::to_string(value),
                             [l, value](int h, Outputs&) {
                                 const int before = Quorin_GetFilterValue(h, l.id, nullptr);
                                 const int r = Quorin_SetFilterValue(h, l.id, value);
                                 return Quorin_GetFilterValue(h, l.id, nullptr) == before ? r : -100;
                             },
                             0, {9}});
    // The named setters forward to the same checks.
    const std::vector<std::pair<const char*, int (QUORIN_CALL*)(int, int)>> named = {
        {"Brightness", Quorin_SetBrightness},     {"Contrast", Quorin_SetContrast},
        {"Hue", Quorin_SetHue},                   {"Saturation", Quorin_SetSaturation},
        {"Sharpness", Quorin_SetSharpness},       {"BayerGainRed", Quorin_SetBayerGainRed},
        {"BayerGainGreen", Quorin_SetBayerGainGreen}, {"BayerGainBlue", Quorin_SetBayerGainBlue},
        {"Gamma", Quorin_SetGamma},               {"BayerMode", Quorin_SetBayerMode},
        {"GlobalGain", Quorin_SetGlobalGain},     {"ColorGainRed", Quorin_SetColorGainRed},
        {"ColorGainGreen1", Quorin_SetColorGainGreen1}, {"ColorGainGreen2", Quorin_SetColorGainGreen2},
        {"ColorGainBlue", Quorin_SetColorGainBlue}, {"ExposureTime", Quorin_SetExposureTime},
        {"GrayMode", Quorin_SetGrayMode},         {"GrayGainR", Quorin_SetGrayGainR},
        {"GrayGainG1", Quorin_SetGrayGainG1},     {"GrayGainG2", Quorin_SetGrayGainG2},
        {"GrayGainB", Quorin_SetGrayGainB},       {"GrayOffsetR", Quorin_SetGrayOffsetR},
        {"GrayOffsetG1", Quorin_SetGrayOffsetG1}, {"GrayOffsetG2", Quorin_SetGrayOffsetG2},
        {"GrayOffsetB", Quorin_SetGrayOffsetB}};
    for (const auto& setter : named)
        cases.push_back({std::string("Set") + setter.first + " INT_MIN",
                         [setter](int h, Outputs&) { return setter.second(h, INT_MIN); }, 0, {9}});
    // Serial memory identifier bytes 0..255 only; notify-only 1 otherwise, ok 0.
    for (int address : {-1, 256, INT_MIN, INT_MAX}) {
        cases.push_back({"ReadSromID " + std::to_string(address),
                         [address](int h, Outputs& o) { return Quorin_ReadSromID(h, address, &o.ok); }, 0, {}, {1},
                         true});
        cases.push_back({"WriteSromID " + std::to_string(address),
                         [address](int h, Outputs&) { return Quorin_WriteSromID(h, address, 0x55); }, 0, {}, {1}});
    }
    cases.push_back({"GetIOPort null", [](int h, Outputs&) { return Quorin_GetIOPort(h, nullptr); }, 0, {}, {9}});
    for (int mode : {3, -1, INT_MIN, INT_MAX})
        cases.push_back({"SetAutoIris " + std::to_string(mode),
                         [mode](int h, Outputs&) {
                             const int before = Quorin_GetAutoIris(h, nullptr);
                             const int r = Quorin_SetAutoIris(h, mode);
                             return Quorin_GetAutoIris(h, nullptr) == before ? r : -100;
                         },
                         0, {}, {9}});
    cases.push_back({"GetSamplingRate null", [](int h, Outputs&) { return Quorin_GetSamplingRate(h, nullptr); }, 0, {}});
    cases.push_back({"GetVideoFormat null", [](int h, Outputs&) { return Quorin_GetVideoFormat(h, nullptr); }, 0, {}});
    // A parent that is not a window: stored, and the start that needs the window fails with 4.
    cases.push_back({"Preview under a parent that is no window",
                     [](int h, Outputs&) {
                         Quorin_SetPreviewWindow(h, reinterpret_cast<HWND>(0x1234), 0, 0, 320, 240);
                         const int r = Quorin_Preview(h);
                         Quorin_SetPreviewWindow(h, nullptr, 0, 0, 0, 0);
                         return r;
                     },
                     0, {4}});
    Run(cases);
}

TEST_F(BadArguments, ReleasedAndForeignHandles) {
    const int released = Quorin_Initialize(nullptr);
    ASSERT_NE(released, 0);
    ASSERT_EQ(Quorin_Release(released), 1);
    for (int h : {released, -1, INT_MIN, INT_MAX, handle_ + 1000}) {
        SCOPED_TRACE(h);
        EXPECT_EQ(Quorin_Release(h), 0);
        EXPECT_EQ(Quorin_GetColorMode(h), -1);
        EXPECT_EQ(Quorin_SnapShot(h, nullptr, 0, 1), 0);
        EXPECT_EQ(Quorin_SetFilterValue(h, 1, 0), 0);
        EXPECT_EQ(Quorin_GetLastError(h), 0);
    }
    EXPECT_EQ(TestWindow::Drain().size(), 0u);
    EXPECT_EQ(Quorin_GetLastError(handle_), 0);
}
