#include "dialogs/analog_dialog.h"

#include "dialogs/dialog_ids.h"

CAnalogDialog::CAnalogDialog(quorin::AnalogSettings& record, quorin::AnalogDevice& device,
                             const std::atomic<int32_t>& clockMode, DialogWindowSlot& openWindow)
    : CPropertyDialog(IDD_ANALOG_FRAME_JA, IDD_ANALOG_FRAME_EN),
      record_(record), device_(device), openWindow_(openWindow), page_(record, device, clockMode) {
    AddPage(&page_);
}

CAnalogDialog::~CAnalogDialog() { openWindow_.Clear(); }

void CAnalogDialog::OnInitDialog() { openWindow_.Set(Window()); }

// The window is destroyed once the modal loop ends: nothing may be posted to it from here on.
void CAnalogDialog::OnOk() {
    openWindow_.Clear();
    CPropertyDialog::OnOk();
}

void CAnalogDialog::OnCancel() {
    openWindow_.Clear();
    CPropertyDialog::OnCancel();
}

void CAnalogDialog::OnDefault() {
    record_.globalGain = device_.GainDefault();
    record_.colorGainG1 = 0;
    record_.colorGainR = 0;
    record_.colorGainB = 0;
    record_.colorGainG2 = 0;
    record_.exposure = device_.ShutterDefault();
    device_.SetGain(static_cast<uint16_t>(record_.globalGain));
    device_.SetShutter(static_cast<uint16_t>(record_.exposure));
    ReloadPages();
}

bool CAnalogDialog::OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kAutoIrisValueMessage) return false;
    page_.ShowValue(static_cast<int>(wParam), static_cast<int32_t>(lParam));
    return true;
}
