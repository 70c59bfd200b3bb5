#include "dialogs/dialog_window_slot.h"

#include <algorithm>

void DialogWindowSlot::Add(HWND window) {
    if (!window) return;
    EnterCriticalSection(&lock_);
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) windows_.push_back(window);
    LeaveCriticalSection(&lock_);
}

void DialogWindowSlot::Remove(HWND window) {
    EnterCriticalSection(&lock_);
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    LeaveCriticalSection(&lock_);
}

bool DialogWindowSlot::Post(UINT message, WPARAM wParam, LPARAM lParam) {
    EnterCriticalSection(&lock_);
    bool posted = !windows_.empty();
    for (HWND window : windows_) posted = PostMessageA(window, message, wParam, lParam) && posted;
    LeaveCriticalSection(&lock_);
    return posted;
}
