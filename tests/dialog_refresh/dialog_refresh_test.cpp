// The open analog dialog follows the gain the auto iris sets on the acquisition thread while frames
// stream: the value is posted to the dialog, which writes it into its edit box on its own thread,
// so neither thread waits for the other.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/support/camera.h"
#include "tests/support/windows_and_dialogs.h"

namespace {

using qtest::SimControl;

// Polls cond until it holds; false after a generous bound (a hang shows as a failure, not a wait).
bool Eventually(const std::function<bool()>& cond) { return qtest::WaitUntil(cond, 30000, 20); }

class DialogRefresh : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cam_.Open());
        h_ = cam_.handle;
        ASSERT_EQ(Quorin_SetColorMode(h_, 24), 1);
        ASSERT_EQ(Quorin_CallBackPreview(h_, nullptr, nullptr, 0, 1), 1);
    }
    void TearDown() override {
        if (h_) {
            EXPECT_EQ(Quorin_StopPreview(h_), 1);  // the worker is still answering
        }
        cam_.Close();
        qtest::ClearProductKey();
    }

    qtest::CameraSession cam_;
    SimControl& sim_ = qtest::Sim();
    int h_ = 0;
    int ok_ = 0;
};

TEST_F(DialogRefresh, AutoIrisGainIsShownByTheOpenAnalogPageAndCancelPutsTheDeviceBack) {
    // The shortest exposure: a dark picture, so the auto iris raises the gain frame after frame.
    ASSERT_EQ(Quorin_SetExposureTime(h_, 1074), 1);
    const int before = Quorin_GetGlobalGain(h_, &ok_);
    const qtest::DialogRun run = qtest::RunDialog([&] { return Quorin_SetAnalogDlg(h_, nullptr); }, nullptr,
                                                  [&](qtest::DialogDriver& d) {
        HWND page = d.PageWith(1015);
        d.Click(d.On(page, 1036));  // auto iris on the gain
        const bool shown = Eventually([&] {
            const int gain = Quorin_GetGlobalGain(h_, &ok_);
            return gain != before && d.Text(d.On(page, 1015)) == std::to_string(gain);
        });
        EXPECT_TRUE(shown) << "the auto-iris gain never reached the dialog: gain "
                           << Quorin_GetGlobalGain(h_, &ok_) << ", edit " << d.Text(d.On(page, 1015));
        d.End(IDCANCEL);
    });
    EXPECT_TRUE(run.found) << "the analog dialog did not show";
    EXPECT_EQ(run.exportResult, 1);
    EXPECT_EQ(Quorin_GetAutoIris(h_, &ok_), 0);
    EXPECT_EQ(Quorin_GetGlobalGain(h_, &ok_), before);
    EXPECT_EQ(static_cast<int>(sim_.Status(0).gain), before);
}

}  // namespace
