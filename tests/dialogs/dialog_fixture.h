// The camera and the owner window every dialog test starts from, the language of the run, and the
// screenshots each test writes of the dialogs it opens.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/acquisition/acquisition_support.h"
#include "tests/dialogs/dialog_driver.h"

namespace dlgtest {

// English text, or the Japanese one in the Japanese run.
inline std::string Lang(const char* english, const char* japanese) {
    return JapaneseSystem() ? japanese : english;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!owner_.Handle()) GTEST_SKIP() << "no display for windows";
        std::string why;
        if (!cam_.SetUp(&why)) GTEST_SKIP() << why;
        h_ = cam_.handle;
        cam_.sim.Pace(0, M52SIM_PACE_FAST);
    }
    void TearDown() override {
        if (h_) Quorin_StopPreview(h_);
        cam_.TearDown();
    }
    // Writes the dialog's screenshot as NAME.png in the run's screenshot folder (if one is set)
    // and fails when it is blank.
    void Shoot(const DialogDriver& d, const std::string& name) {
        const std::string dir = ScreenshotDir();
        if (dir.empty()) return;
        std::string why;
        EXPECT_TRUE(d.Screenshot(dir + "/" + name + ".png", &why)) << why;
    }
    // Frames the simulated camera has delivered so far.
    uint32_t Delivered() { return cam_.sim.Status(0).frames_delivered; }
    // Waits up to ms for more than `after` delivered frames.
    bool FramesFlowAfter(uint32_t after, DWORD ms) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms)
            if (Delivered() > after + 1) return true;
            else Sleep(20);
        return false;
    }
    int Filter(int id) {
        int ok = 0;
        return Quorin_GetFilterValue(h_, id, &ok);
    }

    acqtest::CameraFixture cam_;
    int h_ = 0;
    OwnerWindow owner_;
};

}  // namespace dlgtest
