// The camera object through the exports, on the simulated camera: first-run settings, enumeration,
// naming, selection, camera information, adjustable values reaching the sensor, exposure time.
// Every test starts from an empty settings tree (a first run) and puts the tree back afterwards,
// so none depends on what another one stored.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/support/camera.h"
#include "tests/settings/filter_value_ranges.h"
#include "tests/settings/registry_test_keys.h"

namespace {

using qtest::DrainHistory;
using qtest::kProductKey;

DWORD ReadDword(const char* subkey, const char* name, bool* found) {
    DWORD value = 0, size = sizeof value, type = 0;
    *found = RegGetValueA(HKEY_CURRENT_USER, subkey, name, RRF_RT_REG_DWORD, &type, &value, &size) == ERROR_SUCCESS;
    return value;
}

class CameraObject : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(qtest::SimReady(0));
        handle_ = Quorin_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(DrainHistory(handle_), std::vector<int>{});
    }
    void TearDown() override {
        if (handle_) EXPECT_EQ(Quorin_Release(handle_), 1);
        for (uint32_t extra : attached_) sim_.Detach(extra);
    }
    void AttachExtra(uint32_t camera) {
        ASSERT_TRUE(sim_.Attach(camera));
        attached_.push_back(camera);
    }
    ProductTreeAside settings_;  // made before the camera opens, put back after it is released
    simtest::SimControl& sim_ = qtest::Sim();
    std::vector<uint32_t> attached_;
    int handle_ = 0;
};

}  // namespace

TEST(CameraFirstRun, EmptyRegistryCreatesDefaultsAndReleaseSavesEveryGroup) {
    ProductTreeAside firstRun;
    ASSERT_TRUE(qtest::SimReady(0));
    ASSERT_FALSE(KeyExists(kProductKey));
    const int h = Quorin_Initialize(nullptr);
    ASSERT_NE(h, 0);
    EXPECT_EQ(DrainHistory(h), std::vector<int>{});
    EXPECT_EQ(Quorin_GetColorMode(h), 24);
    EXPECT_EQ(Quorin_GetWaitTime(h), 1);
    EXPECT_EQ(Quorin_GetSubSample(h), 0);
    int ok = 0;
    EXPECT_EQ(Quorin_GetGlobalGain(h, &ok), 512);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Quorin_GetExposureTime(h, &ok), 64);
    EXPECT_EQ(Quorin_GetBayerMode(h, &ok), 1);
    EXPECT_EQ(Quorin_GetGrayGainR(h, &ok), 128);
    bool found = false;
    EXPECT_EQ(ReadDword("Software\\Zudada\\QuorinM52DXLTXSdk\\Camera_00", "Color", &found), 2u);
    EXPECT_TRUE(found);
    EXPECT_EQ(ReadDword("Software\\Zudada\\QuorinM52DXLTXSdk\\Camera_00\\Size_00", "EH", &found), 1360u);
    EXPECT_TRUE(found);

    ASSERT_EQ(Quorin_SetGlobalGain(h, 300), 1);
    ASSERT_EQ(Quorin_SetBrightness(h, -20), 1);
    ASSERT_EQ(Quorin_SetGrayOffsetB(h, 7), 1);
    ASSERT_EQ(Quorin_Release(h), 1);
    // Release stored all three groups.
    HKEY camera;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Zudada\\QuorinM52DXLTXSdk\\Camera_00", 0, KEY_READ, &camera),
              ERROR_SUCCESS);
    for (const char* group : {"Gain", "Filter", "Gray"}) {
        HKEY k;
        EXPECT_EQ(RegOpenKeyExA(camera, group, 0, KEY_READ, &k), ERROR_SUCCESS) << group;
        if (k) RegCloseKey(k);
    }
    RegCloseKey(camera);

    // A second camera object loads what the first one saved.
    const int again = Quorin_Initialize(nullptr);
    ASSERT_NE(again, 0);
    EXPECT_EQ(Quorin_GetGlobalGain(again, &ok), 300);
    EXPECT_EQ(Quorin_GetBrightness(again, &ok), -20);
    EXPECT_EQ(Quorin_GetGrayOffsetB(again, &ok), 7);
    EXPECT_EQ(Quorin_Release(again), 1);
}

