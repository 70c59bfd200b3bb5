#include "settings/analog_settings.h"

namespace quorin {

void SetAnalogDefaults(AnalogSettings& settings, const AnalogDevice& device) {
    settings.globalGain = device.GainDefault();
    settings.colorGainG1 = 0;
    settings.colorGainR = 0;
    settings.colorGainB = 0;
    settings.colorGainG2 = 0;
    settings.exposure = device.ShutterDefault();
    settings.mirrorV = device.GetMirrorV();
    settings.mirrorH = device.GetMirrorH();
    settings.autoIris = 0;
}

void ApplyAnalogSettings(const AnalogSettings& settings, AnalogDevice& device) {
    device.SetGain(static_cast<uint16_t>(settings.globalGain.load()));
    device.SetShutter(static_cast<uint16_t>(settings.exposure.load()));
    device.SetMirrorV(settings.mirrorV.load());
    device.SetMirrorH(settings.mirrorH.load());
}

}  // namespace quorin
