#include "dialogs/dialog_window_slot.h"

void DialogWindowSlot::Set(HWND window) {
    EnterCriticalSection(&lock_);
    window_ = window;
    LeaveCriticalSection(&lock_);
}

bool DialogWindowSlot::Post(UINT message, WPARAM wParam, LPARAM lParam) {
    EnterCriticalSection(&lock_);
    const bool posted = window_ && PostMessageA(window_, message, wParam, lParam);
    LeaveCriticalSection(&lock_);
    return posted;
}