TEST_F(CameraObject, EnumerationCountsPresentCamerasAndNamesByIndex) {
    AttachExtra(5);
    AttachExtra(23);
    char names[256 * 10];
    std::memset(names, 'x', sizeof names);
    EXPECT_EQ(Quorin_EnumDevice(handle_, names), 3);
    EXPECT_STREQ(names, "RuvadeR52EV-UZI_01");
    EXPECT_STREQ(names + 256, "RuvadeR52EV-UZI_02");
    EXPECT_STREQ(names + 512, "RuvadeR52EV-UZI_03");
    for (int k = 3; k < 10; ++k) EXPECT_EQ(names[k * 256], '\0') << k;
    wchar_t wnames[256 * 10];
    EXPECT_EQ(Quorin_EnumDeviceW(handle_, wnames), 3);
    EXPECT_STREQ(wnames + 256, L"RuvadeR52EV-UZI_02");
    EXPECT_EQ(Quorin_EnumDevice(handle_, nullptr), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 9);

    // Names number by device index, not by count; the name needs 19 bytes.
    char name[32];
    EXPECT_EQ(Quorin_GetDeviceName(handle_, 23, name, 19), 1);
    EXPECT_STREQ(name, "RuvadeR52EV-UZI_24");
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(Quorin_GetDeviceName(handle_, 5, name, 18), 0);
    EXPECT_EQ(name[0], 'x') << "a short buffer is left alone";
    EXPECT_EQ(Quorin_GetDeviceName(handle_, 5, nullptr, 64), 0);
    EXPECT_EQ(Quorin_GetDeviceName(handle_, 32, name, 64), 0);
    EXPECT_EQ(Quorin_GetDeviceName(handle_, 6, name, 64), 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{2, 9, 9, 9}));
    wchar_t wname[32];
    EXPECT_EQ(Quorin_GetDeviceNameW(handle_, 5, wname, 19), 1);
    EXPECT_STREQ(wname, L"RuvadeR52EV-UZI_06");
    EXPECT_EQ(Quorin_GetDeviceNameW(handle_, 5, wname, 18), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 9);
}

TEST_F(CameraObject, SelectionOfPresentAndAbsentCameras) {
    AttachExtra(5);
    EXPECT_EQ(Quorin_SetDeviceNumber(handle_, 7), 0) << "nothing attached at 7";
    EXPECT_EQ(Quorin_SetDeviceNumber(handle_, 32), 0);
    EXPECT_EQ(Quorin_SetDeviceNumber(handle_, -1), 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{2, 2, 2}));
    ASSERT_EQ(Quorin_SetDeviceNumber(handle_, 5), 1);
    ASSERT_TRUE(sim_.ClearLog(5));
    ASSERT_EQ(Quorin_SetGlobalGain(handle_, 700), 1);
    EXPECT_FALSE(sim_.Log(5).empty()) << "commands go to the selected camera";
    EXPECT_EQ(sim_.Status(5).gain, 700u);
    // A camera unplugged after the last probe is not selected.
    ASSERT_TRUE(sim_.Detach(5));
    attached_.clear();
    EXPECT_EQ(Quorin_SetDeviceNumber(handle_, 5), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 2);
    EXPECT_EQ(Quorin_SetDeviceNumber(handle_, 0), 1);
}

TEST_F(CameraObject, CameraInformation) {
    QuorinCameraInfo info;
    std::memset(&info, 0x5A, sizeof info);
    info.size = 36;
    ASSERT_EQ(Quorin_GetCameraInfo(handle_, &info), 1);
    EXPECT_EQ(info.sensorWidth, 1360);
    EXPECT_EQ(info.sensorHeight, 1024);
    EXPECT_EQ(info.minGlobalGain, 0);
    EXPECT_EQ(info.maxGlobalGain, 1023);
    EXPECT_EQ(info.reserved1, 0);
    EXPECT_EQ(info.reserved2, 0);
    EXPECT_EQ(info.minExposure, 8);
    EXPECT_EQ(info.maxExposure, 1074);
    info.size = 35;
    EXPECT_EQ(Quorin_GetCameraInfo(handle_, &info), 0);
    EXPECT_EQ(Quorin_GetCameraInfo(handle_, nullptr), 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{9, 5}));
}

