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
    // Posted to the open frame by the acquisition thread's auto iris after it stored and sent a new
    // value: wParam the edit box (1015 or 1027) to refresh from the record; lParam the value (not
    // used: the record holds the newest).
    static const UINT kAutoIrisValueMessage = WM_APP + 0x152;

    // openWindows lists the camera's open analog dialogs for the auto iris's refresh.
    CAnalogDialog(quorin::AnalogSettings& record, quorin::AnalogDevice& device,
                  const std::atomic<int32_t>& clockMode, DialogWindowSlot& openWindows);

protected:
    void OnInitDialog() override;
    // The device's default gain and exposure, colour gains 0; mirrors and auto iris unchanged.
    void OnDefault() override;
    bool OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    quorin::AnalogSettings& record_;
    quorin::AnalogDevice& device_;
    CAnalogPage page_;
};
