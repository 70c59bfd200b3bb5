#include "test_window.h"

TestWindow::TestWindow() {
    static const char kClass[] = "QuorinTestNotifyWindow";
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);  // a second registration fails harmlessly
    window_ = CreateWindowExA(0, kClass, "notify", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    Drain();
}

TestWindow::~TestWindow() {
    if (window_) DestroyWindow(window_);
    Drain();
}

std::vector<PostedMessage> TestWindow::Drain() {
    std::vector<PostedMessage> out;
    MSG msg;
    while (PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0x8000, 0x8FFF, PM_REMOVE))  // thread messages
        out.push_back({msg.hwnd, msg.message, msg.wParam, msg.lParam});
    while (PeekMessageA(&msg, nullptr, 0x8000, 0x8FFF, PM_REMOVE))
        out.push_back({msg.hwnd, msg.message, msg.wParam, msg.lParam});
    return out;
}
