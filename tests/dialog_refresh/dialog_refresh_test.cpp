// The analog and filter dialogs follow what the acquisition thread measures while frames stream:
// its requests are posted to the open dialog, which reloads on its own thread, so neither thread
// waits for the other, and a dialog closed while frames keep coming ends cleanly.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/device/sim_camera.h"

namespace {

const char kProductKey[] = "Software\\Zudada\\QuorinM52DXLTXSdk";

// Polls cond until it holds; false after a generous bound (a hang shows as a failure, not a wait).
bool Eventually(const std::function<bool()>& cond) {
    for (int i = 0; i < 1500; ++i) {
        if (cond()) return true;
        Sleep(20);
    }
    return false;
}

std::string Text(HWND window, int id) {
    char text[64] = {};
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

struct FindFrame {
    HWND found = nullptr;
    static BOOL CALLBACK Visit(HWND window, LPARAM self) {
        wchar_t caption[64] = {};
        GetWindowTextW(window, caption, 64);
        if (IsWindowVisible(window) && (!lstrcmpW(caption, L"Property") ||
                                        !lstrcmpW(caption, L"\x30D7\x30ED\x30D1\x30C6\x30A3"))) {
            reinterpret_cast<FindFrame*>(self)->found = window;
            return FALSE;
        }
        return TRUE;
    }
};

class DialogRefresh : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sim_.IsOpen()) GTEST_SKIP() << "the simulated camera driver is not installed";
        ASSERT_TRUE(sim_.Attach(0) && sim_.Reset(0));
        RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
        h_ = Quorin_Initialize(nullptr);
        ASSERT_NE(h_, 0);
        ASSERT_EQ(Quorin_SetColorMode(h_, 24), 1);
        ASSERT_EQ(Quorin_CallBackPreview(h_, nullptr, nullptr, 0, 1), 1);
    }
    void TearDown() override {
        if (!h_) return;
        EXPECT_EQ(Quorin_StopPreview(h_), 1);  // the worker is still answering
        Quorin_Release(h_);
        RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
    }

    // Runs the export on this thread while drive(frame, first page) works the dialog from another
    // and ends it; the export's result.
    int RunDialog(int (*exportFn)(int, HWND), const std::function<void(HWND, HWND)>& drive) {
        const DWORD self = GetCurrentThreadId();
        std::thread driver([&] {
            FindFrame find;
            Eventually([&] { EnumThreadWindows(self, &FindFrame::Visit, reinterpret_cast<LPARAM>(&find)); return find.found != nullptr; });
            if (!find.found) return;
            HWND page = FindWindowExA(GetDlgItem(find.found, 1001), nullptr, "#32770", nullptr);
            drive(find.found, page);
        });
        const int result = exportFn(h_, nullptr);
        driver.join();
        return result;
    }

    simtest::SimControl sim_;
    int h_ = 0;
    int ok_ = 0;
};

TEST_F(DialogRefresh, WhiteBalanceOnEveryFrameIsShownWhileTheUserDragsAndCancelPutsTheGainsBack) {
    const int result = RunDialog(Quorin_SetImageDlg, [&](HWND frame, HWND page) {
        SendMessageA(GetDlgItem(page, 1035), BM_CLICK, 0, 0);  // "All frames"
        HWND slider = GetDlgItem(page, 2001);
        int drags = 0;
        // Refreshes arrive while the brightness slider is being moved.
        const bool shown = Eventually([&] {
            const int position = (drags++ % 2) ? 40 : -40;
            SendMessageA(slider, TBM_SETPOS, TRUE, position);
            SendMessageA(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
            const int red = Quorin_GetBayerGainRed(h_, &ok_);
            return red != 100 && Text(page, 2052) == std::to_string(red);
        });
        EXPECT_TRUE(shown) << "the measured red gain never reached the dialog";
        SendMessageA(GetDlgItem(frame, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Quorin_GetBayerGainAuto(h_, &ok_), 0);
    EXPECT_EQ(Quorin_GetBayerGainRed(h_, &ok_), 100);
    EXPECT_EQ(Quorin_GetBayerGainBlue(h_, &ok_), 100);
    EXPECT_EQ(Quorin_GetBrightness(h_, &ok_), 0);
}

TEST_F(DialogRefresh, DialogsClosedWhileMeasuringEveryFrameEndCleanly) {
    for (int round = 0; round < 4; ++round) {
        HWND closed = nullptr;
        const int result = RunDialog(Quorin_SetImageDlg, [&](HWND frame, HWND page) {
            SendMessageA(GetDlgItem(page, 1035), BM_CLICK, 0, 0);
            Eventually([&] { return Text(page, 2052) != "100"; });
            closed = frame;
            // OK keeps the measurement on: frames go on asking for refreshes after the window.
            if (round % 2) PostMessageA(frame, WM_CLOSE, 0, 0);
            else SendMessageA(GetDlgItem(frame, IDOK), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(result, 1) << "round " << round;
        EXPECT_FALSE(IsWindow(closed));
    }
    const uint32_t before = sim_.Status(0).frames_delivered;
    EXPECT_TRUE(Eventually([&] { return sim_.Status(0).frames_delivered > before + 2; }));
}

TEST_F(DialogRefresh, AutoIrisGainIsShownByTheOpenAnalogPageAndCancelPutsTheDeviceBack) {
    // The shortest exposure: a dark picture, so the auto iris raises the gain frame after frame.
    ASSERT_EQ(Quorin_SetExposureTime(h_, 1074), 1);
    const int before = Quorin_GetGlobalGain(h_, &ok_);
    const int result = RunDialog(Quorin_SetAnalogDlg, [&](HWND frame, HWND page) {
        SendMessageA(GetDlgItem(page, 1036), BM_CLICK, 0, 0);  // auto iris on the gain
        const bool shown = Eventually([&] {
            const int gain = Quorin_GetGlobalGain(h_, &ok_);
            return gain != before && Text(page, 1015) == std::to_string(gain);
        });
        EXPECT_TRUE(shown) << "the auto-iris gain never reached the dialog: gain "
                           << Quorin_GetGlobalGain(h_, &ok_) << ", edit " << Text(page, 1015);
        SendMessageA(GetDlgItem(frame, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Quorin_GetAutoIris(h_, &ok_), 0);
    EXPECT_EQ(Quorin_GetGlobalGain(h_, &ok_), before);
    EXPECT_EQ(static_cast<int>(sim_.Status(0).gain), before);
}

}  // namespace
