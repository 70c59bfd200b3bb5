// The sensor-side values of one camera, in the order of the registry key "Gain". Shared without a
// lock like FilterSettings: the pipeline's auto iris writes the gain and exposure words.
#pragma once

#include <atomic>
#include <cstdint>

#include "settings/analog_device.h"

namespace quorin {

struct AnalogSettings {
    std::atomic<int32_t> globalGain{0};    // id 13, 0 to 1023
    std::atomic<int32_t> colorGainG1{0};   // id 15
    std::atomic<int32_t> colorGainR{0};    // id 14
    std::atomic<int32_t> colorGainB{0};    // id 17
    std::atomic<int32_t> colorGainG2{0};   // id 16
    std::atomic<int32_t> exposure{0};      // id 18, exposure register 8 to 1074
    std::atomic<int32_t> mirrorV{0};
    std::atomic<int32_t> mirrorH{0};
    std::atomic<int32_t> autoIris{0};      // 0 off, 1 exposure control, 2 gain control
};

// What a missing "Gain" key yields: the device's default gain and exposure, colour gains 0, the
// mirror flags the device object holds, auto iris off.
void SetAnalogDefaults(AnalogSettings& settings, const AnalogDevice& device);

// Sends global gain, exposure, vertical mirror and horizontal mirror to the device, in that order,
// after the values were loaded. Device failures leave the record as it is.
void ApplyAnalogSettings(const AnalogSettings& settings, AnalogDevice& device);

}  // namespace quorin
