#include "tests/support/messages.h"

#include <cstring>

namespace qtest {

std::vector<FrameNotice> CollectFrames(HWND window, DWORD ms, size_t count) {
    std::vector<FrameNotice> notices;
    size_t frames = 0;
    const DWORD start = GetTickCount();
    while (frames < count && GetTickCount() - start < ms) {
        for (const PostedMessage& m : TestWindow::Drain()) {
            if (m.message != QUORIN_WM_FRAME || m.window != window) continue;
            FrameNotice n;
            n.code = m.lParam;
            n.at = GetTickCount();
            if (m.wParam) {
                n.hasInfo = true;
                std::memcpy(&n.info, reinterpret_cast<const void*>(m.wParam), sizeof n.info);
                ++frames;
            }
            notices.push_back(n);
        }
        if (frames < count) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_POSTMESSAGE);
    }
    return notices;
}

DWORD WaitForFrameError(HWND window, LPARAM code, DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        for (const PostedMessage& m : TestWindow::Drain())
            if (m.message == QUORIN_WM_FRAME && m.window == window && m.wParam == 0 && m.lParam == code)
                return GetTickCount();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_POSTMESSAGE);
    }
    return 0;
}

namespace {

bool WaitForPosted(const std::function<bool(const PostedMessage&)>& wanted, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        for (const PostedMessage& m : TestWindow::Drain())
            if (wanted(m)) return true;
        if (GetTickCount() - start >= ms) return false;
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

}  // namespace

bool WaitForMessage(HWND window, UINT message, DWORD ms, PostedMessage* got) {
    return WaitForPosted([&](const PostedMessage& m) {
        if (m.message != message || m.window != window) return false;
        if (got) *got = m;
        return true;
    }, ms);
}

bool WaitForFrame(HWND window, DWORD ms) {
    return WaitForPosted([&](const PostedMessage& m) {
        return m.message == QUORIN_WM_FRAME && m.window == window && m.wParam != 0 && m.lParam == 0;
    }, ms);
}

void PumpMessages() {
    MSG msg;
    // Only messages below the SDK's notice range: the notices stay for the waits above.
    while (PeekMessageA(&msg, nullptr, 0, 0x7FFF, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& condition, DWORD ms, DWORD stepMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= ms) return false;
        PumpMessages();
        Sleep(stepMs);
    }
}

}  // namespace qtest
