// Finding and driving windows and dialogs from a test: top-level windows by process, thread,
// owner, class and title, waits for them to show or go, menu commands and button clicks; the
// property dialogs are driven with DialogDriver / RunDialog (tests/dialogs/dialog_driver.h).
//
//   HWND w = qtest::WaitForTopLevel({child.Id(), 0, nullptr, "QuorinViewer"}, 30000);
//   qtest::PostCommand(w, ID_CAMERA_LIVE);
//   HWND dlg = qtest::WaitForTopLevel({child.Id(), 0, w, "#32770"}, 10000);
//   qtest::ClickButton(GetDlgItem(dlg, IDCANCEL));
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/dialogs/dialog_driver.h"

namespace qtest {

using dlgtest::DialogDriver;
using dlgtest::DialogRun;
using dlgtest::OwnerWindow;
using dlgtest::RunDialog;

// What to look for; zero / null fields match anything.
struct WindowQuery {
    DWORD process = 0;
    DWORD thread = 0;
    HWND owner = nullptr;
    const char* className = nullptr;
    const char* title = nullptr;   // exact caption (UTF-8)
    bool visibleOnly = true;
};

// The first top-level window that matches, or null.
HWND FindTopLevel(const WindowQuery& query);
// Every top-level window that matches.
std::vector<HWND> FindTopLevels(const WindowQuery& query);
// Waits up to ms for a match (the calling thread's sent messages are dispatched meanwhile).
HWND WaitForTopLevel(const WindowQuery& query, DWORD ms);
// Waits up to ms until window is destroyed (or hidden, with hiddenIsGone).
bool WaitForWindowGone(HWND window, DWORD ms, bool hiddenIsGone = false);

// The caption or text of a window, as UTF-8.
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// WM_COMMAND as a menu or accelerator sends it, posted (a modal dialog it opens runs in the
// window's own loop).
void PostCommand(HWND window, int id);
// BM_CLICK, posted: the button's owner gets its BN_CLICKED as from a mouse click.
void ClickButton(HWND button);

}  // namespace qtest