TEST_F(CameraObject, AdjustableValuesBoundsAndIds) {
    for (const FilterValueRange& r : kFilterValueRanges) {
        int ok = 0;
        EXPECT_EQ(Quorin_SetFilterValue(handle_, r.id, r.min), 1) << r.id;
        EXPECT_EQ(Quorin_GetFilterValue(handle_, r.id, &ok), r.min) << r.id;
        EXPECT_EQ(Quorin_SetFilterValue(handle_, r.id, r.max), 1) << r.id;
        EXPECT_EQ(Quorin_GetFilterValue(handle_, r.id, &ok), r.max) << r.id;
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(Quorin_SetFilterValue(handle_, r.id, r.min - 1), 0) << r.id;
        EXPECT_EQ(Quorin_SetFilterValue(handle_, r.id, r.max + 1), 0) << r.id;
        EXPECT_EQ(Quorin_GetFilterValue(handle_, r.id, &ok), r.max) << r.id << " kept after refusals";
        EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{9, 9})) << r.id;
    }
    int ok = 1;
    EXPECT_EQ(Quorin_SetFilterValue(handle_, 0, 1), 0);
    EXPECT_EQ(Quorin_SetFilterValue(handle_, 29, 1), 0);
    EXPECT_EQ(Quorin_GetFilterValue(handle_, 29, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{9, 9, 9}));

    // Packed white-balance gains.
    EXPECT_EQ(Quorin_SetBayerGainRGB(handle_, 16 | 255 << 8 | 200 << 16 | 1 << 24), 1);
    EXPECT_EQ(Quorin_GetBayerGainRed(handle_, &ok), 16);
    EXPECT_EQ(Quorin_GetBayerGainBlue(handle_, &ok), 200);
    EXPECT_EQ(Quorin_GetBayerGainRGB(handle_, &ok), 16 | 255 << 8 | 200 << 16);
    EXPECT_EQ(Quorin_SetBayerGainAuto(handle_, 5), 1);
    EXPECT_EQ(Quorin_GetBayerGainAuto(handle_, &ok), 1);
    EXPECT_EQ(Quorin_SetColorGainRed(handle_, 1), 0);
    EXPECT_EQ(Quorin_SetColorGainRed(handle_, 0), 1);
    EXPECT_EQ(Quorin_GetColorGainRed(handle_, &ok), 0);
    EXPECT_EQ(ok, 1);
}

TEST_F(CameraObject, GainAndExposureReachTheSensor) {
    ASSERT_EQ(Quorin_SetGlobalGain(handle_, 1023), 1);
    EXPECT_EQ(sim_.Status(0).gain, 1023u);
    ASSERT_EQ(Quorin_SetExposureTime(handle_, 1000), 1);
    EXPECT_EQ(sim_.Status(0).shutter, 1000u);
    EXPECT_EQ(sim_.Status(0).exposure_lines, 74u);
    ASSERT_EQ(Quorin_SetExposureTime(handle_, 100), 1);
    EXPECT_EQ(sim_.Status(0).exposure_lines, 974u);
    // Register writes through the export: address cut to 8 bits.
    ASSERT_TRUE(sim_.ClearLog(0));
    EXPECT_EQ(Quorin_WriteRegisterEx(handle_, 0x106, 0x2A), 1);  // register 6
    std::vector<simtest::LoggedBlock> log = sim_.Log(0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Reg(), 6u);
    int ok = 0;
    EXPECT_EQ(Quorin_ReadRegister(handle_, 6, &ok), 0x2A);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Quorin_WriteRegister(handle_, 200, 1), 0) << "registers 192 to 255 are refused";
    EXPECT_EQ(Quorin_GetLastError(handle_), 6);
}

TEST_F(CameraObject, RealExposureTimeBothWaysAtBothClocks) {
    int ok = 0;
    ASSERT_EQ(Quorin_SetHalfClock(handle_, 0), 1);
    ASSERT_EQ(Quorin_SetExposureTime(handle_, 1074), 1);
    EXPECT_EQ(Quorin_GetRealExposureTime(handle_, &ok), 8);  // 200 clocks at 24 MHz
    EXPECT_EQ(ok, 1);
    ASSERT_EQ(Quorin_SetExposureTime(handle_, 8), 1);
    EXPECT_EQ(Quorin_GetRealExposureTime(handle_, &ok), 79514);  // 1066 lines
    ASSERT_EQ(Quorin_SetHalfClock(handle_, 1), 1);
    EXPECT_EQ(Quorin_GetRealExposureTime(handle_, &ok), 159028);
    ASSERT_EQ(Quorin_SetExposureTime(handle_, 1074), 1);
    EXPECT_EQ(Quorin_GetRealExposureTime(handle_, &ok), 16);

    // 10 ms at 24 MHz: 134 whole lines, register 940.
    ASSERT_EQ(Quorin_SetHalfClock(handle_, 0), 1);
    EXPECT_EQ(Quorin_SetRealExposureTime(handle_, 10000), 1);
    EXPECT_EQ(Quorin_GetExposureTime(handle_, &ok), 940);
    EXPECT_EQ(sim_.Status(0).shutter, 940u);
    // More than 1066 lines, or a negative time, is refused.
    EXPECT_EQ(Quorin_SetRealExposureTime(handle_, 200000), 0);
    EXPECT_EQ(Quorin_SetRealExposureTime(handle_, -5), 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{9, 9}));
    EXPECT_EQ(Quorin_GetExposureTime(handle_, &ok), 940);
}

