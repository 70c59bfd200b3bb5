// The analog dialog's page: global gain, the four colour gains and the exposure register as slider
// triples, the two mirror flags and the auto-iris mode. Gain, exposure and mirror changes go to the
// device as they are made.
#pragma once

#include <atomic>
#include <cstdint>

#include "dialogs/dialog_page.h"
#include "settings/analog_device.h"
#include "settings/analog_settings.h"

class CAnalogPage : public CDialogPage {
public:
    // clockMode is the camera's clock setting, read whenever the exposure time is shown.
    CAnalogPage(quorin::AnalogSettings& record, quorin::AnalogDevice& device,
                const std::atomic<int32_t>& clockMode);

    // The auto iris's refresh: shows the record's gain (edit 1015) or exposure (1027) and the
    // exposure time. The pipeline has already stored and sent the value: nothing is sent again, so
    // a late refresh can never put back an older value. Other ids are ignored.
    void ShowValue(int edit);

protected:
    void OnInitPage() override;
    void OnReloadPage() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnValueEdited(size_t triple, int32_t value) override;

private:
    void ShowExposureTime();

    quorin::AnalogSettings& record_;
    quorin::AnalogDevice& device_;
    const std::atomic<int32_t>& clockMode_;
};
