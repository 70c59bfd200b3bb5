// Drives a modal property dialog the way a user would, from a second thread: the export runs on
// the test's main thread inside its modal loop, the script finds the dialog by caption and owner,
// reads and changes its controls with window messages, takes screenshots and ends it. Every wait
// has a time-out, so a dialog that never shows or never ends fails the test instead of hanging it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace dlgtest {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// True when this process runs under the Japanese system locale (the Japanese templates apply).
bool JapaneseSystem();
// What the test run asked for: "ja" when QUORIN_DIALOG_LANGUAGE says so, else "en".
std::string RequestedLanguage();

struct SliderState {
    int min = 0, max = 0, page = 0, pos = 0;
};

class DialogDriver {
public:
    explicit DialogDriver(HWND frame) : frame_(frame) {}
    HWND Frame() const { return frame_; }

    // A control on the frame template, else on any page (the first page holding it).
    HWND Control(int id) const;
    // The page dialog (a child dialog under the tab control) that holds the control id.
    HWND PageWith(int id) const;
    HWND On(HWND page, int id) const { return GetDlgItem(page, id); }

    std::string Text(HWND control) const;
    // The texts of every static, button and group box of a window (not recursing into pages).
    std::vector<std::string> Labels(HWND window) const;
    bool Enabled(HWND control) const { return IsWindowEnabled(control) != FALSE; }
    bool Visible(HWND control) const { return IsWindowVisible(control) != FALSE; }
    bool Checked(HWND button) const;
    SliderState Slider(HWND slider) const;
    void UpDownRange(HWND upDown, int* min, int* max) const;
    std::vector<std::string> ComboItems(HWND combo) const;
    int ComboSelection(HWND combo) const;
    int TabCount() const;
    std::string TabText(int index) const;

    // WM_SETTEXT on an edit box (its EN_CHANGE goes to the page as when typing).
    void Type(HWND edit, const std::string& text) const;
    // TBM_SETPOS, then the WM_HSCROLL a drag sends to the page (code: TB_THUMBTRACK while
    // dragging, TB_THUMBPOSITION / TB_ENDTRACK at the end).
    void Drag(HWND slider, int pos, int code = TB_THUMBPOSITION) const;
    void Click(HWND button) const;
    // CB_SETCURSEL and the CBN_SELCHANGE the list sends to its dialog.
    void Choose(HWND combo, int index) const;
    // TCM_SETCURSEL and the TCN_SELCHANGE notification to the frame.
    void SelectTab(int index) const;

    // The dialog's client area as the screen shows it, written as a PNG; false (reason in *why) when it could
    // not be captured or is blank (one colour or too few colours to hold any text).
    bool Screenshot(const std::string& path, std::string* why) const;

    // OK (1) or Cancel (2) through a click on the frame's button.
    void End(int buttonId) const { Click(GetDlgItem(frame_, buttonId)); }

private:
    HWND frame_;
};

// The result of one driven dialog run.
struct DialogRun {
    int exportResult = -1;
    bool found = false;      // the dialog showed with the caption and owner
    bool closedByGuard = false;  // the script left it open (or it never matched) and it was cancelled
};

// The caption the property frames carry in this process's language.
std::string PropertyCaption();

// Runs exportCall on this thread while script drives the dialog from a second thread. The dialog
// is looked for by caption (UTF-8) and owner for findMs. Whatever the script leaves open is
// cancelled; an export that does not return within the guard time ends the process with a
// failure message (a deadlock must not hang the whole test run).
DialogRun RunDialog(const std::function<int()>& exportCall, HWND owner,
                    const std::function<void(DialogDriver&)>& script, DWORD findMs = 10000);

// A visible, plain top-level window on the calling thread to own the dialogs.
class OwnerWindow {
public:
    OwnerWindow();
    ~OwnerWindow();
    HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

// Where this run writes its screenshots (QUORIN_SCREENSHOT_DIR, per language), created on demand;
// empty when not set.
std::string ScreenshotDir();

}  // namespace dlgtest
