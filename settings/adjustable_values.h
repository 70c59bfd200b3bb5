// Every adjustable value a camera handle holds: the filter and analog records and the exposure model
// of the last real-exposure computation. Zero when the camera object is made.
#pragma once

#include "settings/analog_settings.h"
#include "settings/exposure_model.h"
#include "settings/filter_settings.h"

namespace quorin {

struct AdjustableValues {
    FilterSettings filter;
    AnalogSettings analog;
    ExposureModel exposureModel;
};

}  // namespace quorin
