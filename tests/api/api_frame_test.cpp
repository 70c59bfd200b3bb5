// The exported frame seen from an application: handles, dispatch, failure values, the error
// history and the error message.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/support/camera.h"
#include "tests/support/scratch.h"

namespace {

struct ExportCall {
    const char* name;
    int failureValue;
    std::function<int(int)> call;
};

// Every handle-taking export, called with valid argument storage.
std::vector<ExportCall> AllHandleExports() {
    static BYTE buffer[64];
    static char names[256 * 10];
    static wchar_t wnames[256 * 10];
    static int a, b, c, d, e, f, ok;
    static BYTE port;
    static QuorinCameraInfo info = {36};
    std::vector<ExportCall> calls = {
        {"Release", 0, [](int h) { return Quorin_Release(h); }},
        {"GetLastError", 0, [](int h) { return Quorin_GetLastError(h); }},
        {"GetStatus", 0, [](int h) { return Quorin_GetStatus(h, 0); }},
        {"EnumDevice", 0, [](int h) { return Quorin_EnumDevice(h, names); }},
        {"EnumDeviceW", 0, [](int h) { return Quorin_EnumDeviceW(h, wnames); }},
        {"GetDeviceName", 0, [](int h) { return Quorin_GetDeviceName(h, 0, names, 256); }},
        {"GetDeviceNameW", 0, [](int h) { return Quorin_GetDeviceNameW(h, 0, wnames, 256); }},
        {"SetDeviceNumber", 0, [](int h) { return Quorin_SetDeviceNumber(h, 0); }},
        {"GetCameraInfo", 0, [](int h) { return Quorin_GetCameraInfo(h, &info); }},
        {"LoadConfigFileA", 0, [](int h) { return Quorin_LoadConfigFileA(h, "C:\\windows\\win.ini"); }},
        {"LoadConfigFileW", 0, [](int h) { return Quorin_LoadConfigFileW(h, L"C:\\windows\\win.ini"); }},
        {"Preview", 0, [](int h) { return Quorin_Preview(h); }},
        {"StartPreview", 0, [](int h) { return Quorin_StartPreview(h); }},
        {"StopPreview", 0, [](int h) { return Quorin_StopPreview(h); }},
        {"CallBackPreview", 0, [](int h) { return Quorin_CallBackPreview(h, nullptr, buffer, sizeof buffer, 1); }},
        {"Capture", 0, [](int h) { return Quorin_Capture(h); }},
        {"SnapShot", 0, [](int h) { return Quorin_SnapShot(h, buffer, sizeof buffer, 1); }},
        {"Trigger", 0, [](int h) { return Quorin_Trigger(h, nullptr, buffer, sizeof buffer, 1); }},
        {"GetImage", 0, [](int h) { return Quorin_GetImage(h, buffer, sizeof buffer, 1); }},
        {"Close", 0, [](int h) { return Quorin_Close(h); }},
        {"SetPreviewWindow", 0, [](int h) { return Quorin_SetPreviewWindow(h, nullptr, 0, 0, 10, 10); }},
        {"SetCaptureWindow", 0, [](int h) { return Quorin_SetCaptureWindow(h, 1360, 1024); }},
        {"SetCaptureWindowEx", 0, [](int h) { return Quorin_SetCaptureWindowEx(h, 1360, 0, 1360, 1024, 0, 1024); }},
        {"GetCaptureWindowEx", 0, [](int h) { return Quorin_GetCaptureWindowEx(h, &a, &b, &c, &d, &e, &f); }},
        {"Width", 0, [](int h) { return Quorin_Width(h); }},
        {"Height", 0, [](int h) { return Quorin_Height(h); }},
        {"SetColorMode", 0, [](int h) { return Quorin_SetColorMode(h, 24); }},
        {"GetColorMode", -1, [](int h) { return Quorin_GetColorMode(h); }},
        {"SetSubSample", 0, [](int h) { return Quorin_SetSubSample(h, 0); }},
        {"GetSubSample", -1, [](int h) { return Quorin_GetSubSample(h); }},
        {"SetWaitTime", 0, [](int h) { return Quorin_SetWaitTime(h, 5); }},
        {"GetWaitTime", -1, [](int h) { return Quorin_GetWaitTime(h); }},
        {"SetHalfClock", 0, [](int h) { return Quorin_SetHalfClock(h, 1); }},
        {"GetHalfClock", 0, [](int h) { return Quorin_GetHalfClock(h, &ok); }},
        {"GetRealExposureTime", 0, [](int h) { return Quorin_GetRealExposureTime(h, &ok); }},
        {"SetRealExposureTime", 0, [](int h) { return Quorin_SetRealExposureTime(h, 100); }},
        {"Record", 0, [](int h) { return Quorin_Record(h, "C:\\x.avi", 10, 0); }},
        {"RecordW", 0, [](int h) { return Quorin_RecordW(h, L"C:\\x.avi", 10, 0); }},
        {"SetRecordFormat", 0, [](int h) { return Quorin_SetRecordFormat(h, 1, 90); }},
        {"GetRecordFormat", 0, [](int h) { return Quorin_GetRecordFormat(h, &a, &b); }},
        {"SaveImage", 0, [](int h) { return Quorin_SaveImage(h, "C:\\x.bmp", 0); }},
        {"SaveImageW", 0, [](int h) { return Quorin_SaveImageW(h, L"C:\\x.bmp", 0); }},
        {"GetFilterValue", 0, [](int h) { return Quorin_GetFilterValue(h, 1, &ok); }},
        {"SetFilterValue", 0, [](int h) { return Quorin_SetFilterValue(h, 1, 0); }},
        {"ReadRegister", 0, [](int h) { return Quorin_ReadRegister(h, 1, &ok); }},
        {"ReadRegisterEx", 0, [](int h) { return Quorin_ReadRegisterEx(h, 1, &ok); }},
        {"WriteRegister", 0, [](int h) { return Quorin_WriteRegister(h, 1, 1); }},
        {"WriteRegisterEx", 0, [](int h) { return Quorin_WriteRegisterEx(h, 1, 1); }},
        {"ReadSromID", 0, [](int h) { return Quorin_ReadSromID(h, 0, &ok); }},
        {"WriteSromID", 0, [](int h) { return Quorin_WriteSromID(h, 0, 0); }},
        {"GetIOPort", 0, [](int h) { return Quorin_GetIOPort(h, &port); }},
        {"SetIOPort", 0, [](int h) { return Quorin_SetIOPort(h, 0); }},
        {"SetMirrorH", 0, [](int h) { return Quorin_SetMirrorH(h, 1); }},
        {"SetMirrorV", 0, [](int h) { return Quorin_SetMirrorV(h, 1); }},
        {"GetMirrorH", 0, [](int h) { return Quorin_GetMirrorH(h); }},
        {"GetMirrorV", 0, [](int h) { return Quorin_GetMirrorV(h); }},
        {"SetAutoIris", 0, [](int h) { return Quorin_SetAutoIris(h, 1); }},
        {"GetAutoIris", 0, [](int h) { return Quorin_GetAutoIris(h, &ok); }},
        {"SetCameraDlg", 0, [](int h) { return Quorin_SetCameraDlg(h, nullptr); }},
        {"SetAnalogDlg", 0, [](int h) { return Quorin_SetAnalogDlg(h, nullptr); }},
        {"SetImageDlg", 0, [](int h) { return Quorin_SetImageDlg(h, nullptr); }},
        {"Fpga_ReadRegister", 0, [](int h) { return Quorin_Fpga_ReadRegister(h, 0, &ok); }},
        {"Fpga_WriteRegister", 0, [](int h) { return Quorin_Fpga_WriteRegister(h, 0, 0); }},
        {"Fps", 0, [](int h) { return Quorin_Fps(h, 30); }},
        {"SetCrossbar", 0, [](int h) { return Quorin_SetCrossbar(h, 0, 0); }},
        {"SetSamplingRate", 0, [](int h) { return Quorin_SetSamplingRate(h, 0); }},
        {"GetSamplingRate", 0, [](int h) { return Quorin_GetSamplingRate(h, &a); }},
        {"GetVideoFormat", 0, [](int h) { return Quorin_GetVideoFormat(h, &a); }},
        {"GetConfigFilter", 0, [](int h) { return Quorin_GetConfigFilter(h); }},
        {"SetConfigFilter", 0, [](int h) { return Quorin_SetConfigFilter(h, 0); }},
    };
#define NAMED_PAIR(Name)                                                              \
    calls.push_back({"Get" #Name, 0, [](int h) { return Quorin_Get##Name(h, &ok); }}); \
    calls.push_back({"Set" #Name, 0, [](int h) { return Quorin_Set##Name(h, 0); }});
    NAMED_PAIR(Brightness) NAMED_PAIR(Contrast) NAMED_PAIR(Hue) NAMED_PAIR(Saturation)
    NAMED_PAIR(Sharpness) NAMED_PAIR(BayerGainRGB) NAMED_PAIR(BayerGainRed) NAMED_PAIR(BayerGainGreen)
    NAMED_PAIR(BayerGainBlue) NAMED_PAIR(BayerGainAuto) NAMED_PAIR(Gamma) NAMED_PAIR(BayerMode)
    NAMED_PAIR(GlobalGain) NAMED_PAIR(ColorGainRed) NAMED_PAIR(ColorGainGreen1)
    NAMED_PAIR(ColorGainGreen2) NAMED_PAIR(ColorGainBlue) NAMED_PAIR(ExposureTime) NAMED_PAIR(GrayMode)
    NAMED_PAIR(GrayGainR) NAMED_PAIR(GrayGainG1) NAMED_PAIR(GrayGainG2) NAMED_PAIR(GrayGainB)
    NAMED_PAIR(GrayOffsetR) NAMED_PAIR(GrayOffsetG1) NAMED_PAIR(GrayOffsetG2) NAMED_PAIR(GrayOffsetB)
#undef NAMED_PAIR
    return calls;
}

using qtest::DrainHistory;

// The error messages posted to the given window (or to the thread, for a null window).
std::vector<LPARAM> ErrorMessages(HWND window) {
    std::vector<LPARAM> codes;
    for (const PostedMessage& m : TestWindow::Drain()) {
        if (m.message != QUORIN_WM_ERROR || m.window != window) continue;
        EXPECT_EQ(m.wParam, 0u);
        codes.push_back(m.lParam);
    }
    return codes;
}

class ApiFrame : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = Quorin_Initialize(window_.Handle());
        ASSERT_NE(handle_, 0);
        TestWindow::Drain();
    }
    void TearDown() override {
        if (handle_) EXPECT_EQ(Quorin_Release(handle_), 1);
        TestWindow::Drain();
    }
    TestWindow window_;
    int handle_ = 0;
};

}  // namespace

TEST(ApiVersion, AnswersWithoutHandle) { EXPECT_EQ(Quorin_GetDllVersion(), 28116255); }

TEST(ApiUnknownHandle, EveryExportReturnsItsFailureValueAndPostsNothing) {
    TestWindow window;
    const int live = Quorin_Initialize(window.Handle());
    ASSERT_NE(live, 0);
    const int released = Quorin_Initialize(window.Handle());
    ASSERT_NE(released, 0);
    ASSERT_EQ(Quorin_Release(released), 1);
    TestWindow::Drain();

    const std::vector<ExportCall> calls = AllHandleExports();
    EXPECT_EQ(calls.size(), 124u);  // all but Quorin_Initialize and Quorin_GetDllVersion
    for (int unknown : {0, released, live + 1, -1}) {
        if (unknown == live) continue;
        for (const ExportCall& c : calls)
            EXPECT_EQ(c.call(unknown), c.failureValue) << "Quorin_" << c.name << " with handle " << unknown;
    }
    EXPECT_TRUE(TestWindow::Drain().empty());
    EXPECT_EQ(Quorin_GetLastError(live), 0) << "the live camera must not have taken any code";
    EXPECT_EQ(Quorin_Release(live), 1);
}

TEST_F(ApiFrame, FreshHandleHasEmptyHistory) { EXPECT_EQ(Quorin_GetLastError(handle_), 0); }

TEST_F(ApiFrame, HistoryKeepsNewestTwentyDrainedNewestFirst) {
    // 21 failures with codes that tell them apart: 9 (bad colour mode), 11 (unsupported), 1 (nothing
    // captured yet).
    std::vector<int> pushed;
    for (int i = 0; i < 21; ++i) {
        switch (i % 3) {
            case 0: EXPECT_EQ(Quorin_SetColorMode(handle_, 12), 0); pushed.push_back(9); break;
            case 1: EXPECT_EQ(Quorin_GetConfigFilter(handle_), -1); pushed.push_back(11); break;
            default: EXPECT_EQ(Quorin_SaveImage(handle_, "C:\\none.bmp", 0), 0); pushed.push_back(1); break;
        }
    }
    std::vector<int> expected(pushed.rbegin(), pushed.rbegin() + 20);
    std::vector<int> drained;
    for (int i = 0; i < 20; ++i) drained.push_back(Quorin_GetLastError(handle_));
    EXPECT_EQ(drained, expected);
    EXPECT_EQ(Quorin_GetLastError(handle_), 0);
    // Every recorded failure was posted too, in order.
    std::vector<LPARAM> posted = ErrorMessages(window_.Handle());
    EXPECT_EQ(posted, std::vector<LPARAM>(pushed.begin(), pushed.end()));
}

TEST_F(ApiFrame, ReportedErrorIsRecordedAndPosted) {
    EXPECT_EQ(Quorin_SetColorMode(handle_, 12), 0);
    EXPECT_EQ(ErrorMessages(window_.Handle()), std::vector<LPARAM>{9});
    EXPECT_EQ(Quorin_GetLastError(handle_), 9);
    EXPECT_EQ(Quorin_GetLastError(handle_), 0);
}

TEST_F(ApiFrame, NotifyOnlyErrorsArePostedButNotRecorded) {
    EXPECT_EQ(Quorin_SetColorMode(handle_, 7), 0);  // a recorded 9 underneath
    TestWindow::Drain();
    EXPECT_EQ(Quorin_SetAutoIris(handle_, 3), 0);
    EXPECT_EQ(Quorin_ReadSromID(handle_, 256, nullptr), 0);  // identifier index out of range: 1
    EXPECT_EQ(Quorin_WriteSromID(handle_, -1, 5), 0);
    EXPECT_EQ(Quorin_GetIOPort(handle_, nullptr), 0);        // null result pointer: 9
    EXPECT_EQ(Quorin_Fps(handle_, 30), 0);                   // unsupported: 11
    EXPECT_EQ(ErrorMessages(window_.Handle()), (std::vector<LPARAM>{9, 1, 1, 9, 11}));
    EXPECT_EQ(Quorin_GetLastError(handle_), 9);
    EXPECT_EQ(Quorin_GetLastError(handle_), 0);
}

TEST(ApiNullNotifyWindow, RecordsWithoutPostingAndNotifyOnlyGoesToTheThread) {
    TestWindow::Drain();
    const int h = Quorin_Initialize(nullptr);
    ASSERT_NE(h, 0);
    EXPECT_EQ(Quorin_SetColorMode(h, 12), 0);
    EXPECT_TRUE(ErrorMessages(nullptr).empty()) << "a recorded error is not posted without a window";
    EXPECT_EQ(Quorin_SetAutoIris(h, 3), 0);
    // A notify-only error is posted even to a null window, which queues it to the calling thread.
    EXPECT_EQ(ErrorMessages(nullptr), std::vector<LPARAM>{9});
    EXPECT_EQ(Quorin_GetLastError(h), 9);
    EXPECT_EQ(Quorin_GetLastError(h), 0);
    EXPECT_EQ(Quorin_Release(h), 1);
}

TEST_F(ApiFrame, ColourModesMapAndReadBack) {
    const int pairs[][2] = {{8, 8}, {16, 10}, {24, 24}, {32, 32}, {48, 42}, {64, 58}};
    for (const auto& p : pairs) {
        EXPECT_EQ(Quorin_SetColorMode(handle_, p[0]), 1);
        EXPECT_EQ(Quorin_GetColorMode(handle_), p[1]);
    }
    // The read-back values are not accepted as modes; the stored type stays.
    for (int bad : {10, 42, 58, 0, -8, 12}) {
        EXPECT_EQ(Quorin_SetColorMode(handle_, bad), 0);
        EXPECT_EQ(Quorin_GetLastError(handle_), 9);
    }
    EXPECT_EQ(Quorin_GetColorMode(handle_), 58);
}

TEST_F(ApiFrame, StoredValues) {
    EXPECT_EQ(Quorin_SetSubSample(handle_, 1), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 0) << "a refused sub-sampling mode reports nothing";
    EXPECT_EQ(Quorin_SetSubSample(handle_, 0), 1);
    EXPECT_EQ(Quorin_GetSubSample(handle_), 0);

    EXPECT_EQ(Quorin_SetWaitTime(handle_, 12), 1);
    EXPECT_EQ(Quorin_SetWaitTime(handle_, -1), 0);
    EXPECT_EQ(Quorin_GetWaitTime(handle_), 12);
    EXPECT_EQ(Quorin_SetWaitTime(handle_, 0), 1);
    EXPECT_EQ(Quorin_GetWaitTime(handle_), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 0);

    EXPECT_EQ(Quorin_SetHalfClock(handle_, 77), 1);

    int ok = -5;
    EXPECT_EQ(Quorin_SetAutoIris(handle_, -1), 0) << "compared unsigned";
    EXPECT_EQ(Quorin_SetAutoIris(handle_, 2), 1);
    EXPECT_EQ(Quorin_GetAutoIris(handle_, &ok), 2);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Quorin_GetAutoIris(handle_, nullptr), 2);

    int v[6];
    for (int& x : v) x = 0x0DEADF00;
    EXPECT_EQ(Quorin_SetCaptureWindowEx(handle_, 1400, 8, 640, 1100, 16, 480), 1);
    EXPECT_EQ(Quorin_GetCaptureWindowEx(handle_, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), 1);
    EXPECT_EQ(std::vector<int>(v, v + 6), (std::vector<int>{1400, 8, 640, 1100, 16, 480}));
    EXPECT_EQ(Quorin_Width(handle_), 640);
    EXPECT_EQ(Quorin_Height(handle_), 480);
    // Off the sensor: 7, and the values stay stored.
    EXPECT_EQ(Quorin_SetCaptureWindowEx(handle_, 1360, 1, 1360, 1024, 0, 1024), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 7);
    EXPECT_EQ(Quorin_GetCaptureWindowEx(handle_, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), 1);
    EXPECT_EQ(std::vector<int>(v, v + 6), (std::vector<int>{1360, 1, 1360, 1024, 0, 1024}));
    EXPECT_EQ(Quorin_GetCaptureWindowEx(handle_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(Quorin_Width(handle_), 1360);
    EXPECT_EQ(Quorin_Height(handle_), 1024);
    EXPECT_EQ(Quorin_GetStatus(handle_, 123), 0);
}

TEST_F(ApiFrame, UnsupportedFunctions) {
    int value = 0x0DEADF00;
    EXPECT_EQ(Quorin_GetSamplingRate(handle_, &value), 0);
    EXPECT_EQ(value, 0);
    value = 0x0DEADF00;
    EXPECT_EQ(Quorin_GetVideoFormat(handle_, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(Quorin_GetVideoFormat(handle_, nullptr), 0);
    EXPECT_TRUE(ErrorMessages(window_.Handle()).empty());
    EXPECT_EQ(Quorin_GetLastError(handle_), 0);

    int ok = 0;
    EXPECT_EQ(Quorin_Fpga_ReadRegister(handle_, 1, &ok), 0);
    EXPECT_EQ(Quorin_Fpga_WriteRegister(handle_, 1, 2), 0);
    EXPECT_EQ(Quorin_SetCrossbar(handle_, 1, 2), 0);
    EXPECT_EQ(Quorin_SetSamplingRate(handle_, 1), 0);
    EXPECT_EQ(ErrorMessages(window_.Handle()), (std::vector<LPARAM>{11, 11, 11, 11}));
    EXPECT_EQ(Quorin_GetLastError(handle_), 0);

    EXPECT_EQ(Quorin_GetConfigFilter(handle_), -1);
    EXPECT_EQ(Quorin_SetConfigFilter(handle_, 3), -1);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{11, 11}));
}

// A camera whose second stage failed has no device object: the shared section's name is taken by
// an object of another kind, so the section can be neither opened nor created.
class ApiWithoutDevice : public ::testing::Test {
protected:
    void SetUp() override {
        blocker_ = CreateEventA(nullptr, TRUE, FALSE, "ZUDADA_USBCAMERA");
        if (!blocker_ || GetLastError() == ERROR_ALREADY_EXISTS)
            GTEST_SKIP() << "the section name is in use by another client";
        handle_ = Quorin_Initialize(window_.Handle());
        ASSERT_NE(handle_, 0) << "the handle is returned even when the second stage fails";
        EXPECT_EQ(Quorin_GetLastError(handle_), 5);
        EXPECT_EQ(Quorin_GetLastError(handle_), 0);
        TestWindow::Drain();
    }
    void TearDown() override {
        if (handle_) EXPECT_EQ(Quorin_Release(handle_), 1);
        if (blocker_) CloseHandle(blocker_);
        TestWindow::Drain();
    }
    TestWindow window_;
    HANDLE blocker_ = nullptr;
    int handle_ = 0;
};

TEST_F(ApiWithoutDevice, OperationsNeedingADeviceReportOne) {
    int ok = -5;
    char names[256 * 10];
    QuorinCameraInfo info = {36};
    EXPECT_EQ(Quorin_ReadRegister(handle_, 3, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Quorin_WriteRegisterEx(handle_, 0x1FF, 0x12345), 0);
    EXPECT_EQ(Quorin_GetFilterValue(handle_, 1, &ok), 0);
    EXPECT_EQ(Quorin_SetBrightness(handle_, 5), 0);
    EXPECT_EQ(Quorin_GetMirrorH(handle_), 0);
    EXPECT_EQ(Quorin_StartPreview(handle_), 0);
    EXPECT_EQ(Quorin_SetCaptureWindowEx(handle_, 1360, 0, 1360, 1024, 0, 1024), 0);
    EXPECT_EQ(Quorin_EnumDevice(handle_, names), 0);
    EXPECT_EQ(Quorin_GetCameraInfo(handle_, &info), 0);
    EXPECT_EQ(Quorin_SetDeviceNumber(handle_, 0), 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>(10, 1)));

    // Vertical mirror, I/O port, clock and serial memory report without recording.
    TestWindow::Drain();
    BYTE port = 0xAB;
    EXPECT_EQ(Quorin_GetMirrorV(handle_), 0);
    EXPECT_EQ(Quorin_GetIOPort(handle_, &port), 0);
    EXPECT_EQ(Quorin_GetHalfClock(handle_, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Quorin_ReadSromID(handle_, 0, nullptr), 0);
    EXPECT_EQ(Quorin_WriteSromID(handle_, 0, 1), 0);
    // The failed second stage never stored the notify window, so these go to the thread's queue.
    EXPECT_EQ(ErrorMessages(nullptr), (std::vector<LPARAM>(5, 1)));
    EXPECT_EQ(Quorin_GetLastError(handle_), 0);
    // What needs no device still works.
    EXPECT_EQ(Quorin_SetColorMode(handle_, 16), 1);
    EXPECT_EQ(Quorin_GetColorMode(handle_), 10);
}

TEST_F(ApiWithoutDevice, NestedReportsKeepTheSpecificCodeBelowTheGeneralOne) {
    // Live display: the start's 1, the stop's 1 from the close, then 8 on top.
    EXPECT_EQ(Quorin_Preview(handle_), 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{8, 1, 1}));
    // Recording: a null or empty name is 9; otherwise the failed start is followed by 12.
    EXPECT_EQ(Quorin_Record(handle_, nullptr, 100, 0), 0);
    EXPECT_EQ(Quorin_Record(handle_, "", 100, 0), 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{9, 9}));
    EXPECT_EQ(Quorin_Record(handle_, "C:\\clip.avi", 100, 0), 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{12, 1, 1}));
    // Close always returns 1; without a device its stop reports 1.
    EXPECT_EQ(Quorin_Close(handle_), 1);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{1}));
}

