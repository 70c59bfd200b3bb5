// The window of a camera's open property dialog, as the acquisition thread sees it. The dialog sets
// it once its window exists and clears it before the window is destroyed; the acquisition thread
// only posts to it, under the same short lock, so nothing it sends can wait on the dialog's thread
// and no message is posted to a window that is gone.
#pragma once

#include <windows.h>

class DialogWindowSlot {
public:
    DialogWindowSlot() { InitializeCriticalSection(&lock_); }
    ~DialogWindowSlot() { DeleteCriticalSection(&lock_); }
    DialogWindowSlot(const DialogWindowSlot&) = delete;
    DialogWindowSlot& operator=(const DialogWindowSlot&) = delete;

    void Set(HWND window);
    void Clear() { Set(nullptr); }
    // Posts the message to the open dialog's window; false when none is open or the post failed.
    bool Post(UINT message, WPARAM wParam, LPARAM lParam);

private:
    CRITICAL_SECTION lock_;
    HWND window_ = nullptr;
};
