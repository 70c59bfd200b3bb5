#include "dialogs/analog_dialog.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/fit_tabs.h"

CAnalogDialog::CAnalogDialog(quorin::AnalogSettings& record, quorin::AnalogDevice& device,
                             const std::atomic<int32_t>& clockMode, DialogWindowSlot& openWindows)
    : CPropertyDialog(IDD_ANALOG_FRAME_JA, IDD_ANALOG_FRAME_EN),
      record_(record), device_(device), page_(record, device, clockMode) {
    AddPage(&page_);
    ListIn(openWindows);
}

void CAnalogDialog::OnInitDialog() { FitTabsToCaptions(GetDlgItem(Window(), IDC_FRAME_TAB)); }

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
    page_.ShowValue(static_cast<int>(wParam));
    return true;
}
