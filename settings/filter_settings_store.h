// Loads and saves the image-filter values of FilterSettings in a camera's "Filter" key.
#pragma once

#include "settings/filter_settings.h"

namespace quorin {

class CFilterSettingsStore {
public:
    explicit CFilterSettingsStore(FilterSettings& settings) : settings_(settings) {}

    // Reads the ten values into their fields, clamped to their ranges; a missing or malformed value
    // leaves its field. Without the key the image-filter defaults are set and 0 is returned.
    int Load(int cameraIndex);
    // Creates the keys as needed and writes the ten values: 1, or 0 on a registry failure.
    int Save(int cameraIndex) const;

private:
    FilterSettings& settings_;
};

}  // namespace quorin
