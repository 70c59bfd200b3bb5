// A real hidden window on the test thread that collects the messages the SDK posts to it.
#pragma once

#include <windows.h>

#include <vector>

struct PostedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    HWND Handle() const { return window_; }
    // Every posted message of the range 0x8000..0x8FFF waiting in this thread's queue, for any
    // window of the thread and for the thread itself (a null target window).
    static std::vector<PostedMessage> Drain();

private:
    HWND window_ = nullptr;
};
