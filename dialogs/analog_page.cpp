#include "dialogs/analog_page.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/exposure_label.h"

namespace {

enum { kGainTriple = 0, kExposureTriple = 5 };

CDialogPage::SliderTriple Triple(int slider, int edit, int upDown, int32_t minimum, int32_t maximum,
                                 std::atomic<int32_t>& value, bool enabled) {
    return {slider, edit, upDown, minimum, maximum, (maximum - minimum) / 8, &value, enabled};
}

}  // namespace

CAnalogPage::CAnalogPage(quorin::AnalogSettings& record, quorin::AnalogDevice& device,
                         const std::atomic<int32_t>& clockMode)
    : CDialogPage(IDD_ANALOG_PAGE_JA, IDD_ANALOG_PAGE_EN, L"Analog Gain",
                  L"\x30A2\x30CA\x30ED\x30B0\x30B2\x30A4\x30F3" /* アナログゲイン */),
      record_(record), device_(device), clockMode_(clockMode) {
    // The sensor's colour gains follow the global gain on this model: shown, not adjustable.
    AddTriple(Triple(IDC_ANALOG_GLOBAL_SLIDER, IDC_ANALOG_GLOBAL_EDIT, IDC_ANALOG_GLOBAL_SPIN, device.GainMin(),
                     device.GainMax(), record.globalGain, true));
    AddTriple(Triple(IDC_ANALOG_G1_SLIDER, IDC_ANALOG_G1_EDIT, IDC_ANALOG_G1_SPIN, 0, 0, record.colorGainG1, false));
    AddTriple(Triple(IDC_ANALOG_R_SLIDER, IDC_ANALOG_R_EDIT, IDC_ANALOG_R_SPIN, 0, 0, record.colorGainR, false));
    AddTriple(Triple(IDC_ANALOG_B_SLIDER, IDC_ANALOG_B_EDIT, IDC_ANALOG_B_SPIN, 0, 0, record.colorGainB, false));
    AddTriple(Triple(IDC_ANALOG_G2_SLIDER, IDC_ANALOG_G2_EDIT, IDC_ANALOG_G2_SPIN, 0, 0, record.colorGainG2, false));
    AddTriple(Triple(IDC_ANALOG_EXPOSURE_SLIDER, IDC_ANALOG_EXPOSURE_EDIT, IDC_ANALOG_EXPOSURE_SPIN,
                     device.ShutterMin(), device.ShutterMax(), record.exposure, true));
}

void CAnalogPage::ShowValue(int edit) {
    if (!window_ || (edit != IDC_ANALOG_GLOBAL_EDIT && edit != IDC_ANALOG_EXPOSURE_EDIT)) return;
    ReloadValue(edit);
    if (edit == IDC_ANALOG_EXPOSURE_EDIT) ShowExposureTime();
}

void CAnalogPage::OnInitPage() {
    CheckDlgButton(window_, IDC_ANALOG_MIRROR_V, record_.mirrorV ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window_, IDC_ANALOG_MIRROR_H, record_.mirrorH ? BST_CHECKED : BST_UNCHECKED);
    const int32_t iris = record_.autoIris;
    CheckDlgButton(window_, IDC_ANALOG_AUTO_EXPOSURE, iris == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window_, IDC_ANALOG_AUTO_GAIN, iris == 2 ? BST_CHECKED : BST_UNCHECKED);
    ShowExposureTime();
}

void CAnalogPage::OnReloadPage() { ShowExposureTime(); }

bool CAnalogPage::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED) return false;
    const bool checked = IsDlgButtonChecked(window_, id) == BST_CHECKED;
    switch (id) {
        case IDC_ANALOG_MIRROR_V:
            device_.SetMirrorV(checked ? 1 : 0);
            record_.mirrorV = checked ? 1 : 0;
            return true;
        case IDC_ANALOG_MIRROR_H:
            device_.SetMirrorH(checked ? 1 : 0);
            record_.mirrorH = checked ? 1 : 0;
            return true;
        // Auto iris steers either the gain or the exposure, never both.
        case IDC_ANALOG_AUTO_GAIN:
            if (checked) CheckDlgButton(window_, IDC_ANALOG_AUTO_EXPOSURE, BST_UNCHECKED);
            record_.autoIris = checked ? 2 : 0;
            return true;
        case IDC_ANALOG_AUTO_EXPOSURE:
            if (checked) CheckDlgButton(window_, IDC_ANALOG_AUTO_GAIN, BST_UNCHECKED);
            record_.autoIris = checked ? 1 : 0;
            return true;
        default:
            return false;
    }
}

void CAnalogPage::OnValueEdited(size_t triple, int32_t value) {
    // Out-of-range values go to the device as typed; the device layer clamps or masks them.
    if (triple == kGainTriple) {
        device_.SetGain(static_cast<uint16_t>(value));
    } else if (triple == kExposureTriple) {
        device_.SetShutter(static_cast<uint16_t>(value));
        ShowExposureTime();
    }
}

void CAnalogPage::ShowExposureTime() {
    char text[32];
    FormatExposureLabel(text, sizeof text, record_.exposure, clockMode_);
    SetDlgItemTextA(window_, IDC_ANALOG_EXPOSURE_TIME, text);
}
