// The analog dialog: one "Analog Gain" tab over the camera's sensor values. It edits the record and
// the device in place; the export that runs it puts them back unless it ends with OK.
#pragma once

#include <atomic>
#include <cstdint>

#include "dialogs/analog_page.h"
#include "dialogs/dialog_window_slot.h"
#include "dialogs/property_dialog.h"

class CAnalogDialog : public CPropertyDialog {
public:
    // Posted to the open frame by the acquisition thread's auto iris: wParam the edit box (1015 or
    // 1027), lParam the new value (signed).
    static const UINT kAutoIrisValueMessage = WM_APP + 0x152;

    // openWindow is the camera's record of this dialog's window while it is open.
    CAnalogDialog(quorin::AnalogSettings& record, quorin::AnalogDevice& device,
                  const std::atomic<int32_t>& clockMode, DialogWindowSlot& openWindow);
    ~CAnalogDialog() override;

protected:
    void OnInitDialog() override;
    void OnOk() override;
    void OnCancel() override;
    // The device's default gain and exposure, colour gains 0; mirrors and auto iris unchanged.
    void OnDefault() override;
    bool OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    quorin::AnalogSettings& record_;
    quorin::AnalogDevice& device_;
    DialogWindowSlot& openWindow_;
    CAnalogPage page_;
};
