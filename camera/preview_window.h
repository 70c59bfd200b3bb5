// The library's own preview window: a child of the caller's window or a top-level window centred on
// the screen, with a window class of its own registered for each window made. The window has no
// behaviour of its own; the acquisition worker paints frames into it through its device context.
#pragma once

#include <windows.h>

// Where the preview goes: a child of parent at rect (left, top, right as width, bottom as height),
// or with no parent a top-level window whose client area is clientWidth x clientHeight.
struct PreviewPlacement {
    HWND parent;
    RECT rect;
    int clientWidth;
    int clientHeight;
};

class PreviewWindow {
public:
    // The control id of the child window.
    static const int kChildId = 6540;

    PreviewWindow();
    // Destroy.
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Whether a placement asks for a window at all: a parent, or a rectangle that is not all zero.
    static bool Wanted(const PreviewPlacement& placement);

    // Registers the class named after owner, creates and shows the window and takes its device
    // context. False with everything that was made undone (class unregistered, window destroyed).
    bool Open(const PreviewPlacement& placement, const void* owner);
    // Releases the device context, destroys the window and unregisters its class. A window belongs
    // to the thread that made it: from any other thread it is asked to close (the owning thread
    // destroys it at its next message dispatch, or the system does when that thread ends) and its
    // class is unregistered by a later Destroy once the window is gone.
    void Destroy();

    // Unregisters the classes left registered by a Destroy on another thread whose windows are gone.
    static void UnregisterRetiredClasses();

    // Whether the window still exists. One destroyed from outside (the user closed it, or the
    // application destroyed its parent) is forgotten with its device context, which the system
    // took back with it: nothing is painted into it or released on it again.
    bool StillExists();

    // Whether this window was opened for placement and still exists.
    bool Matches(const PreviewPlacement& placement) const;

    HWND Window() const { return window_; }
    HDC Dc() const { return dc_; }
    const char* ClassName() const { return className_; }

private:
    bool RegisterWindowClass(const void* owner);
    bool CreateTheWindow();

    PreviewPlacement placement_;
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
    char className_[256];
};
