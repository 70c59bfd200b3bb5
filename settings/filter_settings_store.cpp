#include "settings/filter_settings_store.h"

#include <iterator>

#include "settings/settings_keys.h"
#include "settings/stored_filter_values.h"

namespace quorin {

namespace {

const StoredFilterValue kFilterValues[] = {
    {"Brightness", 1, &FilterSettings::brightness},  {"Contrast", 2, &FilterSettings::contrast},
    {"Hue", 3, &FilterSettings::hue},                {"Saturation", 4, &FilterSettings::saturation},
    {"Sharpness", 5, &FilterSettings::sharpness},    {"R_Gain", 7, &FilterSettings::bayerGainRed},
    {"G_Gain", 8, &FilterSettings::bayerGainGreen},  {"B_Gain", 9, &FilterSettings::bayerGainBlue},
    {"Gamma", 11, &FilterSettings::gamma},           {"BayerMode", 12, &FilterSettings::bayerMode},
};

}  // namespace

int CFilterSettingsStore::Load(int cameraIndex) {
    RegistryKey key;
    if (!OpenSettingsKey(cameraIndex, "Filter", &key)) {
        SetImageFilterDefaults(settings_);
        return 0;
    }
    ReadFilterValues(key, kFilterValues, std::size(kFilterValues), settings_);
    return 1;
}

int CFilterSettingsStore::Save(int cameraIndex) const {
    RegistryKey key;
    if (!CreateSettingsKey(cameraIndex, "Filter", &key)) return 0;
    return WriteFilterValues(key, kFilterValues, std::size(kFilterValues), settings_) ? 1 : 0;
}

}  // namespace quorin
