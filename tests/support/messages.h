// Waiting for what the SDK posts: frame notices (QUORIN_WM_FRAME), error notices, any posted
// message to a test window, and a condition polled with a limit. Every wait has a time-out.
//
//   qtest::TestWindow window;                       // hidden window on the test's thread
//   auto frames = qtest::CollectFrames(window.Handle(), 5000, 3);   // up to 3 frames or 5 s
//   EXPECT_TRUE(qtest::WaitUntil([&] { return Done(); }, 2000));
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/api/test_window.h"

namespace qtest {

using ::PostedMessage;
using ::TestWindow;

// One QUORIN_WM_FRAME as it arrived: the block's contents are copied when the notice is taken.
struct FrameNotice {
    LPARAM code = 0;             // 0 for a frame, else the error code
    bool hasInfo = false;
    QuorinFrameInfo info = {};
    DWORD at = 0;                // GetTickCount when taken
};

// Collects frame notices to window until `count` frames (notices with a block) arrived or ms
// passed; error notices are collected too.
std::vector<FrameNotice> CollectFrames(HWND window, DWORD ms, size_t count = SIZE_MAX);
// Waits for an error notice (0, code) to window; its arrival tick, or 0 after ms.
DWORD WaitForFrameError(HWND window, LPARAM code, DWORD ms);
// Waits for a posted message (0x8000..0x8FFF) to window; true (and the message) when it came.
// The thread's other messages are dispatched meanwhile (a preview window on it keeps painting).
bool WaitForMessage(HWND window, UINT message, DWORD ms, PostedMessage* got = nullptr);
// Waits for a frame notice with its block (QUORIN_WM_FRAME, wParam set) to window, dispatching
// as above; error notices are passed over.
bool WaitForFrame(HWND window, DWORD ms);

// Polls condition every stepMs (dispatching this thread's sent messages meanwhile) until it
// holds or ms passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD ms, DWORD stepMs = 10);
// Dispatches every message waiting for this thread's windows (not the posted SDK notices).
void PumpMessages();

// Bytes of one frame of a colour type (8, 16, 24, 32, 48, 64 bits) at 1360 x 1024.
inline int FrameBytes(int bits) { return ((1360 * bits / 8 + 3) & ~3) * 1024; }

}  // namespace qtest
