// Loads and saves the gray-filter values of FilterSettings in a camera's "Gray" key.
#pragma once

#include "settings/filter_settings.h"

namespace quorin {

class CGraySettingsStore {
public:
    explicit CGraySettingsStore(FilterSettings& settings) : settings_(settings) {}

    // As the filter load, with the nine gray values and the gray defaults.
    int Load(int cameraIndex);
    // Needs the camera key to exist already (the filter save, which runs first, creates it); creates
    // "Gray" below it and writes the nine values. 0 without the camera key or on a registry failure.
    int Save(int cameraIndex) const;

private:
    FilterSettings& settings_;
};

}  // namespace quorin
