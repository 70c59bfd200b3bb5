// The camera and the owner window every dialog test starts from, the language of the run, and the
// screenshots each test writes of the dialogs it opens.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/support/camera.h"
#include "tests/support/windows_and_dialogs.h"

namespace dlgtest {

// English text, or the Japanese one in the Japanese run.
inline std::string Lang(const char* english, const char* japanese) {
    return JapaneseSystem() ? japanese : english;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(owner_.Handle()) << "broken bench: no display for windows";
        ASSERT_TRUE(cam_.Open(0, M52SIM_PACE_FAST));
        h_ = cam_.handle;
    }
    void TearDown() override {
        cam_.Close();
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
    bool FramesFlowAfter(uint32_t after, DWORD ms) { return qtest::WaitForDelivered(0, 2, ms, after); }
    int Filter(int id) {
        int ok = 0;
        return Quorin_GetFilterValue(h_, id, &ok);
    }

    qtest::CameraSession cam_;
    int h_ = 0;
    OwnerWindow owner_;
};

}  // namespace dlgtest
