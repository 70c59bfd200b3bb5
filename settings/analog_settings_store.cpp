#include "settings/analog_settings_store.h"

#include "settings/settings_keys.h"
#include "settings/value_ranges.h"

namespace quorin {

namespace {

struct AnalogValue {
    const char* name;
    std::atomic<int32_t> AnalogSettings::*field;
};

// The key's values in the record's order.
const AnalogValue kAnalogValues[] = {
    {"Global", &AnalogSettings::globalGain},   {"ColorG1", &AnalogSettings::colorGainG1},
    {"ColorR", &AnalogSettings::colorGainR},   {"ColorB", &AnalogSettings::colorGainB},
    {"ColorG2", &AnalogSettings::colorGainG2}, {"Exposure", &AnalogSettings::exposure},
    {"V_Mirror", &AnalogSettings::mirrorV},    {"H_Mirror", &AnalogSettings::mirrorH},
    {"AutoIris", &AnalogSettings::autoIris},
};

}  // namespace

int CAnalogSettingsStore::Load(int cameraIndex) {
    RegistryKey key;
    if (!OpenSettingsKey(cameraIndex, "Gain", &key)) {
        SetAnalogDefaults(settings_, device_);
        return 1;
    }
    const ValueRange gain = {device_.GainMin(), device_.GainMax()};
    const ValueRange exposure = {device_.ShutterMin(), device_.ShutterMax()};
    int32_t buffer = 0;  // not reset between reads: a missing value repeats the previous one
    for (const AnalogValue& v : kAnalogValues) {
        key.ReadDword(v.name, &buffer);
        ValueRange range = gain;
        if (v.field == &AnalogSettings::exposure) range = exposure;
        if (v.field == &AnalogSettings::mirrorV || v.field == &AnalogSettings::mirrorH) range = kMirrorRange;
        if (v.field == &AnalogSettings::autoIris) range = kAutoIrisRange;
        (settings_.*v.field) = ClampToRange(buffer, range);
    }
    return 1;
}

int CAnalogSettingsStore::Save(int cameraIndex) const {
    RegistryKey key;
    if (!CreateSettingsKey(cameraIndex, "Gain", &key)) return 0;
    bool written = true;
    for (const AnalogValue& v : kAnalogValues) written = key.WriteDword(v.name, (settings_.*v.field).load()) && written;
    return written ? 1 : 0;
}

}  // namespace quorin
