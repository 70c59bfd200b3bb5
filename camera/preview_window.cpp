#include "camera/preview_window.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <mmsystem.h>

#include "camera/critical_section.h"

namespace {

const char kChildTitle[] = "ActiveMovie Window";
const char kTopLevelTitle[] = "Active Window";
const DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;  // 0x52000000
const DWORD kTopLevelStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;  // 0x16CF0000
// A class name is made of the time and a random number; a clash with a class still registered is
// met by drawing another.
const int kClassNameAttempts = 8;

LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// Classes whose window was still alive, on another thread, when their owner was closed: they are
// unregistered by a later Destroy once that window is gone.
class RetiredClasses {
public:
    void Add(const char* name) {
        CriticalSectionLock hold(lock_);
        names_.push_back(name);
    }
    void UnregisterFinished() {
        CriticalSectionLock hold(lock_);
        HINSTANCE instance = GetModuleHandleA(nullptr);
        for (size_t i = 0; i < names_.size();) {
            if (UnregisterClassA(names_[i].c_str(), instance) || GetLastError() == ERROR_CLASS_DOES_NOT_EXIST)
                names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
            else
                ++i;
        }
    }

private:
    CriticalSection lock_;
    std::vector<std::string> names_;
};

RetiredClasses& Retired() {
    static RetiredClasses classes;
    return classes;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

PreviewWindow::PreviewWindow() : placement_() { className_[0] = 0; }

PreviewWindow::~PreviewWindow() { Destroy(); }

bool PreviewWindow::Wanted(const PreviewPlacement& p) {
    return p.parent || p.rect.left || p.rect.top || p.rect.right || p.rect.bottom;
}

bool PreviewWindow::Open(const PreviewPlacement& placement, const void* owner) {
    Destroy();
    placement_ = placement;
    if (!RegisterWindowClass(owner) || !CreateTheWindow()) {
        Destroy();
        return false;
    }
    return true;
}

bool PreviewWindow::RegisterWindowClass(const void* owner) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = 0;
    wc.lpfnWndProc = PreviewWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = className_;
    const unsigned ownerLow = static_cast<unsigned>(reinterpret_cast<uintptr_t>(owner));
    for (int attempt = 0; attempt < kClassNameAttempts; ++attempt) {
        wsprintfA(className_, "VideoRenderer_%08x_%08x", ownerLow, static_cast<unsigned>(timeGetTime() + rand()));
        if (RegisterClassExA(&wc)) return true;
        if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) break;
    }
    className_[0] = 0;
    return false;
}

bool PreviewWindow::CreateTheWindow() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (placement_.parent) {
        const RECT& r = placement_.rect;
        // The rectangle's right and bottom are the window's width and height.
        window_ = CreateWindowExA(WS_EX_LEFT, className_, kChildTitle, kChildStyle, r.left, r.top, r.right, r.bottom,
                                  placement_.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChildId)),
                                  instance, nullptr);
    } else {
        RECT outer = {0, 0, placement_.clientWidth, placement_.clientHeight};
        if (!AdjustWindowRectEx(&outer, kTopLevelStyle, FALSE, WS_EX_LEFT)) return false;
        const int w = outer.right - outer.left, h = outer.bottom - outer.top;
        int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
        if (x < 0) x = 0;
        if (y < 0) y = 0;
        window_ = CreateWindowExA(WS_EX_LEFT, className_, kTopLevelTitle, kTopLevelStyle, x, y, w, h, nullptr,
                                  nullptr, instance, nullptr);
    }
    if (!window_) return false;
    SetFocus(window_);
    ShowWindow(window_, SW_SHOW);
    if (!UpdateWindow(window_)) return false;
    dc_ = GetDC(window_);
    return dc_ != nullptr;
}

bool PreviewWindow::StillExists() {
    if (window_ && IsWindow(window_)) return true;
    dc_ = nullptr;
    window_ = nullptr;
    return false;
}

void PreviewWindow::Destroy() {
    // The device context of a window destroyed from outside went back to the system with it, and
    // may already serve another window: it is not released again.
    if (dc_ && IsWindow(window_)) ReleaseDC(window_, dc_);
    dc_ = nullptr;
    bool classInUse = false;
    if (window_) {
        if (GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId()) {
            DestroyWindow(window_);
        } else if (IsWindow(window_)) {
            // Posted, never sent: the owning thread may itself be waiting for this one.
            PostMessageA(window_, WM_CLOSE, 0, 0);
            classInUse = true;
        }
        window_ = nullptr;
    }
    if (className_[0]) {
        if (classInUse || !UnregisterClassA(className_, GetModuleHandleA(nullptr))) Retired().Add(className_);
        className_[0] = 0;
    }
    Retired().UnregisterFinished();
}

void PreviewWindow::UnregisterRetiredClasses() { Retired().UnregisterFinished(); }

bool PreviewWindow::Matches(const PreviewPlacement& p) const {
    if (!window_ || !IsWindow(window_) || p.parent != placement_.parent || !SameRect(p.rect, placement_.rect))
        return false;
    return p.parent || (p.clientWidth == placement_.clientWidth && p.clientHeight == placement_.clientHeight);
}
