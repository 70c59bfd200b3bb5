// Quorin_SetFilterValue / Quorin_GetFilterValue behind the camera's device check: the ids 1 to 28,
// their ranges, where each value is stored and which values go to the device at once.
// The functions return 0 on success or the error code the camera reports (9).
#pragma once

#include <cstdint>

#include "settings/adjustable_values.h"
#include "settings/analog_device.h"

namespace quorin {

constexpr int kFirstFilterValueId = 1;
constexpr int kLastFilterValueId = 28;
constexpr int kValueRejected = 9;

// A rejected id or value stores nothing and sends nothing. When the device refuses an accepted gain
// or exposure, the record keeps the new value and the call still succeeds.
int SetFilterValue(AdjustableValues& values, AnalogDevice& device, int id, int32_t value);

// On success *value receives the value (ids 13 and 18 come from the device); on failure it is 0.
int GetFilterValue(const AdjustableValues& values, const AnalogDevice& device, int id, int32_t* value);

// Modes 0, 1 and 2 are stored; anything else is 9. Needs no device.
int SetAutoIris(AnalogSettings& analog, int32_t mode);

// The flag reduced to 0 or 1 goes to the device object, which only keeps it, and into the record the
// pipeline mirrors from.
void SetMirrorV(AnalogSettings& analog, AnalogDevice& device, int32_t flag);
void SetMirrorH(AnalogSettings& analog, AnalogDevice& device, int32_t flag);

}  // namespace quorin
