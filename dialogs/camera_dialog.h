// The camera dialog: the stream format of one camera number (colour mode, sensor clock, wait time
// and the stored sensor sizes), read from and written to the registry by the dialog itself. A
// single "Stream Format" tab without pages: the controls sit on the frame template.
#pragma once

#include "dialogs/property_dialog.h"
#include "settings/camera_format_store.h"

class CCameraDialog : public CPropertyDialog {
public:
    explicit CCameraDialog(int cameraNumber);

    // The format as the dialog holds it: loaded at initialisation, changed by Apply and OK.
    const quorin::CameraFormatRecord& Record() const { return record_; }

protected:
    void OnInitDialog() override;
    void OnOk() override;
    void OnApply() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    // The registry's format into record_; keeps the defaults where nothing is stored, and brings a
    // stored size index that names no line of the size list back inside the list.
    void LoadRecord();
    void FillLists();
    // Shows an entry's first six values in the six size edit boxes; the full sensor for the
    // "Custom" line.
    void ShowSizeEntry(int index);
    // Reads the lists and edit boxes into record_ (a list without a selected line, or a wait
    // time that is not a number of 0 or more, keeps the value held), then saves it.
    void ApplyAndSave();
    // Reads the six size edit boxes over entry's first six values; a box without a number keeps
    // its value.
    void ReadSizeEdits(quorin::SizeEntry* entry) const;
    int SelectedLine(int list) const;
    void SetSizeLine(int index, bool insert);

    int cameraNumber_;
    quorin::CameraFormatRecord record_;
    bool initialising_ = false;
};
