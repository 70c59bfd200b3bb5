// A frame window that falls behind the camera: every notice it handles still shows its own frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/acquisition/acquisition_support.h"

TEST(FrameNotices, AWindowThatFallsBehindReadsEachFramesOwnBlock) {
    acqtest::CameraFixture cam;
    std::string why;
    ASSERT_TRUE(cam.SetUp(&why)) << why;
    const int h = cam.handle;
    const HWND w = cam.window.Handle();
    // A small window: frames come as fast as the camera's fast pacing allows.
    ASSERT_EQ(Quorin_SetCaptureWindowEx(h, 1360, 0, 320, 1024, 0, 240), 1);
    std::vector<uint8_t> buffer(320 * 3 * 240);
    ASSERT_TRUE(cam.sim.Pace(0, M52SIM_PACE_FAST));
    ASSERT_EQ(Quorin_SetPreviewWindow(h, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Quorin_CallBackPreview(h, w, buffer.data(), static_cast<int>(buffer.size()), 1), 1);

    // The window handles every other notice only once the next one is queued: it keeps falling a
    // frame or two behind and catching up, as a window that works a little on each frame does
    // beside a fast camera.
    int handled = 0, notAbove = 0, badFields = 0;
    unsigned last = 0;
    const DWORD start = GetTickCount();
    MSG m;
    while (handled < 400 && GetTickCount() - start < 120000) {
        if (!PeekMessageA(&m, w, QUORIN_WM_FRAME, QUORIN_WM_FRAME, PM_REMOVE)) {
            Sleep(1);
            continue;
        }
        ASSERT_NE(m.wParam, 0u) << "error notice " << m.lParam;
        MSG next;
        for (DWORD wait = GetTickCount(); handled % 2 == 0 && GetTickCount() - wait < 2000;) {
            if (PeekMessageA(&next, w, QUORIN_WM_FRAME, QUORIN_WM_FRAME, PM_NOREMOVE)) break;
            Sleep(1);
        }
        const QuorinFrameInfo& info = *reinterpret_cast<const QuorinFrameInfo*>(m.wParam);
        if (info.frameNumber <= last) ++notAbove;
        if (info.size != 32 || info.width != 320 || info.height != 240 || info.bitsPerPixel != 24 ||
            info.data != buffer.data() || info.fps10 < 0)
            ++badFields;
        last = info.frameNumber;
        ++handled;
    }
    EXPECT_EQ(Quorin_StopPreview(h), 1);
    EXPECT_GE(handled, 200);
    EXPECT_EQ(notAbove, 0) << "of " << handled << " notices, frame numbers not above the previous one";
    EXPECT_EQ(badFields, 0);
    EXPECT_EQ(acqtest::DrainHistory(h), std::vector<int>{});
    cam.TearDown();
}
