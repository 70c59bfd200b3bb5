#include "tests/support/windows_and_dialogs.h"

#include <cstring>

#include "tests/support/messages.h"

namespace qtest {

namespace {

struct Search {
    const WindowQuery* query;
    std::vector<HWND> found;
    bool firstOnly;
};

BOOL CALLBACK Visit(HWND window, LPARAM context) {
    Search* s = reinterpret_cast<Search*>(context);
    const WindowQuery& q = *s->query;
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    if (q.process && process != q.process) return TRUE;
    if (q.thread && thread != q.thread) return TRUE;
    if (q.owner && GetWindow(window, GW_OWNER) != q.owner) return TRUE;
    if (q.visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (q.className && ClassName(window) != q.className) return TRUE;
    if (q.title && WindowText(window) != q.title) return TRUE;
    s->found.push_back(window);
    return s->firstOnly ? FALSE : TRUE;
}

}  // namespace

std::vector<HWND> FindTopLevels(const WindowQuery& query) {
    Search s = {&query, {}, false};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND FindTopLevel(const WindowQuery& query) {
    Search s = {&query, {}, true};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
    return s.found.empty() ? nullptr : s.found.front();
}

HWND WaitForTopLevel(const WindowQuery& query, DWORD ms) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopLevel(query)) != nullptr; }, ms, 20);
    return found;
}

bool WaitForWindowGone(HWND window, DWORD ms, bool hiddenIsGone) {
    return WaitUntil([&] { return !IsWindow(window) || (hiddenIsGone && !IsWindowVisible(window)); }, ms, 20);
}

std::string WindowText(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return dlgtest::Utf8(text);
}

std::string ClassName(HWND window) {
    char name[128] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

void PostCommand(HWND window, int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void ClickButton(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

}  // namespace qtest