TEST_F(ApiFrame, WidePathsThatCannotBeConvertedReportTwelve) {
    // A character the ANSI code page has no exact form for must not be best-fitted into the path.
    const wchar_t unmappable[] = L"C:\\cfg\x2215name.bin";  // DIVISION SLASH
    EXPECT_EQ(Quorin_LoadConfigFileW(handle_, unmappable), 0);
    EXPECT_EQ(Quorin_RecordW(handle_, unmappable, 10, 0), 0);
    EXPECT_EQ(Quorin_LoadConfigFileW(handle_, nullptr), 0);
    std::wstring tooLong(1100, L'a');
    EXPECT_EQ(Quorin_LoadConfigFileW(handle_, tooLong.c_str()), 0);
    EXPECT_EQ(DrainHistory(handle_), (std::vector<int>{12, 12, 12, 12}));
}

TEST_F(ApiFrame, ConfigurationFileReadsWholeRecords) {
    qtest::ScratchFile file("cfg");
    const char* path = file.Path();
    FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    const unsigned char bytes[20] = {1, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0, 9, 9, 9, 9};
    std::fwrite(bytes, 1, sizeof bytes, f);
    std::fclose(f);
    EXPECT_EQ(Quorin_LoadConfigFileA(handle_, path), 1);
    wchar_t wpath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path, -1, wpath, MAX_PATH);
    EXPECT_EQ(Quorin_LoadConfigFileW(handle_, wpath), 1);

    f = std::fopen(path, "wb");  // empty file: a valid, empty list
    std::fclose(f);
    EXPECT_EQ(Quorin_LoadConfigFileA(handle_, path), 1);
    DeleteFileA(path);
    EXPECT_EQ(Quorin_LoadConfigFileA(handle_, path), 0) << "missing file";
    EXPECT_EQ(Quorin_LoadConfigFileA(handle_, nullptr), 0);
    EXPECT_EQ(Quorin_GetLastError(handle_), 0) << "a file that cannot be read reports nothing";
}

TEST(ApiRegistry, TwoHandlesReleaseInAnyOrder) {
    const int a = Quorin_Initialize(nullptr);
    const int b = Quorin_Initialize(nullptr);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(Quorin_SetColorMode(a, 16), 1);
    EXPECT_EQ(Quorin_SetColorMode(b, 32), 1);
    EXPECT_EQ(Quorin_GetColorMode(a), 10);  // a lookup that rotates the ring
    EXPECT_EQ(Quorin_GetColorMode(b), 32);
    EXPECT_EQ(Quorin_Release(a), 1);
    EXPECT_EQ(Quorin_GetColorMode(a), -1);
    EXPECT_EQ(Quorin_GetColorMode(b), 32);
    EXPECT_EQ(Quorin_Release(a), 0) << "second release of the same handle";
    EXPECT_EQ(Quorin_Release(b), 1);
    EXPECT_EQ(Quorin_GetWaitTime(b), -1);
}
