// Shared pieces of the acquisition tests: a camera on the simulated camera with first-run
// settings, the frame notices a window receives, scenes set through m52sim, and the frames the
// simulated camera must deliver for them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/api/test_window.h"
#include "tests/device/sim_camera.h"

namespace acqtest {

// One QUORIN_WM_FRAME as it arrived: the block's contents are copied when the notice is taken.
struct FrameNotice {
    LPARAM code = 0;             // 0 for a frame, else the error code
    bool hasInfo = false;
    QuorinFrameInfo info = {};
    DWORD at = 0;                // GetTickCount when taken
};

// Collects frame notices to `window` until `count` frames (notices with a block) arrived or `ms`
// passed; error notices are collected too.
std::vector<FrameNotice> CollectFrames(HWND window, DWORD ms, size_t count = SIZE_MAX);
// Waits for an error notice (0, code) to `window`; its arrival tick, or 0 after `ms`.
DWORD WaitForFrameError(HWND window, LPARAM code, DWORD ms);
// Error codes in the history, newest first.
std::vector<int> DrainHistory(int handle);

// Runs m52sim.exe from the test's folder with args; false (and the reason in *why) when it is
// missing or fails.
bool RunM52Sim(const std::string& args, std::string* why);
// Writes a 24-bit bottom-up BMP of rgb (R, G, B bytes, top line first).
bool WriteBmp(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
// A scratch file path in the temporary folder.
std::string TempFile(const char* name);

// The sensor picture as R, G, B bytes, top line first.
std::vector<uint8_t> NoisePicture(uint32_t seed);
std::vector<uint8_t> RedLeftBlueRightPicture();

// The mosaic the simulated camera reads from picture with the exposure and gain it holds now:
// 1360 x 1024 samples, 8-bit or (word mode) 16-bit little-endian.
std::vector<uint8_t> SimulatedMosaic(simtest::SimControl& sim, const std::vector<uint8_t>& picture, bool wordMode);

// The demosaic (phase R G / G B, unity gains) of a mosaic into a colour image of bitsPerPixel
// 24, 32, 48 or 64, in stored row order with the image's stride.
std::vector<uint8_t> DemosaicOf(const std::vector<uint8_t>& mosaic, int bitsPerPixel);

// Sends software trigger pulses to camera 0.
bool TriggerPulses(uint32_t count);

// A camera handle on camera 0 with the settings of a first run (colour 24 bits, wait 1 ms,
// clock mode 2, neutral filters), a frame window, and the simulated camera back at its defaults.
class CameraFixture {
public:
    bool SetUp(std::string* why);
    void TearDown();
    int handle = 0;
    TestWindow window;
    simtest::SimControl sim;
};

// Bytes of one frame of a colour type (8, 16, 24, 32, 48, 64 bits) at 1360 x 1024.
inline int FrameBytes(int bits) { return ((1360 * bits / 8 + 3) & ~3) * 1024; }

}  // namespace acqtest
