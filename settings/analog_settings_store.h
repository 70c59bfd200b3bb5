// Loads and saves a camera's AnalogSettings in its "Gain" key.
#pragma once

#include "settings/analog_device.h"
#include "settings/analog_settings.h"

namespace quorin {

class CAnalogSettingsStore {
public:
    CAnalogSettingsStore(AnalogSettings& settings, const AnalogDevice& device)
        : settings_(settings), device_(device) {}

    // Without the key the record takes the device's defaults. Otherwise the nine values are read
    // through one buffer, so a missing value repeats the one before it; each is then clamped to its
    // range. Returns 1.
    int Load(int cameraIndex);
    // Creates the keys as needed and writes the nine values. 1, or 0 when a key or value cannot be
    // written.
    int Save(int cameraIndex) const;

private:
    AnalogSettings& settings_;
    const AnalogDevice& device_;
};

}  // namespace quorin
