#include "tests/dialogs/dialog_driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>

namespace dlgtest {

namespace {

// A window that does not answer within this time is taken as hung.
const UINT kAnswerMs = 5000;
// An export still running this long after its dialog was told to close is deadlocked.
const DWORD kExportGuardMs = 60000;

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerMs, &result) &&
        GetLastError() == ERROR_TIMEOUT)
        ADD_FAILURE() << "window " << window << " did not answer message 0x" << std::hex << message;
    return LRESULT(result);
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct PageSearch {
    int id;
    HWND page;
};

BOOL CALLBACK FindPage(HWND child, LPARAM p) {
    PageSearch* s = reinterpret_cast<PageSearch*>(p);
    if (ClassOf(child) == "#32770" && GetDlgItem(child, s->id)) {
        s->page = child;
        return FALSE;
    }
    return TRUE;
}

struct FrameSearch {
    DWORD thread;
    HWND owner;
    std::wstring caption;  // empty: any dialog of the thread
    HWND found;
};

BOOL CALLBACK FindFrame(HWND window, LPARAM p) {
    FrameSearch* s = reinterpret_cast<FrameSearch*>(p);
    if (GetWindowThreadProcessId(window, nullptr) != s->thread || !IsWindowVisible(window)) return TRUE;
    if (ClassOf(window) != "#32770") return TRUE;
    if (!s->caption.empty()) {
        wchar_t text[128] = {};
        InternalGetWindowText(window, text, 128);
        if (GetWindow(window, GW_OWNER) != s->owner || s->caption != text) return TRUE;
    }
    s->found = window;
    return FALSE;
}

HWND FindDialog(DWORD thread, HWND owner, const std::wstring& caption) {
    FrameSearch s = {thread, owner, caption, nullptr};
    EnumWindows(FindFrame, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png))) ok = false;
    else if (ok) {
        png_init_io(png, out);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y)
            png_write_row(png, const_cast<png_bytep>(&rgb[size_t(y) * width * 3]));
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0 && ok;
}

}  // namespace

std::wstring Wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), int(utf8.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), int(utf8.size()), &w[0], n);
    return w;
}

std::string Utf8(const std::wstring& wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), int(wide.size()), &s[0], n, nullptr, nullptr);
    return s;
}

bool JapaneseSystem() { return GetSystemDefaultLangID() == 1041; }

std::string RequestedLanguage() {
    const char* v = std::getenv("QUORIN_DIALOG_LANGUAGE");
    return v && std::string(v) == "ja" ? "ja" : "en";
}

std::string PropertyCaption() { return JapaneseSystem() ? "プロパティ" : "Property"; }

std::string ScreenshotDir() {
    const char* v = std::getenv("QUORIN_SCREENSHOT_DIR");
    if (!v || !*v) return {};
    std::string dir = v;
    if (dir[0] == '/') dir = "Z:" + dir;  // a Unix path from CTest
    dir += "/" + RequestedLanguage();
    std::string partial;
    for (char c : dir) {
        if ((c == '/' || c == '\\') && partial.size() > 2) CreateDirectoryA(partial.c_str(), nullptr);
        partial += c;
    }
    CreateDirectoryA(partial.c_str(), nullptr);
    return dir;
}

HWND DialogDriver::Control(int id) const {
    if (HWND c = GetDlgItem(frame_, id)) return c;
    HWND page = PageWith(id);
    return page ? GetDlgItem(page, id) : nullptr;
}

HWND DialogDriver::PageWith(int id) const {
    PageSearch s = {id, nullptr};
    EnumChildWindows(frame_, FindPage, reinterpret_cast<LPARAM>(&s));
    return s.page;
}

std::string DialogDriver::Text(HWND control) const {
    wchar_t text[512] = {};
    Send(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return Utf8(text);
}

std::vector<std::string> DialogDriver::Labels(HWND window) const {
    std::vector<std::string> labels;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const std::string cls = ClassOf(c);
        if (cls == "Static" || cls == "Button") labels.push_back(Text(c));
    }
    return labels;
}

bool DialogDriver::Checked(HWND button) const { return Send(button, BM_GETCHECK) == BST_CHECKED; }

SliderState DialogDriver::Slider(HWND slider) const {
    SliderState s;
    s.min = int(Send(slider, TBM_GETRANGEMIN));
    s.max = int(Send(slider, TBM_GETRANGEMAX));
    s.page = int(Send(slider, TBM_GETPAGESIZE));
    s.pos = int(Send(slider, TBM_GETPOS));
    return s;
}

void DialogDriver::UpDownRange(HWND upDown, int* min, int* max) const {
    Send(upDown, UDM_GETRANGE32, reinterpret_cast<WPARAM>(min), reinterpret_cast<LPARAM>(max));
}

std::vector<std::string> DialogDriver::ComboItems(HWND combo) const {
    std::vector<std::string> items;
    const int n = int(Send(combo, CB_GETCOUNT));
    for (int i = 0; i < n; ++i) {
        wchar_t text[256] = {};
        if (Send(combo, CB_GETLBTEXTLEN, i) < 255) Send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(Utf8(text));
    }
    return items;
}

