#include "tests/support/sim.h"

#include <cstdio>
#include <cstdlib>

#include "tests/support/scratch.h"
#include "tools/m52sim/m52sim_service.h"

namespace qtest {

uint32_t TestCamera() {
    static const uint32_t camera = [] {
        const char* given = std::getenv("QUORIN_TEST_CAMERA");
        const long n = given ? std::strtol(given, nullptr, 10) : 0;
        return n >= 0 && n < 32 ? uint32_t(n) : 0u;
    }();
    return camera;
}

SimControl& Sim() {
    static SimControl control;
    return control;
}

::testing::AssertionResult SimReady(uint32_t camera) {
    if (!Sim().IsOpen())
        return ::testing::AssertionFailure() << "broken bench: the simulated camera driver is not installed "
                                                "(its control device cannot be opened)";
    if (!Sim().Attach(camera) || !Sim().Reset(camera))
        return ::testing::AssertionFailure() << "broken bench: simulated camera " << camera << " cannot be attached";
    return ::testing::AssertionSuccess();
}

SimCamera::~SimCamera() {
    if (!ready_) return;
    Sim().Attach(camera_);
    Sim().Reset(camera_);
    if (unplugAtEnd_) Sim().Detach(camera_);
}

::testing::AssertionResult SimCamera::Ready() {
    ::testing::AssertionResult ready = SimReady(camera_);
    if (!ready) return ready;
    ready_ = true;
    if (!Sim().Pace(camera_, pace_))
        return ::testing::AssertionFailure() << "broken bench: simulated camera " << camera_ << " refuses its pace";
    return ready;
}

bool TriggerPulses(uint32_t camera, uint32_t count) { return Sim().Trigger(camera, count); }

bool WriteBmp(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t pixels = uint32_t(stride) * height, size = 54 + pixels;
    std::vector<uint8_t> f(size, 0);
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i)); };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    f[26] = 1;
    f[28] = 24;
    put32(34, pixels);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = &f[54 + size_t(height - 1 - y) * stride];  // bottom-up
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            row[3 * x] = p[2];
            row[3 * x + 1] = p[1];
            row[3 * x + 2] = p[0];
        }
    }
    return WriteBytes(path, f);
}

::testing::AssertionResult SetPicture(uint32_t camera, const std::vector<uint8_t>& rgb) {
    if (rgb.size() != size_t(1360) * 1024 * 3)
        return ::testing::AssertionFailure() << "a sensor picture is 1360 x 1024 x 3 bytes, not " << rgb.size();
    if (!m52sim::UploadPicture(camera, rgb.data(), DWORD(rgb.size())))
        return ::testing::AssertionFailure() << "camera " << camera << " did not take the picture: "
                                             << m52sim::ErrorText(GetLastError());
    if (Sim().Status(camera).scene != 255u)
        return ::testing::AssertionFailure() << "camera " << camera << " did not switch to the picture scene";
    return ::testing::AssertionSuccess();
}

bool WaitForDelivered(uint32_t camera, uint32_t count, DWORD ms, uint32_t since) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (Sim().Status(camera).frames_delivered >= since + count) return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(10);
    }
}

}  // namespace qtest
