#include "settings/gray_settings_store.h"

#include <iterator>

#include "settings/settings_keys.h"
#include "settings/stored_filter_values.h"

namespace quorin {

namespace {

const StoredFilterValue kGrayValues[] = {
    {"Mode", 19, &FilterSettings::grayMode},         {"GainR1", 20, &FilterSettings::grayGainR},
    {"GainG1", 21, &FilterSettings::grayGainG1},     {"GainG2", 22, &FilterSettings::grayGainG2},
    {"GainB1", 23, &FilterSettings::grayGainB},      {"OffsetR1", 24, &FilterSettings::grayOffsetR},
    {"OffsetG1", 25, &FilterSettings::grayOffsetG1}, {"OffsetG2", 26, &FilterSettings::grayOffsetG2},
    {"OffsetB1", 27, &FilterSettings::grayOffsetB},
};

}  // namespace

int CGraySettingsStore::Load(int cameraIndex) {
    RegistryKey key;
    if (!OpenSettingsKey(cameraIndex, "Gray", &key)) {
        SetGrayFilterDefaults(settings_);
        return 0;
    }
    ReadFilterValues(key, kGrayValues, std::size(kGrayValues), settings_);
    return 1;
}

int CGraySettingsStore::Save(int cameraIndex) const {
    RegistryKey product;
    if (!product.Create(HKEY_CURRENT_USER, kProductKeyPath)) return 0;
    // The camera key is opened, never created, here.
    RegistryKey camera;
    if (!camera.Open(product.Handle(), CameraKeyName(cameraIndex).text, KEY_ALL_ACCESS)) return 0;
    RegistryKey key;
    if (!key.Create(camera.Handle(), "Gray")) return 0;
    return WriteFilterValues(key, kGrayValues, std::size(kGrayValues), settings_) ? 1 : 0;
}

}  // namespace quorin