int DialogDriver::ComboSelection(HWND combo) const { return int(Send(combo, CB_GETCURSEL)); }

int DialogDriver::TabCount() const { return int(Send(GetDlgItem(frame_, 1001), TCM_GETITEMCOUNT)); }

std::string DialogDriver::TabText(int index) const {
    wchar_t text[256] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 255;
    Send(GetDlgItem(frame_, 1001), TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
    return Utf8(text);
}

void DialogDriver::Type(HWND edit, const std::string& text) const {
    const std::wstring w = Wide(text);
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

void DialogDriver::Drag(HWND slider, int pos, int code) const {
    Send(slider, TBM_SETPOS, TRUE, pos);
    Send(GetParent(slider), WM_HSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(slider));
}

void DialogDriver::Click(HWND button) const {
    ASSERT_NE(button, nullptr);
    Send(button, BM_CLICK);
}

void DialogDriver::Choose(HWND combo, int index) const {
    Send(combo, CB_SETCURSEL, index);
    Send(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
         reinterpret_cast<LPARAM>(combo));
}

void DialogDriver::SelectTab(int index) const {
    HWND tab = GetDlgItem(frame_, 1001);
    Send(tab, TCM_SETCURSEL, index);
    NMHDR note = {tab, 1001, UINT(TCN_SELCHANGE)};
    Send(frame_, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&note));
}

bool DialogDriver::Screenshot(const std::string& path, std::string* why) const {
    // Bring the dialog up and let it finish painting before reading the screen.
    SetWindowPos(frame_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Send(frame_, WM_NULL);
    Sleep(300);
    // The client area: on Xvfb without a window manager Wine leaves the caption bar unpainted.
    RECT r;
    if (!GetClientRect(frame_, &r)) return *why = "no dialog window", false;
    MapWindowPoints(frame_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return *why = "empty dialog rectangle", false;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    std::set<uint32_t> colours;
    if (copied) {
        const uint32_t* px = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < size_t(w) * h; ++i) {
            const uint32_t c = px[i] & 0xFFFFFF;
            colours.insert(c);
            rgb[3 * i] = uint8_t(c >> 16);
            rgb[3 * i + 1] = uint8_t(c >> 8);
            rgb[3 * i + 2] = uint8_t(c);
        }
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied) return *why = "the screen could not be read", false;
    if (!WritePng(path, w, h, rgb)) return *why = "cannot write " + path, false;
    // Anti-aliased text on a button face gives dozens of shades; a blank or unpainted window a few.
    if (colours.size() < 16) return *why = path + " is blank: " + std::to_string(colours.size()) + " colours", false;
    return true;
}

DialogRun RunDialog(const std::function<int()>& exportCall, HWND owner,
                    const std::function<void(DialogDriver&)>& script, DWORD findMs) {
    DialogRun run;
    const DWORD mainThread = GetCurrentThreadId();
    const std::wstring caption = Wide(PropertyCaption());
    HANDLE exportDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread driver([&] {
        HWND frame = nullptr;
        const DWORD start = GetTickCount();
        while (!frame && GetTickCount() - start < findMs && WaitForSingleObject(exportDone, 20) == WAIT_TIMEOUT)
            frame = FindDialog(mainThread, owner, caption);
        if (frame) {
            run.found = true;
            DialogDriver d(frame);
            script(d);
        }
        // Whatever is still open (the script's dialog, or one that never matched) is cancelled.
        const DWORD closing = GetTickCount();
        while (WaitForSingleObject(exportDone, 50) == WAIT_TIMEOUT) {
            // A dialog told to end is hidden before the click returns, but may take a moment to
            // return from its loop.
            if (GetTickCount() - closing < 200) continue;
            HWND open = frame && IsWindowVisible(frame) ? frame : FindDialog(mainThread, owner, L"");
            if (open && !frame && !run.closedByGuard) {
                wchar_t text[128] = {};
                InternalGetWindowText(open, text, 128);
                ADD_FAILURE() << "a dialog \"" << Utf8(text) << "\" owned by " << GetWindow(open, GW_OWNER)
                              << " showed instead of \"" << PropertyCaption() << "\" owned by " << owner;
            }
            if (open) {
                run.closedByGuard = true;
                PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
            }
            if (GetTickCount() - closing > kExportGuardMs) {
                std::fprintf(stderr, "FATAL: a dialog export did not return %lu ms after its dialog was closed\n",
                             kExportGuardMs);
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
        }
    });
    run.exportResult = exportCall();
    SetEvent(exportDone);
    driver.join();
    CloseHandle(exportDone);
    return run;
}

namespace {
LRESULT CALLBACK OwnerProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }
}  // namespace

OwnerWindow::OwnerWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorinDialogTestOwner";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);  // fails harmlessly when already registered
    // Small, in the corner: the centred dialogs never overlap it in a screenshot.
    window_ = CreateWindowW(wc.lpszClassName, L"Dialog test owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 160, 60,
                            nullptr, nullptr, wc.hInstance, nullptr);
}

OwnerWindow::~OwnerWindow() {
    if (window_) DestroyWindow(window_);
}

}  // namespace dlgtest