TEST_F(CameraObject, MirrorsPortAndSerialIdentifier) {
    EXPECT_EQ(Quorin_SetMirrorH(handle_, 5), 1);
    EXPECT_EQ(Quorin_GetMirrorH(handle_), 1);
    EXPECT_EQ(Quorin_SetMirrorV(handle_, 1), 1);
    EXPECT_EQ(Quorin_GetMirrorV(handle_), 1);
    EXPECT_EQ(Quorin_SetMirrorV(handle_, 0), 1);
    EXPECT_EQ(Quorin_GetMirrorV(handle_), 0);

    EXPECT_EQ(Quorin_SetIOPort(handle_, 0x5A), 1);
    BYTE port = 0;
    EXPECT_EQ(Quorin_GetIOPort(handle_, &port), 1);
    EXPECT_EQ(port, 0x5A);

    int ok = 0;
    EXPECT_EQ(Quorin_WriteSromID(handle_, 200, 0x3C), 1);
    EXPECT_EQ(Quorin_ReadSromID(handle_, 200, &ok), 0x3C);
    EXPECT_EQ(ok, 1);
    // Only identifier bytes 0 to 255: nothing else of the serial memory is reachable.
    ASSERT_TRUE(sim_.ClearLog(0));
    EXPECT_EQ(Quorin_ReadSromID(handle_, 256, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Quorin_WriteSromID(handle_, -0x800, 1), 0);
    EXPECT_TRUE(sim_.Log(0).empty()) << "refused indices send nothing";
    EXPECT_EQ(DrainHistory(handle_), std::vector<int>{});

    // The clock mode follows the simulated camera's clock: 1 only at 12 MHz, and a mode the
    // sensor knows (0 or 2) at 24 MHz. (Earlier test programs of the session may leave either.)
    ok = -1;
    const int clockMode = Quorin_GetHalfClock(handle_, &ok);
    EXPECT_EQ(ok, 1);
    if (sim_.Status(0).clock_hz == 12000000u)
        EXPECT_EQ(clockMode, 1);
    else
        EXPECT_TRUE(clockMode == 0 || clockMode == 2) << clockMode;
}

TEST_F(CameraObject, SavingBeforeAnyFrameReportsOne) {
    EXPECT_EQ(Quorin_SaveImage(handle_, "C:\\never.bmp", 0), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 1);
    EXPECT_EQ(GetFileAttributesA("C:\\never.bmp"), INVALID_FILE_ATTRIBUTES);
    // The wide form needs no processed frame, but the output image has no pixels yet.
    EXPECT_EQ(Quorin_SaveImageW(handle_, L"C:\\never.bmp", 0), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 1);
}

TEST_F(CameraObject, CaptureWindowFromTheStoredSizeList) {
    const char kEntry[] = "Software\\Zudada\\QuorinM52DXLTXSdk\\Camera_00\\Size_01";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kEntry, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::pair<const char*, DWORD> values[] = {{"TH", 1360}, {"TV", 1024}, {"EH", 640}, {"EV", 480},
                                                    {"EHS", 100}, {"EVS", 50},  {"Buf", 4}};
    for (const auto& v : values)
        RegSetValueExA(key, v.first, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.second), sizeof v.second);
    RegCloseKey(key);

    EXPECT_EQ(Quorin_SetCaptureWindow(handle_, 640, 480), 1);
    int v[6];
    Quorin_GetCaptureWindowEx(handle_, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    EXPECT_EQ(std::vector<int>(v, v + 6), (std::vector<int>{1360, 100, 640, 1024, 50, 480}));
    EXPECT_EQ(Quorin_SetCaptureWindow(handle_, 1360, 1024), 1) << "Size_00, the full sensor";
    EXPECT_EQ(Quorin_Width(handle_), 1360);
    EXPECT_EQ(Quorin_SetCaptureWindow(handle_, 123, 45), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 4);
    EXPECT_EQ(Quorin_Width(handle_), 1360) << "no match changes nothing";
}
