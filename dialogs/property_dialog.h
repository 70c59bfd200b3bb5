// The frame every property dialog is built on: a modal dialog with an owner-drawn tab control
// (id 1001) whose pages are modeless child dialogs, OK / Cancel and the frame's own buttons
// (Default, id 3; Apply, id 1002) as hooks for the concrete dialogs.
//
// Each dialog and page window finds its object through the window (DWLP_USER, set from the
// creation parameter), so dialogs of several cameras may be open at once on different threads.
#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

class CDialogPage;
class DialogWindowSlot;

class CPropertyDialog {
public:
    // Posted to the open frame to make every page reload its controls from the record on the
    // dialog's own thread (the pipeline's refresh after an automatic pass).
    static const UINT kReloadPagesMessage = WM_APP + 0x151;

    CPropertyDialog(int japaneseTemplate, int englishTemplate);
    virtual ~CPropertyDialog();
    CPropertyDialog(const CPropertyDialog&) = delete;
    CPropertyDialog& operator=(const CPropertyDialog&) = delete;

    // Shows the dialog modally over parent and returns what ended it: 1 for OK, 2 for Cancel,
    // closing the window, or the window destroyed from outside (its owner went); -1 when the
    // dialog could not be made.
    INT_PTR Run(HWND parent);

    // The frame window while the dialog is open, else null.
    HWND Window() const { return window_; }
    // Posts a message to the open frame (any thread); false when no dialog is open.
    bool Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

protected:
    // The camera's list of open dialogs of this kind that the pipeline posts its refreshes to: the
    // frame is in it from its initialisation until it ends or is destroyed. Before Run.
    void ListIn(DialogWindowSlot& openWindows) { openWindows_ = &openWindows; }
    // A tab with its page (null for a tab without a page); before Run. The page object stays the
    // caller's and must outlive the dialog.
    void AddPage(CDialogPage* page);
    void AddTab(const wchar_t* englishCaption, const wchar_t* japaneseCaption);

    // After the tabs and pages are made.
    virtual void OnInitDialog() {}
    // OK: every page copies its edit boxes into the record, then the dialog ends with 1.
    virtual void OnOk();
    // Cancel and closing: the dialog ends with 2.
    virtual void OnCancel();
    // "Default(&D)" (id 3).
    virtual void OnDefault() {}
    // "Apply(&A)" (id 1002).
    virtual void OnApply() {}
    // Other commands on the frame template; true when handled.
    virtual bool OnCommand(int id, int code, HWND control) { return false; }
    // Other messages from WM_APP up; true when handled.
    virtual bool OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam) { return false; }

    // Every page reloads its controls from the record.
    void ReloadPages();
    // Shows the page of tab index and hides the others.
    void ShowPage(int index);
    void End(INT_PTR result);
    const std::vector<CDialogPage*>& Pages() const { return pages_; }

private:
    struct Tab {
        const wchar_t* caption;
        CDialogPage* page;
    };

    static INT_PTR CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void InitFrame();
    void DrawTab(const DRAWITEMSTRUCT& item);
    // Takes the frame out of the camera's list: nothing may be posted to it from here on.
    void Unlist();

    int templateId_;
    bool made_ = false;  // the frame window existed during Run
    DialogWindowSlot* openWindows_ = nullptr;
    HWND listed_ = nullptr;  // the window in openWindows_, if any
    std::atomic<HWND> window_{nullptr};
    HWND tab_ = nullptr;
    HBRUSH faceBrush_;  // the tabs' background, COLOR_BTNFACE
    std::vector<Tab> tabs_;
    std::vector<CDialogPage*> pages_;
};
