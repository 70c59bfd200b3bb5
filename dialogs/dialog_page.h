// One page of a property dialog: a modeless child dialog inside the frame's tab control, editing a
// record of the camera in place. Its values are shown as slider triples (a trackbar, an edit box
// and an up-down arrow that stay in step), described by a table the concrete page fills in before
// the page is created.
//
// Page templates are child dialogs: STYLE DS_CONTROL | DS_SETFONT | WS_CHILD (not visible; the
// frame shows the selected page), with trackbars, edit boxes and up-down arrows (UDS_SETBUDDYINT
// | UDS_ALIGNRIGHT | UDS_ARROWKEYS) of the ids in the table.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

class CDialogPage {
public:
    // One value shown as slider, edit box and up-down arrow.
    struct SliderTriple {
        int slider;
        int edit;
        int upDown;
        int32_t minimum;
        int32_t maximum;
        int32_t pageSize;               // the slider's page size
        std::atomic<int32_t>* value;    // the record's field
        bool enabled;                   // the three controls are enabled or disabled together
    };

    CDialogPage(int japaneseTemplate, int englishTemplate, const wchar_t* englishCaption,
                const wchar_t* japaneseCaption);
    virtual ~CDialogPage();
    CDialogPage(const CDialogPage&) = delete;
    CDialogPage& operator=(const CDialogPage&) = delete;

    // Creates the page as a child of parent (the frame's tab control), hidden; null on failure.
    HWND Create(HWND parent);
    HWND Window() const { return window_; }
    // The tab's caption in the system's language.
    const wchar_t* Caption() const { return caption_; }

    // Sets every control from the record (the Default button and the pipeline's refresh). The
    // edit boxes' change notices are ignored meanwhile: the record already holds these values.
    void Reload();
    // Copies into the record every edit box whose text is not what the page last showed or stored
    // (OK). A box still showing that value leaves the record alone: the pipeline may have stored a
    // newer value whose refresh is still queued.
    void Apply();
    // Shows the record's value of the triple with this edit box in its slider and edit box, as
    // Reload does for all: a display refresh that stores and sends nothing.
    void ReloadValue(int edit);

protected:
    // Adds a triple; before Create.
    void AddTriple(const SliderTriple& triple) { triples_.push_back(triple); }
    const std::vector<SliderTriple>& Triples() const { return triples_; }

    // The page's own set-up after the triples, while the initialisation flag is still 0.
    virtual void OnInitPage() {}
    // The page's other controls set from the record, inside Reload (initialisation flag 0).
    virtual void OnReloadPage() {}
    // The page's other controls read into the record, inside Apply.
    virtual void OnApplyPage() {}
    // Commands of the page's other controls (buttons, check boxes); true when handled.
    virtual bool OnCommand(int id, int code, HWND control) { return false; }
    // After an edit box's new value was stored into the record and its slider moved; the page
    // passes it on (to the device, a label).
    virtual void OnValueEdited(size_t triple, int32_t value) {}
    // Set by a page whose sliders store into the record at once, not only through their edit box.
    void StoreOnScroll(bool on) { storeOnScroll_ = on; }

    // Writes value into triple's edit box as signed text (its change notice follows).
    void SetEditValue(const SliderTriple& triple, int32_t value);
    // Sets the triple's slider and edit box from the record with the change notices ignored.
    void ShowRecordValue(size_t triple);
    // Reads an edit box as a signed integer; false when it holds no number.
    bool ReadEditValue(int edit, int32_t* value) const;
    bool Initialised() const { return initialised_; }

    HWND window_ = nullptr;

private:
    static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void SetUpTriple(const SliderTriple& triple);
    void OnScroll(HWND slider);
    void OnEditChanged(int edit);

    int templateId_;
    const wchar_t* caption_;
    std::vector<SliderTriple> triples_;
    std::vector<int32_t> shown_;  // per triple, the value its edit box last showed or stored
    bool initialised_ = false;  // 0 while the page is being set up or reloaded
    bool storeOnScroll_ = false;
};
