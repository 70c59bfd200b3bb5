// The windows of a camera's open property dialogs of one kind, as the acquisition thread sees them.
// Several may be open at once (one per thread). A dialog adds its window once it exists and
// removes it before the window is destroyed; the acquisition thread only posts to them, under the
// same short lock, so nothing it sends can wait on a dialog's thread and no message is posted to a
// window that is gone.
#pragma once

#include <windows.h>

#include <vector>

class DialogWindowSlot {
public:
    DialogWindowSlot() { InitializeCriticalSection(&lock_); }
    ~DialogWindowSlot() { DeleteCriticalSection(&lock_); }
    DialogWindowSlot(const DialogWindowSlot&) = delete;
    DialogWindowSlot& operator=(const DialogWindowSlot&) = delete;

    void Add(HWND window);
    // Removes this window only; the other dialogs' windows stay.
    void Remove(HWND window);
    // Posts the message to every open dialog's window; false when none is open or a post failed.
    bool Post(UINT message, WPARAM wParam, LPARAM lParam);

private:
    CRITICAL_SECTION lock_;
    std::vector<HWND> windows_;
};
