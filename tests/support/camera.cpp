#include "tests/support/camera.h"

namespace qtest {

std::vector<int> DrainHistory(int handle) {
    std::vector<int> codes;
    for (int code; codes.size() < 25 && (code = Quorin_GetLastError(handle)) != 0;) codes.push_back(code);
    return codes;
}

namespace {

std::string Codes(const std::vector<int>& codes) {
    std::string text;
    for (int c : codes) text += (text.empty() ? "" : ", ") + std::to_string(c);
    return text;
}

}  // namespace

::testing::AssertionResult CameraSession::Open(uint32_t number, uint32_t pace, HWND notify) {
    Close();
    camera = number;
    ::testing::AssertionResult ready = SimReady(camera);
    if (!ready) return ready;
    if (!sim.Pace(camera, pace))
        return ::testing::AssertionFailure() << "broken bench: simulated camera " << camera << " refuses its pace";
    ClearProductKey();  // first-run settings
    handle = Quorin_Initialize(notify);
    if (!handle) return ::testing::AssertionFailure() << "broken bench: Quorin_Initialize made no camera object";
    std::vector<int> history = DrainHistory(handle);
    if (history.empty() && camera != 0 && Quorin_SetDeviceNumber(handle, int(camera)) != 1)
        history = DrainHistory(handle);
    if (!history.empty())
        return ::testing::AssertionFailure() << "broken bench: camera " << camera
                                             << " did not open cleanly (history: " << Codes(history) << ")";
    TestWindow::Drain();
    return ::testing::AssertionSuccess();
}

void CameraSession::Close() {
    if (handle) {
        Quorin_StopPreview(handle);
        Quorin_Release(handle);
        handle = 0;
        sim.Attach(camera);
        sim.Reset(camera);
    }
    TestWindow::Drain();
}

}  // namespace qtest
